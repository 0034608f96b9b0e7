#!/usr/bin/env bash
# Installs what is missing, builds Vellumark and runs every test: once in a normal build and
# once with the address and undefined-behaviour sanitizers. The normal build also compiles every
# benchmark and fuzz target (not run), so that a change that breaks one fails here.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
bash "$top/tools/packages.sh"

# The search indexes the test runs make go to a scratch folder, never to the user's cache.
XDG_CACHE_HOME="$(mktemp -d)"
export XDG_CACHE_HOME
trap 'rm -rf "$XDG_CACHE_HOME"' EXIT

run_suite() {
  local dir="$1"; shift
  cmake -S "$top" -B "$dir" -G Ninja "$@" > /dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600
}

echo "== build and tests"
run_suite "$top/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMARK_BENCH=ON
echo "== the same tests with the address and undefined-behaviour sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "$top/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DVELLUMARK_SANITIZE=address,undefined

# ---- thread sanitizer: the tests that cross threads (worker and hand-over to the GUI) -------
# Only the desktop suite is built here, and only its worker, hand-over and task-runner tests
# run. A build without that suite, or a filter that matches no test, fails the run: the step
# must not pass by checking nothing.
echo "== worker and hand-over tests with the thread sanitizer"
# The task runner itself, and the commands, windows and the catalog session whose work runs on
# a worker: loading, saving, scanning, searching (batches streamed to the GUI thread) and
# exporting.
tsan_filter='TaskRunner|Worker|Handover|Commands|MainWindow|CatalogSession|LibraryManager|ExportDialog'
cmake -S "$top" -B "$top/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMARK_SANITIZE=thread > /dev/null
if ! grep -q '^test_ui:' <<< "$(cmake --build "$top/build-tsan" --target help)"; then
  echo "FAILED: the thread-sanitizer build has no desktop suite test_ui to run" >&2
  exit 1
fi
cmake --build "$top/build-tsan" --target test_ui -j"$jobs"
if ! grep -q 'Total Tests: [1-9]' <<< "$(ctest --test-dir "$top/build-tsan" -N -R "$tsan_filter")"; then
  echo "FAILED: no test of the thread-sanitizer build matches '$tsan_filter'" >&2
  exit 1
fi
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$top/tests/reliability/tsan_qt.supp" \
  ctest --test-dir "$top/build-tsan" -R "$tsan_filter" --output-on-failure --timeout 600
