#!/bin/sh
# Installs gpslib into a fresh prefix, builds the consumer against the installed headers and
# libgpsauto only, registers the installed service module and runs the consumer.
set -eu
build_dir=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
${CXX:-c++} -std=c++20 -Wall -Wextra -Werror -I"$prefix/include" "$source" \
    -L"$prefix/lib" -lgpsauto -Wl,-rpath,"$prefix/lib" -o "$prefix/consumer"
export GPSLIB_REGISTRY="$prefix/registry.reg"
LD_LIBRARY_PATH="$prefix/lib" "$prefix/bin/gpsreg" "$prefix/lib/gpslib/libgpscore.so"
"$prefix/consumer"
