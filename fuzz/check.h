#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property names itself and aborts: libFuzzer then keeps the input as a crash, and the
// corpus replay fails with the reason in its log instead of a bare signal.
#define KORVO_FUZZ_CHECK(condition, property)                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, property);              \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
