#!/usr/bin/env bash
# Builds every target but the test programs in Release (scripts/build-release.sh, the build
# ./run.sh and ./bench.sh use), then everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test, the smoke session on the release node among them; clang builds the fuzzers,
# which replay their seeds.
# `./test.sh tsan` does the same with ThreadSanitizer instead, in build-tsan/. JOBS sets how many
# compile jobs and tests run at once (the number of CPUs when unset).
set -euo pipefail
usage() {
    cat <<'EOF_USAGE'
Usage: ./test.sh [tsan]
Builds every target but the tests in release (build/), then everything with AddressSanitizer and
UndefinedBehaviorSanitizer (build-test/), clang's fuzzers (build-fuzz/, each replaying its
seeds), and runs every test with CTest.
  tsan          the same with ThreadSanitizer instead, in build-tsan/
  -h, --help    print this text and end
Environment:
  JOBS          how many compile jobs and tests run at once (the number of CPUs)
EOF_USAGE
}
case "${1:-}" in
    --help | -h)
        usage
        exit 0
        ;;
    "" | tsan) ;;
    *)
        echo "test.sh: unknown argument \"$1\"" >&2
        usage >&2
        exit 2
        ;;
esac
jobs="${JOBS:-$(nproc)}"
export JOBS="$jobs"
cd "$(dirname "$0")"
# The tests never restart the machine, whatever the caller's environment allows.
unset RUZD_ALLOW_REBOOT RUZD_REBOOT_COMMAND
./scripts/install-deps.sh
./scripts/build-release.sh ruzd_all_but_tests
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
# Line tables (-g1) are all that a sanitizer's or a fuzzer's report reads; full debug information
# would cost a quarter of the build's time. Programs that a test debugs ask for -g themselves.
lines_only=(-DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${lines_only[@]}" "$sanitizer" \
    -DRUZD_RELEASE_SMOKE=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
if [[ "$build" == build-test ]]; then
    # The fuzz configure of the README: clang builds the fuzzers with libFuzzer, and each runs
    # its seed corpus once.
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DRUZD_FUZZ=ON "${launcher[@]}" >/dev/null
    cmake --build build-fuzz -j "$jobs" --target ruzd_fuzzers
    (cd build-fuzz && ctest --output-on-failure -j "$jobs" -L libfuzzer)
fi
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 300
