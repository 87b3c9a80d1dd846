// Arbitrary bytes as a resource text file: loading never crashes, fails only with the reader's
// own errors, and a loaded table reads back consistently and turns into a resource class.
#include "Indent.h"
#include "common/nlx/Resource.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct Scratch {
    std::string dir;
    std::string file;
    Scratch() {
        char pattern[] = "/tmp/fuzz_resource_text.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        dir = pattern;
        file = dir + "/input.res";
        ::mkdir((dir + "/include").c_str(), 0775);
        ::mkdir((dir + "/src").c_str(), 0775);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
    {
        std::ofstream out(scratch.file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    NLX::Indent::m_uiIndent = 0;
    NLX::Resource resource;
    try {
        resource.set(scratch.file, 16);
    } catch (const NLX::ZetException&) {
        return 0;
    }
    for (const std::string& name : resource.getNames()) {
        const std::vector<std::string> lines = resource.get(name);
        std::string joined;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            joined += (i == 0 ? "" : "\n") + lines[i];
        }
        if (resource.getStr(name, 0, -1) != joined) {
            std::abort();
        }
        if (!resource.getStr(name, static_cast<unsigned>(lines.size()), -1).empty()) {
            std::abort();
        }
        resource.getStr(name, 1, 0);
    }
    try {
        resource.createCPP("FuzzRes", scratch.dir);
    } catch (const NLX::ZetException&) {
        // names that are no identifiers
    }
    return 0;
}
