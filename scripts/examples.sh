#!/bin/sh
# Builds the programs and runs them on the example files in examples/: a
# small world as a map-only file (world.mp), the same world after a city was
# founded at 11,7 (world-city.mp), and that world in a saved game of each
# edition (world-*.sav; the ToT games hold further maps).
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
# The fertility of one tile, before and after the city was founded next to it,
# and the same tile in a ToT 1.1 game.
run $bin/ombrel/ombrel examples/world.mp 11 7
run $bin/ombrel/ombrel examples/world-city.mp 11 7
run $bin/ombrel/ombrel examples/world-tot11.sav 11 7
# Failures: x + y must be even, and x must lie on the map.
run $bin/ombrel/ombrel examples/world.mp 11 8
run $bin/ombrel/ombrel examples/world.mp 40 0
# Every tile within three steps of the new city is lowered by 8.
run $bin/tillany/tillany examples/world.mp examples/world-city.mp
# A file against itself, and a map-only file against a saved game holding
# the same first map.
run $bin/tillany/tillany examples/world-tot11.sav examples/world-tot11.sav
run $bin/tillany/tillany examples/world-city.mp examples/world-mge.sav
