#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUZD_SANITIZE=ON >/dev/null
cmake --build build-test -j "$(nproc)"
cd build-test
ctest --output-on-failure -j "$(nproc)" --timeout 300
