#pragma once

#include <cstdint>
#include <cstdio>

// A property a reader must keep on any input. A broken one stops the process the way a crash
// does, so the fuzzer keeps the input that showed it.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);            \
            __builtin_trap();                                                                                \
        }                                                                                                    \
    } while (false)

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
