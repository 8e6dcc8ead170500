#!/usr/bin/env bash
# The whole check, from a fresh clone: installs what is missing, then
#   1. builds the plain tree (build/, gcc, warnings as errors);
#   2. builds the sanitized tree (build-sanitize/, clang, address and undefined-behaviour
#      sanitizers), which holds the same tests and the fuzz targets;
#   3. runs every test of the plain tree, then makes the .deb from it and runs the package smoke
#      test, while every fuzz target runs for a few seconds over its seed corpus (scripts/fuzz.sh
#      fuzzes longer), one after another on one core;
#   4. runs every test of the sanitized tree.
# No test runs while a tree compiles, and the two suites do not run at once: the end-to-end tests keep
# time on their lines, and a compiler on every core, or two suites' worth of programs starting
# together, makes them miss it. The tests themselves mostly wait (programs on pseudo-terminals,
# polls), so each suite runs $TEST_JOBS tests at once (default 8 on any number of cores: the long
# end-to-end classes are split into parts that wait side by side).
# TARVIKS_NO_SANITIZE=1 leaves out the sanitized tests, TARVIKS_NO_FUZZ=1 the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
want_sanitize=$([ "${TARVIKS_NO_SANITIZE:-0}" = 1 ] && echo 0 || echo 1)
want_fuzz=$([ "${TARVIKS_NO_FUZZ:-0}" = 1 ] && echo 0 || echo 1)
if [ "$want_sanitize$want_fuzz" != 00 ]; then
  bash scripts/install-deps.sh fuzz
fi
test_jobs=${TEST_JOBS:-8}
start=$SECONDS
BUILD_DIR=build bash scripts/build.sh -DTARVIKS_WERROR=ON
echo "test.sh: plain tree built after $((SECONDS - start)) s"

if [ "$want_sanitize$want_fuzz" != 00 ]; then
  # Only what the sanitized run uses: the test programs with the two programs they start, and the
  # fuzz targets.
  targets=fuzz_all
  if [ "$want_sanitize" = 1 ]; then targets="tarviks_tests fuzz_all"; fi
  # Warnings are errors in the plain (gcc) tree; clang's own extra warnings here do not stop the check.
  TARGETS=$targets bash scripts/build.sh --sanitize -DTARVIKS_WERROR=OFF
  echo "test.sh: sanitized tree built after $((SECONDS - start)) s"
fi

plain_log=build/plain-tests.log
( ctest --test-dir build --output-on-failure -j"$test_jobs" && bash scripts/package-smoke.sh build ) >"$plain_log" 2>&1 &
plain=$!
fuzzed=0
if [ "$want_fuzz" = 1 ]; then
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -L fuzz || fuzzed=$?
  bash scripts/fuzz.sh --rates
fi
status=0
wait "$plain" || status=$?
cat "$plain_log"
echo "test.sh: plain tests, package smoke test and fuzz targets ended after $((SECONDS - start)) s"
sanitized=0
if [ "$want_sanitize" = 1 ]; then
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j"$test_jobs" -LE fuzz || sanitized=$?
  echo "test.sh: sanitized tests ended after $((SECONDS - start)) s"
fi
[ "$status" = 0 ] || { echo "test.sh: plain tests or package smoke test failed" >&2; exit 1; }
[ "$fuzzed" = 0 ] || { echo "test.sh: fuzz targets failed" >&2; exit 1; }
[ "$sanitized" = 0 ] || { echo "test.sh: sanitized tests failed" >&2; exit 1; }
echo "test.sh: all passed after $((SECONDS - start)) s"
