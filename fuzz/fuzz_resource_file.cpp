// Message resource files are installation data that anyone may edit: the loader must refuse
// any content cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/res/ResourceFileReader.h"

// The loader's diagnostics go to standard output; keep the fuzzer's console readable.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::vector<char> copy(data, data + size);
    FILE* stream = fmemopen(copy.data(), copy.size(), "r");
    if (stream == nullptr) {
        return 0;
    }
    std::unique_ptr<vexares::StringResourceList> list;
    if (vexares::ResourceFileReader::read("fuzz.res", stream, list) == 0 && list->size() > 0) {
        for (uint32_t id = list->getFirst(); id <= list->getLast(); ++id) {
            (void)list->getWstring(id);
        }
    }
    std::fclose(stream);
    return 0;
}
