#!/bin/sh
# Runs one libFuzzer target for a few seconds and judges the run: a crash, a leak or any
# sanitizer report fails it. Usage: fuzz_one.sh BINARY SECONDS OUTDIR [SEEDS]
# The log stays in OUTDIR/<target>.log; the input of a failing run stays in OUTDIR/<target>/.
set -u
binary=$1
seconds=$2
out=$3
seeds=${4:-}
name=$(basename "$binary")
log="$out/$name.log"
artifacts="$out/$name"
mkdir -p "$artifacts"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
if [ -n "$seeds" ] && [ -d "$seeds" ]; then
    cp -r "$seeds"/. "$corpus"/
fi
case "$name" in
    # Datagrams reach the receiver up to the largest UDP payload.
    fuzz_message_receiver | fuzz_rtps_message) extra=-max_len=65535 ;;
    # A few bytes make one step of these, and a run of a few seconds never lets libFuzzer's
    # length limit grow past ~130 bytes: sessions of up to a few hundred discovery records and
    # samples (every remote participant announcing its topics, writers and readers, losing them
    # and coming back) from the start.
    fuzz_dcps_discovery | fuzz_dcps_intake) extra="-max_len=4096 -len_control=0" ;;
    *) extra= ;;
esac
echo "fuzz: $name for ${seconds}s"
# shellcheck disable=SC2086
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
    $extra "$corpus" >"$log" 2>&1
rc=$?
# A report that let the run go on still fails it.
if [ "$rc" -ne 0 ] || grep -Eq "runtime error:|ERROR: [A-Za-z]*Sanitizer" "$log"; then
    tail -n 60 "$log"
    echo "fuzz: $name failed (status $rc); log $log, inputs in $artifacts/"
    exit 1
fi
rmdir "$artifacts" 2>/dev/null
exit 0
