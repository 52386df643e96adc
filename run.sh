#!/usr/bin/env bash
# Builds the node program (scripts/build-release.sh) and runs it headless in the foreground, in a
# platform root inside the working tree (./run-root, or the folder RUZD_RUN_ROOT names) whose
# vendor folder holds the simulated boards. The node listens for the central server on 9070 (and
# 9071 for file transfer) and writes its debug files to <root>/node/debug, until Ctrl-C or SIGTERM
# stops it. Arguments go on to the node after its "-debug -d" (e.g. ./run.sh -w1).
set -euo pipefail

usage() {
    cat <<'EOF_USAGE'
Usage: ./run.sh [node option]...
Builds the node program and ruzd-central (the release build, in build/) and runs the node
headless in the foreground in the platform root ./run-root, on the simulated boards. The node
listens for the central server on the registry's ports (9070 for commands, 9071 for file
transfers) and for its windows on 127.0.0.1:9072; its debug files go to ./run-root/node/debug/.
Ctrl-C or SIGTERM stops it. In another terminal, build/bin/ruzd-central --control
run-root/boards.control drives a call through it.
  [node option]...  handed to the node after its "-debug -d", e.g. -w1 for a start-up delay of
                    one second (build/bin/Pelwix --help lists them)
  -h, --help        print this text and end
Environment:
  RUZD_RUN_ROOT     the platform root (./run-root)
  JOBS              how many compile jobs the build runs at once (the number of CPUs)
EOF_USAGE
}
if [[ "${1:-}" == --help || "${1:-}" == -h ]]; then
    usage
    exit 0
fi

cd "$(dirname "$0")"
echo "==> Checking the Debian packages the build needs (scripts/debian-packages.txt)"
./scripts/install-deps.sh
# ruzd-central too: the README drives the first call with it.
./scripts/build-release.sh Pelwix boardsim_vendor ruzd-central

repo="$PWD"
export RUZD_ROOT="${RUZD_RUN_ROOT:-$repo/run-root}"
unset RUZD_VENDOR_DIR
echo "==> Laying out the platform root $RUZD_ROOT"
mkdir -p "$RUZD_ROOT/node"
scripts/install-vendor.sh build/vendor "$RUZD_ROOT/vendor"

# The simulated boards (boardsim/README.md). No IP boards: with them the node starts Global Call
# on its own, and the ISDN line devices would be driven the Global Call way. The control socket
# lets a tester raise calls and events on the boards while the node runs.
if [ ! -f "$RUZD_ROOT/boards.cfg" ]; then
    printf '%s\n' "ip 0 0" >"$RUZD_ROOT/boards.cfg"
fi
export BOARDSIM_CONFIG="$RUZD_ROOT/boards.cfg"
export BOARDSIM_CONTROL="$RUZD_ROOT/boards.control"

cd "$RUZD_ROOT/node"
echo "==> Starting Pelwix: platform root $RUZD_ROOT, working folder $PWD; Ctrl-C stops it."
exec "$repo/build/bin/Pelwix" -debug -d "$@"
