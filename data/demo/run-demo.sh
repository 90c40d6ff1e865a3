#!/bin/sh
# Runs the demo walk: the sample town, the recorded walk replayed at ten times the speed through
# gpsnav with its automatic events, every line with its time in the walk. The same output on
# every run (a fresh settings folder each time).
#   run-demo.sh BUILD_DIR [gpsnav options, for example --speak]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shift
settings="$build/demo-settings"
rm -rf "$settings"
mkdir -p "$settings/maps"
# A copy of the sample town of its own: the personal places kept beside the maps (history,
# favorites, annotations) start empty on every run.
cp "$build"/data/sample/Sampleton.* "$settings/maps/"
# Files by their names, so that the transcript is the same wherever the tree is.
cd "$here"
exec "$build/apps/gpsnav/gpsnav" --settings "$settings/" --maps "$settings/maps" \
    --receiver sampleton-walk.trc --speed 10 --times --script walk.gpsnav "$@"
