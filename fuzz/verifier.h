#pragma once
#include <cstdio>
#include <cstdlib>

// A property every input must keep: a broken one stops the run with its place, which the fuzzer
// then reports with the input that broke it.
#define VERIFIER(condition)                                                                \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);           \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)
