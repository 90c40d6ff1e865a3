#!/bin/sh
# `make demo` on a fresh clone builds what the walk needs and none of the tests, benchmarks or
# fuzz targets: its one build step is the target demo-deps, and none of that target's commands
# writes a file under tests/, bench/ or fuzz/.
#   demo_builds_no_tests.sh SOURCE_DIR BUILD_DIR NINJA
set -eu
source_dir=$1
build_dir=$2
ninja=$3
fail() { echo "demo_builds_no_tests: $*" >&2; exit 1; }

builds=$(make --no-print-directory -n -C "$source_dir" demo BUILD="$build_dir" | grep 'cmake --build')
[ "$(echo "$builds" | wc -l)" = 1 ] || fail "make demo builds more than once: $builds"
echo "$builds" | grep -q -- '--target demo-deps$' || fail "make demo does not build demo-deps: $builds"

commands=$("$ninja" -C "$build_dir" -t commands demo-deps)
echo "$commands" | grep -q -- '-o apps/gpsnav/gpsnav ' || fail "demo-deps does not build gpsnav"
extra=$(echo "$commands" | grep -oE -- '-o (tests|bench|fuzz)/[^ ]*' || true)
[ -z "$extra" ] || fail "demo-deps builds $extra"
echo "demo-deps: $(echo "$commands" | wc -l) build commands, none for a test"
