#!/bin/sh
# The main job, run in the isolation launcher so that no datagram leaves the machine:
#  1. tessgen reads the example model, validates it against the schema and builds its types;
#  2. two processes exchange CDR samples as RTPS messages through libtrellis on loopback;
#  3. the sensor examples: a publisher and a subscriber written against the dds:: API, with the
#     Reading topic that tessgen generated during the build.
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

echo
echo "== dds:: API: sensor_subscriber and sensor_publisher, topic Reading, on 127.0.0.1"
# Each program in a directory of its own (its log files); the subscriber first. Both give up
# after 30 s without a match or a reading, and the demo fails with the one that failed.
"$root/tools/isolate" sh -c '
    bin=$1
    mkdir sub pub
    (cd sub && exec "$bin/sensor_subscriber" 6) & subscriber=$!
    (cd pub && "$bin/sensor_publisher" 6); published=$?
    wait $subscriber; received=$?
    [ $published -eq 0 ] && [ $received -eq 0 ]' demo "$root/$build/bin"
