#!/bin/sh
# An installation in a prefix other than the configured one still speaks: installed with
# --prefix into a folder of its own, and staged under DESTDIR, the service finds its string
# module and its maps from where its own module lies, and the Python package starts it.
#   install_relocated.sh BUILD_DIR
set -eu
# Only the installation's own maps.
unset GPSLIB_MAP_PATH XDG_DATA_HOME
build_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build_dir/CMakeCache.txt")
if [ -e "$configured/share/gpslib" ]; then
    echo "install_relocated: $configured/share/gpslib exists, so this cannot tell the folders apart"
fi
cmake --install "$build_dir" --prefix "$work/moved" > /dev/null
DESTDIR="$work/staged" cmake --install "$build_dir" > /dev/null

for prefix in "$work/moved" "$work/staged$configured"; do
    package=$(find "$prefix" -path '*/gpslib/__init__.py')
    # A store of its own, so that the Python package registers this prefix's modules.
    # HOME too, so that no maps of the user's own are found.
    HOME="$work" GPSLIB_REGISTRY="$prefix/registry.reg" PYTHONPATH="${package%/gpslib/__init__.py}" \
        python3 - "$prefix" <<'EOF'
import sys, tempfile
import gpslib

prefix = sys.argv[1]
core = gpslib.create("GPS.GPSCore")
# Before Start the service reads its words from the installed data folder.
texts = {"version": core.SystemGetVersion(), "copyright": core.SystemGetCopyright()}
for what, text in texts.items():
    assert text, "%s: the service has no %s text" % (prefix, what)
assert texts["version"].startswith("gpslib "), texts["version"]
# Start reads them from the settings folder, which the package fills from the installation.
folder = gpslib.settings_folder(tempfile.mkdtemp(dir=prefix))
core.Start(folder, "")
assert core.SystemGetVersion() == texts["version"], core.SystemGetVersion()
# The map engine finds the installation's sample town, and reads the same string module: an
# unnamed street of the town is named in its words ("Side street", docs/walker-names.md).
assert core.SystemMapsPOIsLoad() >= 1, "%s: the installed maps were not found" % prefix
place = gpslib.create("GPS.LocationObject")
place.SetLatitude(44.9995)
place.SetLongitude(10.0015)
where = core.WhereAmIAtLocation(place, -1).GetDescription()
assert "Side street" in where, "%s: %r" % (prefix, where)
core.Stop()
print("%s speaks: %s" % (prefix, texts["version"]))
EOF
done
