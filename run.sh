#!/usr/bin/env bash
# Builds the node program (release) and runs it headless in the foreground, in a platform root
# inside the working tree (./run-root) whose vendor folder holds the simulated boards. The node
# listens for the central server on 9070 (and 9071 for file transfer) and writes its debug
# files to ./run-root/node/debug, until Ctrl-C stops it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DRUZD_SANITIZE=OFF >/dev/null
cmake --build build -j "$(nproc)" --target Pelwix boardsim_vendor

repo="$PWD"
export RUZD_ROOT="$repo/run-root"
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
exec "$repo/build/bin/Pelwix" -debug -d
