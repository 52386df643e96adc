#!/usr/bin/env bash
# A checkout may live anywhere: a copy of the tree under a path holding the folder names the build
# leaves out of its libraries (fuzz, tests, program) configures with every library whole, and
# builds.
set -euo pipefail
source_root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
copy="$work/fuzz/tests/program/ruzd"
mkdir -p "$copy"
# The tracked files only: no build folders, no run root.
(cd "$source_root" && tar --exclude='./build*' --exclude='./run-root' --exclude='./.git' -cf - . |
    tar -xf - -C "$copy")
cmake -S "$copy" -B "$copy/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUZD_BENCH=OFF >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; echo "FAIL: the copy at $copy does not configure"; exit 1; }
failed=0
for module in platform foundation net telephony node app watchdog; do
    if ! grep -q "$module/CMakeFiles/ruzd_$module.dir/" "$copy/build/build.ninja"; then
        echo "FAIL: the library ruzd_$module has no sources in a checkout at $copy"
        failed=$((failed + 1))
    fi
done
[ "$failed" -eq 0 ] || exit 1
# And builds: the watchdog's program links the libraries of three layers compiled from there.
cmake --build "$copy/build" -j "${JOBS:-4}" --target Tormbel >"$work/build.log" 2>&1 ||
    { tail -n 40 "$work/build.log"; echo "FAIL: the copy at $copy does not build"; exit 1; }
"$copy/build/bin/Tormbel" --help >/dev/null ||
    { echo "FAIL: the program built at $copy does not run"; exit 1; }
echo "1 passed, 0 failed"
