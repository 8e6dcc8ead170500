#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz (clang, libFuzzer, address and undefined-behaviour
# sanitizers) in build-fuzz and runs them.
#   scripts/fuzz.sh --smoke              every target briefly over its seed corpus (part of scripts/test.sh)
#   scripts/fuzz.sh [SECONDS] [NAME...]  the named targets (default: all), SECONDS each (default 600),
#                                        one after another; FUZZ_FORK=N runs N processes per target
# New inputs are kept in build-fuzz/tests/fuzz/corpus/<name>; an input that breaks a target is
# written to build-fuzz/tests/fuzz/artifacts/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh fuzz
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTARVIKS_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target fuzz_all
FUZZ_DIR="$BUILD_DIR/tests/fuzz"

if [ "${1:-}" = --smoke ]; then
  ctest --test-dir "$FUZZ_DIR" --output-on-failure -j"$(nproc)"
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
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for n in "${names[@]}"; do
  echo "== fuzz_$n for ${seconds}s"
  mkdir -p "$FUZZ_DIR/corpus/$n" "$FUZZ_DIR/artifacts"
  fork=()
  [ -n "${FUZZ_FORK:-}" ] && fork=(-fork="$FUZZ_FORK" -ignore_crashes=0)
  if ! "$FUZZ_DIR/fuzz_$n" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 "${fork[@]}" \
      -artifact_prefix="$FUZZ_DIR/artifacts/$n-" "$FUZZ_DIR/corpus/$n" "tests/fuzz/corpus/$n"; then
    failed+=("$n")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets that failed: ${failed[*]} (inputs in $FUZZ_DIR/artifacts/)"
  exit 1
fi
echo "all fuzz targets ran ${seconds}s each without a failure"
