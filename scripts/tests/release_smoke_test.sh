#!/usr/bin/env bash
# The smoke session: the release node started by ./run.sh, in a platform root of its own with
# private ports, driven by the release ruzd-central through a whole session (CNPING, the file
# connection's handshake, CNINIT, CNSTRT and an ISDN call on the simulated boards), then stopped
# with SIGTERM: a clean stop ends with the status every path of the program but the service's
# ends with (its -1, 255) and closes the debug log.
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
node_pid=""
cleanup() {
    if [ -n "$node_pid" ] && kill -0 "$node_pid" 2>/dev/null; then
        kill -KILL "$node_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- run.sh and the node:"; cat "$work/run.out" 2>/dev/null || true
    echo "--- ruzd-central:"; cat "$work/central.out" 2>/dev/null || true
    exit 1
}

# Ports are claimed as the tests' own helpers claim them (testing/loopback_socket.cpp): below the
# kernel's range for outgoing connections, each held by a locked file in the temporary folder
# until this script ends.
read -r low _ </proc/sys/net/ipv4/ip_local_port_range
first=$((low > 13024 ? low - 12000 : 1024))
ports_folder="${TMPDIR:-/tmp}/ruzd-test-ports"
mkdir -p "$ports_folder"
claim_port() {
    local port fd
    for _ in $(seq 1000); do
        port=$((first + RANDOM % (low - first)))
        exec {fd}>"$ports_folder/$port"
        if flock -n "$fd" && [ -z "$(ss -Htan "sport = :$port")" ]; then
            claimed=$port
            return 0
        fi
        exec {fd}>&-
    done
    fail "no free port"
}
claim_port
command_port=$claimed
claim_port
file_port=$claimed
claim_port
gui_port=$claimed

root="$work/root"
mkdir -p "$root"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n"Local TCP port"=dword:%08x\n"Local File Socket TCP port"=dword:%08x\n"Local GUI TCP port"=dword:%08x\n' \
    "$command_port" "$file_port" "$gui_port" >"$root/registry.reg"

RUZD_RUN_ROOT="$root" "$repo/run.sh" >"$work/run.out" 2>&1 &
node_pid=$!

# run.sh builds (nothing to do after the test command's release build) and then becomes the node.
for _ in $(seq 600); do
    [ -n "$(ss -Htln "sport = :$command_port")" ] && [ -n "$(ss -Htln "sport = :$file_port")" ] && break
    kill -0 "$node_pid" 2>/dev/null || fail "the node ended before it listened"
    sleep 0.2
done
[ -n "$(ss -Htln "sport = :$command_port")" ] || fail "the node does not listen on $command_port"

timeout 120 "$repo/build/bin/ruzd-central" --port "$command_port" --file-port "$file_port" \
    --control "$root/boards.control" >"$work/central.out" 2>&1 || fail "ruzd-central failed"

kill -TERM "$node_pid"
status=0
wait "$node_pid" || status=$?
node_pid=""
[ "$status" -eq 255 ] || fail "the node's exit status after SIGTERM is $status"

for expected in "CNPING answered" "<- message 31" "boards: call dtiB1T1" "<- message 12" "call done"; do
    grep -qF -- "$expected" "$work/central.out" || fail "ruzd-central's session lacks \"$expected\""
done
cat "$root"/node/debug/* 2>/dev/null | grep -q "Log file closed" || fail "the debug log was not closed"
echo "1 passed, 0 failed"
