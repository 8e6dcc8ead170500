#!/usr/bin/env bash
# Installs what is missing, configures and builds.
#   scripts/build.sh [CMAKE_ARGS...]             the plain tree: build/ (or $BUILD_DIR), $BUILD_TYPE
#                                                (default RelWithDebInfo), the default compiler
#   scripts/build.sh --sanitize [CMAKE_ARGS...]  the sanitized tree: build-sanitize/ (or $BUILD_DIR),
#                                                clang, Debug, address and undefined-behaviour
#                                                sanitizers; the test programs and the fuzz targets
# $TARGETS (blank-separated) builds only those targets; $JOBS compile jobs (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --sanitize ]; then
  shift
  bash scripts/install-deps.sh fuzz
  BUILD_DIR=${BUILD_DIR:-build-sanitize}
  set -- -DCMAKE_CXX_COMPILER=clang++ -DTARVIKS_SANITIZE=ON -DTARVIKS_FUZZ=ON "$@"
  BUILD_TYPE=${BUILD_TYPE:-Debug}
else
  bash scripts/install-deps.sh
  BUILD_DIR=${BUILD_DIR:-build}
  BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@" >/dev/null
jobs=${JOBS:-$(nproc)}
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" -j"$jobs" "${targets[@]}"
