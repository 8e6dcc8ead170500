#!/usr/bin/env bash
# Installs, builds and runs every test through ctest; then the same suite under address and
# undefined-behaviour sanitizers (skip that with TARVIKS_NO_SANITIZE=1); then every fuzz target for
# a few seconds over its seed corpus (skip with TARVIKS_NO_FUZZ=1; scripts/fuzz.sh fuzzes longer).
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
BUILD_DIR=build BUILD_TYPE=RelWithDebInfo bash scripts/build.sh -DTARVIKS_WERROR=ON
ctest --test-dir build --output-on-failure -j2
# The .deb built from that build, unpacked into a scratch root, runs tarviks-cli against zorgel-sim.
bash scripts/package-smoke.sh build
if [ "${TARVIKS_NO_SANITIZE:-0}" != 1 ]; then
  BUILD_DIR=build-sanitize BUILD_TYPE=Debug bash scripts/build.sh -DTARVIKS_SANITIZE=ON -DTARVIKS_WERROR=ON
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j2
fi
if [ "${TARVIKS_NO_FUZZ:-0}" != 1 ]; then
  bash scripts/fuzz.sh --smoke
fi
