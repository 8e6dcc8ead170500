#!/usr/bin/env bash
# Installs what is missing, configures and builds.
#   scripts/build.sh [CMAKE_ARGS...]             the plain tree: build/ (or $BUILD_DIR), $BUILD_TYPE
#                                                (default RelWithDebInfo at -O1 -g1), the
#                                                default compiler
#   scripts/build.sh --sanitize [CMAKE_ARGS...]  the sanitized tree: build-sanitize/ (or $BUILD_DIR),
#                                                clang, Debug (-O1, line tables), address and
#                                                undefined-behaviour sanitizers; the test programs
#                                                and the fuzz targets
# $TARGETS (blank-separated) builds only those targets; $JOBS compile jobs (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --sanitize ]; then
  shift
  bash scripts/install-deps.sh fuzz
  BUILD_DIR=${BUILD_DIR:-build-sanitize}
  # Optimised a little and with line tables only: the sanitizers' reports keep file and line, the
  # objects are a third smaller and link faster, and the suite's programs run faster.
  set -- -DCMAKE_CXX_COMPILER=clang++ -DTARVIKS_SANITIZE=ON -DTARVIKS_FUZZ=ON \
    "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" "$@"
  BUILD_TYPE=${BUILD_TYPE:-Debug}
else
  bash scripts/install-deps.sh
  BUILD_DIR=${BUILD_DIR:-build}
  BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
  # The test tree is optimised a little, with line tables for backtraces: a third less compiling
  # than -O2 -g, and half the disk.
  if [ "$BUILD_TYPE" = RelWithDebInfo ]; then
    set -- "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "$@"
  fi
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@" >/dev/null
jobs=${JOBS:-$(nproc)}
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" -j"$jobs" "${targets[@]}"
