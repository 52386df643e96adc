// A program for the crash-dump tests to watch, built without sanitizers (they would catch the
// crash themselves). Copied under a watched program's name, it writes "ready", then acts on each
// line of its input: "crash" dies of an invalid access in CrashInHelperFunction; "abort" dies in
// the C library's abort, called from AbortInHelperFunction; "library <path>" loads that shared
// library and dies inside its CrashInsideLibrary, called from CallIntoLibrary; "raise" raises an
// access violation that its own handler takes, and writes "handled". It ends with its input.
// A few more threads wait all the while, as the watched programs have several.

#include <dlfcn.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t g_handled = 0;

extern "C" void OnAccessViolation(int) {
    g_handled = 1;
}

__attribute__((noinline)) void CrashInHelperFunction() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

__attribute__((noinline)) void AbortInHelperFunction() {
    std::abort();
}

__attribute__((noinline)) void CallIntoLibrary(const std::string& path) {
    void* library = ::dlopen(path.c_str(), RTLD_NOW);
    if (library == nullptr) {
        std::puts(::dlerror());
        std::fflush(stdout);
        return;
    }
    using Function = size_t (*)();
    const auto crash = reinterpret_cast<Function>(::dlsym(library, "CrashInsideLibrary"));
    std::printf("%zu\n", crash());
}

}  // namespace

int main() {
    for (int i = 0; i < 4; ++i) {
        std::thread([] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::hours(1));
            }
        }).detach();
    }
    std::puts("ready");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "crash") {
            CrashInHelperFunction();
        } else if (line == "abort") {
            AbortInHelperFunction();
        } else if (line.rfind("library ", 0) == 0) {
            CallIntoLibrary(line.substr(8));
        } else if (line == "raise") {
            std::signal(SIGSEGV, OnAccessViolation);
            std::raise(SIGSEGV);
            std::puts(g_handled != 0 ? "handled" : "not handled");
            std::fflush(stdout);
        }
    }
    return 0;
}
