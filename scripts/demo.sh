#!/bin/sh
# The main job, run in the isolation launcher so that nothing leaves the machine.
set -e
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
export VEXA_HOME="$root/$build/stage"
echo "demo: VEXA_HOME=$VEXA_HOME"
if [ -x "$root/$build/bin/vexa_demo" ]; then
    exec "$root/tools/isolate" "$root/$build/bin/vexa_demo"
fi
echo "demo: nothing to run yet"
