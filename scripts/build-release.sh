#!/usr/bin/env bash
# The release build (Release, no sanitizers) in build/: the one build that ./run.sh runs the node
# from, ./bench.sh measures and ./test.sh builds whole and starts in its smoke session, so that
# what the tests check is what the others run. Arguments: the targets to build, every target
# when none is given. JOBS sets the build's parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs="${JOBS:-$(nproc)}"
echo "==> Configuring the release build in build/ (cmake; the first time takes a while)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DRUZD_SANITIZE=OFF "${launcher[@]}" >/dev/null
targets=()
if [[ $# -gt 0 ]]; then
    targets=(--target "$@")
fi
echo "==> Building ${*:-every target} in build/ ($jobs jobs at once)"
cmake --build build -j "$jobs" "${targets[@]}"
