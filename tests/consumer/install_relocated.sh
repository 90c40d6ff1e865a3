#!/bin/sh
# An installation in a prefix other than the configured one still speaks: installed with
# --prefix into a folder of its own, and staged under DESTDIR, the service finds its string
# module from where its own module lies, and the Python package starts it.
#   install_relocated.sh BUILD_DIR
set -eu
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
    GPSLIB_REGISTRY="$prefix/registry.reg" PYTHONPATH="${package%/gpslib/__init__.py}" \
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
core.Stop()
print("%s speaks: %s" % (prefix, texts["version"]))
EOF
done
