#!/usr/bin/env bash
# Asked for help, every program and script prints its usage and ends with 0 at once, starting,
# binding (strace judges) and building nothing. The programs run in an empty platform root and
# working folder, which must stay as they were; the scripts run from a copy of the tree whose build
# steps and build tools are stand-ins that note every call, so that a call is seen rather than made.
# Also: Pelwix's -help and -? print its entry's own text and end with 255, run.sh says each stage
# before it runs it, test.sh honours JOBS, and test.sh and bench.sh refuse an argument they do not
# know before they build.
#
#   help_test.sh <folder of the built programs>
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
bin="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
# A generous ceiling: a sanitized program on a busy machine takes seconds only to load.
ceiling=30

# --- The programs ---
for program in Pelwix Tormbel ruzd-central ruzd-svcrun ruzd-net ruzd-explorer; do
    for word in --help -h; do
        run="$work/run-$program$word"
        mkdir -p "$run/root" "$run/folder"
        printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n"Local TCP port"=dword:00002328\n' \
            >"$run/root/registry.reg"
        cp "$run/root/registry.reg" "$run/registry.before"
        status=0
        (cd "$run/folder" && RUZD_ROOT="$run/root" timeout "$ceiling" "$bin/$program" "$word") \
            >"$run/out" 2>"$run/err" || status=$?
        [ "$status" -eq 0 ] || fail "$program $word: exit status $status"
        grep -qi '^usage: ' "$run/out" || fail "$program $word: no usage on standard output"
        [ "$(grep -c '' "$run/out")" -gt 3 ] || fail "$program $word: the usage is not one option a line"
        ! grep -q "$(printf '\t')" "$run/out" || fail "$program $word: the usage holds tabs"
        [ ! -s "$run/err" ] || fail "$program $word: said on stderr: $(cat "$run/err")"
        [ -z "$(ls -A "$run/folder")" ] || fail "$program $word: wrote $(ls -A "$run/folder")"
        [ "$(ls -A "$run/root")" = registry.reg ] || fail "$program $word: made $(ls -A "$run/root")"
        cmp -s "$run/root/registry.reg" "$run/registry.before" || fail "$program $word: the registry changed"
        # Once more under strace, which sees every socket the program or a child of it binds or
        # listens on (LeakSanitizer cannot run under a tracer).
        (cd "$run/folder" && RUZD_ROOT="$run/root" ASAN_OPTIONS=detect_leaks=0 timeout "$ceiling" \
            strace -f -qq -e trace=bind,listen -e signal=none -o "$run/trace" "$bin/$program" "$word") \
            >/dev/null 2>&1 || fail "$program $word: exit status $? under strace"
        ! grep -qE '(bind|listen)\(' "$run/trace" || fail "$program $word: $(grep -E '(bind|listen)\(' "$run/trace")"
    done
done

# --- The node's own help: -help and -? print its entry's text where no window can open, and
# end with 255 (the -1 of every run but the service's), so that a script tells it by its status ---
for words in "-help" "-?" "-service -help"; do
    read -ra argv <<<"$words"
    status=0
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY timeout "$ceiling" "$bin/Pelwix" "${argv[@]}") \
        >"$work/out" 2>"$work/err" || status=$?
    [ "$status" -eq 255 ] || fail "Pelwix $words: exit status $status"
    [ "$(head -n 1 "$work/out")" = "Possible command line options:" ] ||
        fail "Pelwix $words: not the entry's text: $(head -n 3 "$work/out")"
    grep -qx '     Pelwix  -help | -?' "$work/out" || fail "Pelwix $words: the text is not a line per line"
    [ ! -s "$work/err" ] || fail "Pelwix $words: said on stderr: $(cat "$work/err")"
done

