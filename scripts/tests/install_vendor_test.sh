#!/usr/bin/env bash
# A library a running node has mapped keeps its bytes when the vendor folder is refreshed.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build" "$work/root"
printf 'old' >"$work/root/libdtimt.so"
ln "$work/root/libdtimt.so" "$work/mapped"  # the inode the running node holds
printf 'new' >"$work/build/libdtimt.so"
printf 'more' >"$work/build/libsrlmt.so"
"$here/install-vendor.sh" "$work/build" "$work/root"
[ "$(cat "$work/mapped")" = old ] || { echo "FAIL: the mapped library was overwritten"; exit 1; }
[ "$(cat "$work/root/libdtimt.so")" = new ] || { echo "FAIL: the library was not replaced"; exit 1; }
[ "$(cat "$work/root/libsrlmt.so")" = more ] || { echo "FAIL: a new library was not copied"; exit 1; }
[ -z "$(find "$work/root" -name '.*')" ] || { echo "FAIL: a temporary file was left"; exit 1; }
echo "1 passed, 0 failed"
