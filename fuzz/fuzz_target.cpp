// One fuzz target per entry function; the build names the entry in VELLUMARK_FUZZ_ENTRY. libFuzzer
// or, in ordinary builds, replay_main.cpp calls it.
#include "fuzz/entries/fuzz_entries.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string fault = vellumark::fuzz::VELLUMARK_FUZZ_ENTRY(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "property violated: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