# --- The scripts, from a copy with stand-ins ---
copy="$work/repo"
calls="$work/calls"
stand_in() {
    printf '#!/usr/bin/env bash\necho "%s $*" >>"%s"\n%s\n' "$1" "$calls" "${2:-}" >"$3"
    chmod +x "$3"
}
mkdir -p "$copy/scripts" "$work/path"
cp "$repo/run.sh" "$repo/test.sh" "$repo/bench.sh" "$copy/"
cp "$repo/scripts/build-release.sh" "$repo/scripts/install-vendor.sh" "$copy/scripts/"
stand_in install-deps "" "$copy/scripts/install-deps.sh"
# cmake makes the build folder it is given with -B, as the real one does.
stand_in cmake 'while [ $# -gt 0 ]; do [ "$1" = -B ] && mkdir -p "$2"; shift; done' "$work/path/cmake"
for tool in ctest apt-get sudo; do
    stand_in "$tool" "" "$work/path/$tool"
done
export PATH="$work/path:$PATH"

for script in run.sh test.sh bench.sh; do
    for word in --help -h; do
        : >"$calls"
        status=0
        (cd "$work" && timeout "$ceiling" "$copy/$script" "$word") >"$work/out" 2>"$work/err" || status=$?
        [ "$status" -eq 0 ] || fail "$script $word: exit status $status"
        grep -q "^Usage: ./$script" "$work/out" || fail "$script $word: no usage on standard output"
        grep -q '^  JOBS ' "$work/out" || fail "$script $word: the usage does not name JOBS"
        [ ! -s "$work/err" ] || fail "$script $word: said on stderr: $(cat "$work/err")"
        [ ! -s "$calls" ] || fail "$script $word: ran $(cat "$calls")"
        [ ! -e "$copy/build" ] && [ ! -e "$copy/run-root" ] || fail "$script $word: built or laid out"
    done
done
for script in test.sh bench.sh; do
    : >"$calls"
    status=0
    "$copy/$script" --colour >"$work/out" 2>"$work/err" || status=$?
    [ "$status" -eq 2 ] || fail "$script --colour: exit status $status"
    grep -q "unknown argument \"--colour\"" "$work/err" || fail "$script --colour: not named"
    [ ! -s "$calls" ] || fail "$script --colour: ran $(cat "$calls")"
done

# run.sh names each stage before it: packages, configure, build, root, start.
: >"$calls"
mkdir -p "$copy/build/bin" "$copy/build/vendor"
printf '#!/usr/bin/env bash\necho "the node $*"\n' >"$copy/build/bin/Pelwix"
chmod +x "$copy/build/bin/Pelwix"
RUZD_RUN_ROOT="$work/run-root" JOBS=3 timeout "$ceiling" "$copy/run.sh" -w1 >"$work/out" 2>&1 ||
    fail "run.sh with stand-ins: exit status $?: $(cat "$work/out")"
stages="$(grep -E '^(==> |the node )' "$work/out" | cut -c1-20)"
expected="==> Checking the Deb
==> Configuring the 
==> Building Pelwix 
==> Laying out the p
==> Starting Pelwix:
the node -debug -d -"
[ "$stages" = "$expected" ] || fail "run.sh's stages: $(cat "$work/out")"
grep -q "^==> Building Pelwix boardsim_vendor ruzd-central in build/ (3 jobs at once)" "$work/out" ||
    fail "run.sh: the build's line does not say JOBS"
grep -q -- "--build build -j 3" "$calls" || fail "run.sh: the build did not take JOBS: $(cat "$calls")"
rm -rf "$copy/build"

# test.sh hands JOBS to the release build, its own build and CTest.
: >"$calls"
JOBS=3 timeout "$ceiling" "$copy/test.sh" >"$work/out" 2>&1 || true
grep -q -- "^cmake --build build -j 3" "$calls" || fail "test.sh: the release build did not take JOBS: $(cat "$calls")"
grep -q -- "^cmake --build build-test -j 3" "$calls" || fail "test.sh: its build did not take JOBS: $(cat "$calls")"
grep -q -- "^ctest .*-j 3" "$calls" || fail "test.sh: CTest did not take JOBS: $(cat "$calls")"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "all passed"
