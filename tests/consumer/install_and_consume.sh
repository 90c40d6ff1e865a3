#!/bin/sh
# Installs gpslib into a fresh prefix and uses it as an outside user does: a C++ client built
# with find_package and one built with pkg-config, both run; the installed gpsnav, which
# registers the installed modules on its first use and loads the installed sample town; the
# installed Python package; the man pages.
#   install_and_consume.sh BUILD_DIR SOURCE_DIR
set -eu
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
export GPSLIB_REGISTRY="$work/registry.reg"
fail() { echo "install_and_consume: $*" >&2; exit 1; }

for file in bin/gpsnav bin/gpsreg bin/gpsmap-build lib/libgpsauto.so lib/gpslib/libgpscore.so \
            lib/gpslib/libgpsmap.so lib/gpslib/libgpsdb.so include/gpslib/GPSLib.h \
            share/gpslib/GPSResources_EN.dll share/gpslib/maps/Sampleton.rmf \
            share/man/man1/gpsnav.1 share/man/man1/gpsreg.1 share/man/man1/gpsmap-build.1 \
            lib/cmake/gpslib/gpslibConfig.cmake lib/pkgconfig/gpslib.pc \
            lib/python3/dist-packages/gpslib/__init__.py; do
    [ -e "$prefix/$file" ] || fail "$file was not installed"
done

# gpsnav on first use: no module registered yet, no settings, no maps named.
out=$(printf 'echo installed\n' | HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
      "$prefix/bin/gpsnav" --receiver none)
echo "$out" | grep -q "^Registered the service modules in $GPSLIB_REGISTRY" || fail "gpsnav: $out"
echo "$out" | grep -q "^1 map loaded" || fail "gpsnav found no map: $out"
echo "$out" | grep -q "^installed$" || fail "gpsnav: $out"

# find_package.
cmake -S "$source_dir/cmake_project" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCONSUMER_SOURCE="$source_dir/consumer.cpp" > /dev/null
cmake --build "$work/cmake-build" > /dev/null
"$work/cmake-build/consumer"

# pkg-config.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
${CXX:-c++} -Wall -Wextra -Werror "$source_dir/consumer.cpp" $(pkg-config --cflags --libs gpslib) \
    -Wl,-rpath,"$(pkg-config --variable=libdir gpslib)" -o "$work/pc-consumer"
"$work/pc-consumer"

# The Python package finds the installed runtime and modules by itself.
PYTHONPATH="$prefix/lib/python3/dist-packages" python3 -c '
import gpslib, tempfile
core = gpslib.create("GPS.GPSCore")
result = core.Start(gpslib.settings_folder(tempfile.mkdtemp()), "")
assert core.SystemGetVersion() == "gpslib 3.3", core.SystemGetVersion()
core.Stop()
print("Python: GPSCore started:", result)
'
