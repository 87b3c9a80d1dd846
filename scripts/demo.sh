#!/bin/sh
# The main job, run in the isolation launcher so that no datagram leaves the machine:
#  1. tessgen reads the example model, validates it against the schema and builds its types;
#  2. two processes exchange CDR samples as RTPS messages through libtrellis on loopback.
set -e
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
export VEXA_HOME="$root/$build/stage"
work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "== tessgen: examples/model/Sensors.xml (with its included module)"
(cd "$work" && "$root/$build/bin/tessgen" "$root/examples/model/Sensors.xml" "$work/rezult")

echo
echo "== RTPS over libtrellis: a publisher and a subscriber process on 127.0.0.1"
"$root/tools/isolate" "$root/$build/bin/vexa_demo"
