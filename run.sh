#!/usr/bin/env bash
# Builds the node program (scripts/build-release.sh) and runs it headless in the foreground, in a
# platform root inside the working tree (./run-root, or the folder RUZD_RUN_ROOT names) whose
# vendor folder holds the simulated boards. The node listens for the central server on 9070 (and
# 9071 for file transfer) and writes its debug files to <root>/node/debug, until Ctrl-C or SIGTERM
# stops it. Arguments go on to the node after its "-debug -d" (e.g. ./run.sh -w1).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build-release.sh Pelwix boardsim_vendor

repo="$PWD"
export RUZD_ROOT="${RUZD_RUN_ROOT:-$repo/run-root}"
unset RUZD_VENDOR_DIR
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
echo "Pelwix: platform root $RUZD_ROOT, working folder $PWD; Ctrl-C stops it."
exec "$repo/build/bin/Pelwix" -debug -d "$@"
