#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a few seconds on its seed corpus.
set -e
build=${1:-build-fuzz}
seconds=${2:-15}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVEXA_FUZZ=ON -DVEXA_TESTS=OFF -DVEXA_BENCH=OFF -DVEXA_PRECOMPILER=ON
cmake --build "$build" -j "$(nproc)"
found=0
for f in "$build"/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    found=1
    name=$(basename "$f")
    corpus="fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    echo "fuzz: $name for ${seconds}s"
    "$f" -max_total_time="$seconds" -print_final_stats=0 "$work" 2>"$work.log" || {
        tail -n 60 "$work.log"
        exit 1
    }
    rm -rf "$work" "$work.log"
done
[ "$found" = 1 ] || echo "fuzz: no targets yet"
