#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz (clang, libFuzzer, address and undefined-behaviour
# sanitizers) in the sanitized tree, build-sanitize/ (or $FUZZ_BUILD_DIR), and runs them.
#   scripts/fuzz.sh --smoke              every target briefly over its seed corpus (ctest -L fuzz)
#   scripts/fuzz.sh --rates              the inputs a second of each target in the last ctest run
#   scripts/fuzz.sh [SECONDS] [NAME...]  the named targets (default: all), SECONDS each (default 600),
#                                        one after another; FUZZ_FORK=N runs N processes per target
# Each run ends with every target's rate (inputs a second). New inputs are kept in
# build-sanitize/tests/fuzz/corpus/<name>; an input that breaks a target is written to
# build-sanitize/tests/fuzz/artifacts/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${FUZZ_BUILD_DIR:-build-sanitize}
FUZZ_DIR="$BUILD_DIR/tests/fuzz"

# Prints "fuzz_<name>  <inputs>/s" from libFuzzer's final statistics in a log of ctest or of this script.
rates() {
  awk '/^[0-9]+\/[0-9]+ Testing: fuzz\./ { sub(/.*Testing: fuzz\./, ""); name = $0 }
       /^== fuzz_/ { name = $2; sub(/^fuzz_/, "", name) }
       /stat::number_of_executed_units:/ { runs[name] = $2 }
       /stat::average_exec_per_sec:/ { rate[name] = $2 }
       END { for (n in rate) printf "  fuzz_%-18s %6d inputs/s  (%d inputs)\n", n, rate[n], runs[n] }' "$1" | sort
}

if [ "${1:-}" = --rates ]; then
  echo "fuzz target rates:"
  rates "$BUILD_DIR/Testing/Temporary/LastTest.log"
  exit
fi

BUILD_DIR=$BUILD_DIR TARGETS=fuzz_all bash scripts/build.sh --sanitize >/dev/null

if [ "${1:-}" = --smoke ]; then
  ctest --test-dir "$BUILD_DIR" -L fuzz --output-on-failure -j"$(nproc)"
  echo "fuzz target rates:"
  rates "$BUILD_DIR/Testing/Temporary/LastTest.log"
  exit
fi

seconds=${1:-600}
[ $# -gt 0 ] && shift
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for src in tests/fuzz/fuzz_*.cpp; do
    n=$(basename "$src" .cpp)
    names+=("${n#fuzz_}")
  done
fi
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=()
for n in "${names[@]}"; do
  echo "== fuzz_$n for ${seconds}s" | tee -a "$log"
  mkdir -p "$FUZZ_DIR/corpus/$n" "$FUZZ_DIR/artifacts"
  fork=()
  [ -n "${FUZZ_FORK:-}" ] && fork=(-fork="$FUZZ_FORK" -ignore_crashes=0)
  if ! "$FUZZ_DIR/fuzz_$n" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 "${fork[@]}" \
      -artifact_prefix="$FUZZ_DIR/artifacts/$n-" "$FUZZ_DIR/corpus/$n" "tests/fuzz/corpus/$n" 2>&1 | tee -a "$log"; then
    failed+=("$n")
  fi
done
echo "fuzz target rates:"
rates "$log"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets that failed: ${failed[*]} (inputs in $FUZZ_DIR/artifacts/)"
  exit 1
fi
echo "all fuzz targets ran ${seconds}s each without a failure"
