#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build-test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DTAMBERLO_SANITIZE=ON >/dev/null
ninja -C "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# SDL's own start-up leaks; see the file for why.
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp":print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A test that fails is run once more before it counts: LeakSanitizer's own tracer now and then
# crashes at exit after a passing graphics test (the GL driver's threads are still alive); a
# real failure fails twice.
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --repeat until-pass:2
# The Debian package, made from the same build.
bash scripts/check_package.sh "$build"


# The fuzz targets as libFuzzer builds them (clang): compiled and linked only, so that they never
# rot; the tests above already run each over its seeds and their mutants.
fuzz=build-fuzz-check
CXX=clang++ cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=FuzzCheck -DCMAKE_CXX_FLAGS="-O0" \
  -DTAMBERLO_FUZZ=ON -DTAMBERLO_TESTS=OFF >/dev/null
ninja -C "$fuzz" fuzz_load fuzz_main_block fuzz_compile fuzz_saved_game fuzz_make_seeds
