#!/bin/sh
# The planted overflow must stop the target by itself (the build's flags) and fail its run
# through fuzz_one.sh with the crashing input kept. Usage: check_planted.sh BINARY FUZZ_ONE
set -u
binary=$1
fuzz_one=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if "$binary" -runs=1 >"$out/direct.log" 2>&1; then
    cat "$out/direct.log"
    echo "a signed overflow did not stop the target: the build recovers from undefined behaviour"
    exit 1
fi
if ! grep -q "runtime error: signed integer overflow" "$out/direct.log"; then
    cat "$out/direct.log"
    echo "the target stopped without the overflow's report"
    exit 1
fi
if sh "$fuzz_one" "$binary" 5 "$out" >/dev/null; then
    echo "fuzz_one.sh passed a run that hit undefined behaviour"
    exit 1
fi
name=$(basename "$binary")
if ! ls "$out/$name"/crash-* >/dev/null 2>&1 || [ ! -s "$out/$name.log" ]; then
    echo "the failing run kept no crashing input or no log"
    exit 1
fi
echo "planted overflow: stopped, failed and kept"
