#!/usr/bin/env bash
# Copies the simulated vendor libraries from a build's vendor folder into a platform root's.
# Each file is written under a new name and renamed over the old one: a node that runs from
# that root keeps the libraries it has mapped, where copying over them in place would change
# the code under its feet.
set -euo pipefail
src="$1"
dst="$2"
mkdir -p "$dst"
for file in "$src"/*; do
    [ -f "$file" ] || continue
    name="$(basename "$file")"
    tmp="$dst/.$name.$$"
    cp -p "$file" "$tmp"
    mv -f "$tmp" "$dst/$name"
done
