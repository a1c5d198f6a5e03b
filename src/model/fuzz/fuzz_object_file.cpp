#include "FuzzInput.h"
#include "ObjectFile.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string& file = fuzzInputFile(data, size);
    CDynArray list;
    uint32_t next = 1;
    // A memory budget the input chooses, so that stopping part-way is explored as well.
    ReadOptions options;
    options.budget = size > 0 ? uint64_t(data[size - 1]) * 256 : 0;
    ReadObjectFile(file, list, [&](const std::string& name, int, int, int) -> uint32_t {
        // Texture names come from the file; keep them harmless by never opening them.
        return name.empty() ? 0 : next++;
    }, options);
    // Every polygon must be reachable both ways and consistent with the count.
    int forward = 0;
    uint64_t spent = 0;
    for (const tElement* e = list.First(); e; e = e->next) {
        if (e->type.size() > 9 || e->name.size() > 31 || e->texture.size() > 32)
            std::abort();
        ++forward;
        spent += PolygonFootprint(*e);
    }
    if (spent > *options.budget)
        std::abort();
    // Decoding only ever shortens the stream, so there are at most size / 136 records.
    if (forward != list.Count() || std::size_t(forward) > size / kObjectRecordSize)
        std::abort();
    return 0;
}
