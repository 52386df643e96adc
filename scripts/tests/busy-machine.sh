#!/usr/bin/env bash
# Runs a command on a machine kept busy: twice as many CPU burners as CPUs (BUSY_BURNERS sets the
# number) at the command's own priority, for as long as the command runs. A test that waits a
# fixed window instead of for its event fails here as it would on a loaded CI machine.
#   scripts/tests/busy-machine.sh ./test.sh
#   scripts/tests/busy-machine.sh ./test.sh tsan
set -euo pipefail
if [[ $# -eq 0 || "$1" == --help || "$1" == -h ]]; then
    echo "usage: $0 <command> [arguments...]"
    echo "  runs the command beside BUSY_BURNERS CPU burners (default: twice the CPUs, $(($(nproc) * 2)))"
    echo "  and exits with the command's status"
    [[ $# -eq 0 ]] && exit 2
    exit 0
fi
burners=${BUSY_BURNERS:-$(($(nproc) * 2))}
pids=()
stop_burners() {
    if [[ ${#pids[@]} -gt 0 ]]; then
        kill "${pids[@]}" 2>/dev/null || true
        wait "${pids[@]}" 2>/dev/null || true
    fi
}
trap stop_burners EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for ((i = 0; i < burners; i++)); do
    # A subshell spinning on a builtin: no file, no memory, only the CPU.
    (trap - INT TERM; while :; do :; done) &
    pids+=($!)
done
echo "busy-machine: $burners CPU burners on $(nproc) CPUs beside: $*" >&2
status=0
"$@" || status=$?
read -r load _ </proc/loadavg
echo "busy-machine: the command ended with status $status (load average $load)" >&2
exit "$status"
