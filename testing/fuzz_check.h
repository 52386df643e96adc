#pragma once

// The fuzz entries' own checks: a broken promise aborts, which libFuzzer reports as a finding
// with the input that made it (and the replay of the seed corpus as a failed test).

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
