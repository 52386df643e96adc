#!/usr/bin/env bash
# Builds the benchmarks without sanitizers (Release, in build-bench/), runs them and prints
# each ratio against its baseline measured in the same run, with its target. The tables go to
# standard error, the summary of ratios to standard output. JOBS sets the build's parallelism.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRUZD_SANITIZE=OFF \
    "${launcher[@]}" >/dev/null

benches=()
for source in bench/*_bench.cpp; do
    benches+=("$(basename "$source" .cpp)")
done
cmake --build build-bench -j "${JOBS:-$(nproc)}" --target "${benches[@]}"

# Each program's own arguments: the short ones are repeated and counted with their median,
# the file push runs a fixed number of 64 MB files.
declare -A arguments=(
    [debug_log_bench]="--benchmark_repetitions=3 --benchmark_display_aggregates_only=true"
    [stream_socket_bench]="--benchmark_repetitions=3 --benchmark_display_aggregates_only=true"
)

read -r load_before _ </proc/loadavg
ratios=""
for bench in "${benches[@]}"; do
    # shellcheck disable=SC2086  # the arguments are words
    ratios+="$("build-bench/bin/$bench" ${arguments[$bench]:-})"$'\n'
done

read -r load_after _ </proc/loadavg
echo
echo "Ratios (Release build, $(nproc) CPUs, load average $load_before before the run," \
    "$load_after after it):"
printf '%s' "$ratios" | grep -v '^$'
