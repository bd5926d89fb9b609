// One libFuzzer program per target: PRX_FUZZ_ENTRY names the entry function.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return prx::fuzz::PRX_FUZZ_ENTRY(data, size);
}
