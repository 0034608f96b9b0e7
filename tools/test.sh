#!/usr/bin/env bash
# Installs what is missing, builds Vellumark and runs every test: once in a normal build and
# once with the address and undefined-behaviour sanitizers.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
bash "$top/tools/packages.sh"

run_suite() {
  local dir="$1"; shift
  cmake -S "$top" -B "$dir" -G Ninja "$@" > /dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600
}

echo "== build and tests"
run_suite "$top/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== the same tests with the address and undefined-behaviour sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "$top/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DVELLUMARK_SANITIZE=address,undefined
