#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# KORVEL_BUILD_DIR picks the build folder (default: build); extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=${KORVEL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVEL_CMAKE_ARGS:-}
cmake --build "$build" --parallel "$(nproc)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" "$@"
