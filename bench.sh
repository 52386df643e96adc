#!/usr/bin/env bash
# Builds the benchmarks in the release build (scripts/build-release.sh), runs them and prints
# each ratio against its baseline measured in the same run, with its target. The tables go to
# standard error, the summary of ratios to standard output; a line whose target was missed ends
# with "below target", and the last line counts them. A missed target does not fail the run: a
# shared machine's load costs the node more than its baselines, so only a quiet run judges. JOBS
# sets the build's parallelism.
set -euo pipefail
usage() {
    cat <<'EOF_USAGE'
Usage: ./bench.sh
Builds the benchmarks in the release build (build/) and runs them (a few minutes): the full
tables go to standard error, one line per figure against its baseline and target to standard
output, and the last line counts the targets missed.
  -h, --help    print this text and end
Environment:
  JOBS          how many compile jobs the build runs at once (the number of CPUs)
EOF_USAGE
}
case "${1:-}" in
    --help | -h)
        usage
        exit 0
        ;;
    "") ;;
    *)
        echo "bench.sh: unknown argument \"$1\"" >&2
        usage >&2
        exit 2
        ;;
esac
cd "$(dirname "$0")"
./scripts/install-deps.sh

benches=()
for source in bench/*_bench.cpp; do
    benches+=("$(basename "$source" .cpp)")
done
./scripts/build-release.sh "${benches[@]}"

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
    ratios+="$("build/bin/$bench" ${arguments[$bench]:-})"$'\n'
done

read -r load_after _ </proc/loadavg
echo
echo "Ratios (Release build, $(nproc) CPUs, load average $load_before before the run," \
    "$load_after after it):"
printf '%s' "$ratios" | grep -v '^$'
targets=$(printf '%s' "$ratios" | grep -c '(target ' || true)
missed=$(printf '%s' "$ratios" | grep -c 'below target$' || true)
echo "Targets missed: $missed of $targets (marked \"below target\" above; load average $load_after)."
