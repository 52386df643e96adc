#!/usr/bin/env bash
# Builds every target in Release (scripts/build-release.sh, the build ./run.sh and ./bench.sh use),
# then everything with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test, the
# smoke session on the release node among them; clang builds the fuzzers, which replay their seeds.
# `./test.sh tsan` does the same with ThreadSanitizer instead, in build-tsan/.
set -euo pipefail
cd "$(dirname "$0")"
# The tests never restart the machine, whatever the caller's environment allows.
unset RUZD_ALLOW_REBOOT RUZD_REBOOT_COMMAND
./scripts/install-deps.sh
./scripts/build-release.sh
build=build-test
sanitizer=-DRUZD_SANITIZE=ON
if [[ "${1:-}" == tsan ]]; then
    build=build-tsan
    sanitizer=-DRUZD_TSAN=ON
fi
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$sanitizer" -DRUZD_RELEASE_SMOKE=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
if [[ "$build" == build-test ]]; then
    # The fuzz configure of the README: clang builds the fuzzers with libFuzzer, and each runs
    # its seed corpus once.
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DRUZD_FUZZ=ON "${launcher[@]}" >/dev/null
    cmake --build build-fuzz -j "$(nproc)" --target ruzd_fuzzers
    (cd build-fuzz && ctest --output-on-failure -j "$(nproc)" -L libfuzzer)
fi
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
