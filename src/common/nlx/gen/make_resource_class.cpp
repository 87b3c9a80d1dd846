// Build-time helper: loads a resource text and writes its resource class (tessgen's template
// tables, the tools tests' sample classes).
//   make_resource_class <resource file> <class name> <output dir>
#include "NlxUtils.h"
#include "common/nlx/Resource.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <resource file> <class name> <output dir>\n", argv[0]);
        return 2;
    }
    try {
        NLX::createDir(std::string(argv[3]) + "/include");
        NLX::createDir(std::string(argv[3]) + "/src");
        NLX::Resource resource;
        resource.set(argv[1], 100);
        resource.createCPP(argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
