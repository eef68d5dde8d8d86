// One libFuzzer target: the entry named by PIXMEND_FUZZ_ENTRY at build time.
#include "fuzz/fuzz_entries.h"

#include <cstdio>
#include <cstdlib>

namespace {
const TFuzzEntry* gEntry = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrepareFuzzing();
    gEntry = FindFuzzEntry(PIXMEND_FUZZ_ENTRY);
    if (!gEntry) {
        std::fprintf(stderr, "no fuzz entry named %s\n", PIXMEND_FUZZ_ENTRY);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gEntry->Run(data, size);
    return 0;
}
