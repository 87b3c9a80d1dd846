#!/bin/sh
# Builds the libFuzzer targets with clang, checks that the build stops on undefined behaviour,
# then runs each target for a few seconds on its seed corpus. Every run's log is kept in
# <build>/fuzz-runs/, with the input of any failing run.
set -e
build=${1:-build-fuzz}
seconds=${2:-15}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVEXA_FUZZ=ON -DVEXA_TESTS=OFF -DVEXA_BENCH=OFF -DVEXA_PRECOMPILER=ON
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build/fuzz" --output-on-failure
out="$build/fuzz-runs"
rm -rf "$out"
mkdir -p "$out"
found=0
failed=0
for f in "$build"/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    found=1
    name=$(basename "$f")
    sh scripts/fuzz_one.sh "$f" "$seconds" "$out" "fuzz/corpus/${name#fuzz_}" || failed=1
done
[ "$found" = 1 ] || echo "fuzz: no targets yet"
exit "$failed"
