#!/usr/bin/env python3
"""Checks that every source includes only what its layer may use.

The layers: platform < foundation < net, telephony < node < app; the watchdog stands on platform
and foundation; the simulated boards see only the vendor interface (telephony/vendorapi) and the platform's
Windows path mapping and C run-time flags, which their voice files share with the node. A
layer includes its own headers and those of the layers below it. Tests may also include the
shared test helpers (testing/) and the simulated boards.

Only platform/ talks to the operating system: outside it, only net's socket core and the
simulated boards' control socket and voice files include system headers, and of the test code only the few
helpers in testing/ that truly need raw system calls.

    check_layers.py [--root DIR]        check the tree (default: the project this script is in)
    check_layers.py --self-test DIR     check the fixture tree DIR and compare what is found with
                                        DIR/expected_violations.txt

Exits with 1 when a source breaks a rule (or the self-test finds other violations than expected).
"""

import argparse
import pathlib
import re
import sys

# What each layer may include, as path prefixes of the included header.
LAYER_INCLUDES = {
    "platform": ["platform"],
    "foundation": ["platform", "foundation"],
    "net": ["platform", "foundation", "net"],
    "telephony": ["platform", "foundation", "telephony"],
    "node": ["platform", "foundation", "net", "telephony", "node"],
    "app": ["platform", "foundation", "net", "telephony", "node", "app"],
    "watchdog": ["platform", "foundation", "watchdog"],
    "boardsim": ["boardsim", "telephony/vendorapi",
                 # the voice files map Windows paths and C run-time flags as the node does
                 "platform/win_path.h", "platform/crt_flags.h"],
}
# The shared test helpers serve the tests of every layer; the benchmarks drive the whole node.
ALL_PRODUCT = ["platform", "foundation", "net", "telephony", "node", "app", "watchdog", "boardsim"]
AREA_INCLUDES = dict(LAYER_INCLUDES)
AREA_INCLUDES["testing"] = ALL_PRODUCT + ["testing"]
AREA_INCLUDES["bench"] = ALL_PRODUCT + ["testing", "bench"]
# Tests also use the test helpers and the simulated boards; those of the simulated boards drive
# them through the node's own vendor bindings.
TEST_EXTRA = ["testing", "boardsim"]
BOARDSIM_TEST_EXTRA = ["platform", "foundation", "telephony"]

# Where system headers may be included: folders end with '/', files are named whole.
SYSTEM_ALLOWED = [
    "platform/",
    "net/socket_core/",
    "boardsim/core/control_server.cpp",
    "boardsim/core/voice_files.cpp",
    "boardsim/control/control_client.cpp",
    # The benchmarks' baselines are plain system calls (one write(2) per line, a raw file).
    "bench/",
    # Test helpers that need raw system calls: child processes, raw sockets as peers, the
    # process's user, the X server's pipe, a folder read-only for a child, a small tmpfs.
    "testing/child_program.h",
    "testing/child_program.cpp",
    "testing/read_only_folder_run.cpp",
    "testing/small_tmpfs.cpp",
    "testing/window_child.h",
    "testing/sntp_test_server.cpp",
    "testing/loopback_socket.cpp",
    "testing/unix_sockets.cpp",
    "testing/os_for_tests.cpp",
    "testing/virtual_display.cpp",
    # The program the crash-dump tests watch: it faults and handles signals on purpose.
    "watchdog/tests/crash_helper.cpp",
]

# Headers of the operating system (POSIX and Linux), as opposed to C++ and C library headers.
SYSTEM_FOLDERS = {"sys", "netinet", "arpa", "net", "linux", "asm", "bits", "netpacket"}
SYSTEM_HEADERS = {
    "unistd.h", "fcntl.h", "dlfcn.h", "link.h", "netdb.h", "ifaddrs.h", "poll.h", "pthread.h",
    "sched.h", "semaphore.h", "mqueue.h", "signal.h", "csignal", "spawn.h", "errno.h", "cerrno",
    "pwd.h", "grp.h", "time.h", "termios.h", "dirent.h", "syslog.h", "elf.h", "execinfo.h",
    "ucontext.h", "utmp.h", "wait.h", "aio.h", "glob.h", "fnmatch.h", "libgen.h", "strings.h",
    "resolv.h", "utime.h", "wordexp.h", "langinfo.h", "endian.h", "malloc.h",
}

SOURCE_SUFFIXES = {".cpp", ".cc", ".h", ".hpp", ".inc"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def is_test_code(relative):
    parts = relative.split("/")
    return "tests" in parts or "fuzz" in parts


def allowed_prefixes(relative):
    area = relative.split("/")[0]
    prefixes = list(AREA_INCLUDES[area])
    if is_test_code(relative):
        prefixes += TEST_EXTRA
        if area == "boardsim":
            prefixes += BOARDSIM_TEST_EXTRA
    return prefixes


def under(path, prefixes):
    return any(path == p or path.startswith(p if p.endswith("/") else p + "/") for p in prefixes)


def is_system_header(header):
    first = header.split("/")[0]
    return (len(header.split("/")) > 1 and first in SYSTEM_FOLDERS) or header in SYSTEM_HEADERS


def violations_in(root, relative):
    found = []
    prefixes = allowed_prefixes(relative)
    system_allowed = under(relative, SYSTEM_ALLOWED)
    text = (root / relative).read_text(encoding="utf-8", errors="replace")
    for number, line in enumerate(text.splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        kind, header = match.groups()
        if kind == "<":
            if is_system_header(header) and not system_allowed:
                found.append((relative, number, header, "system header outside platform/"))
            continue
        area = header.split("/")[0]
        if area in AREA_INCLUDES and not under(header, prefixes):
            found.append((relative, number, header, "header of a layer it may not use"))
    return found


def check(root):
    found = []
    for area in sorted(AREA_INCLUDES):
        folder = root / area
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix in SOURCE_SUFFIXES and path.is_file():
                found += violations_in(root, path.relative_to(root).as_posix())
    return found


def describe(violation):
    relative, number, header, reason = violation
    return f"{relative}:{number}: includes {header}: {reason}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent.parent)
    parser.add_argument("--self-test", type=pathlib.Path, metavar="FIXTURE")
    options = parser.parse_args()

    if options.self_test:
        found = sorted(f"{v[0]}: {v[2]}" for v in check(options.self_test))
        expected_file = options.self_test / "expected_violations.txt"
        expected = sorted(line.strip() for line in expected_file.read_text().splitlines()
                          if line.strip() and not line.startswith("#"))
        if found != expected:
            print("layer check self-test: found", found, "expected", expected)
            return 1
        print(f"layer check self-test: the {len(found)} planted violations are caught")
        return 0

    found = check(options.root)
    for violation in found:
        print(describe(violation))
    if found:
        print(f"{len(found)} include(s) break the layers")
        return 1
    print("every include keeps to its layer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
