#!/bin/sh
# Builds and runs every test: the normal build, then the whole suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
cmake --workflow --preset default
cmake --workflow --preset sanitize
