#!/bin/sh
# Builds the programs and runs them on the example files in examples/.
set -eu
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target ombrel tillany >/dev/null
bin=build/default
run() {
    echo "\$ $*"
    "$@" || echo "(exit status $?)"
    echo
}
run $bin/ombrel/ombrel examples/small.mp 4 2
run $bin/ombrel/ombrel examples/small-mge.sav 7 3
run $bin/ombrel/ombrel examples/small.mp 3 4
