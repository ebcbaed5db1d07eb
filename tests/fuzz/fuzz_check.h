// A check that holds in every build of the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(Condition)                                                                      \
    do {                                                                                           \
        if (!(Condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #Condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
