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
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
# The Debian package, made from the same build.
bash scripts/check_package.sh "$build"

