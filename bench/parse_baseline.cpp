// The floor for the benchmarks: the Mini-XML calls the loader makes to load
// and walk a CXL document, and nothing else.
//
//   parse_baseline MAP.cxl
#include <cstdio>
#include <cstring>

#include <mxml.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MAP.cxl\n", argv[0]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "r");
    if (file == nullptr) return 1;
    mxml_node_t* top = mxmlLoadFile(nullptr, file, MXML_NO_CALLBACK);
    std::fclose(file);
    if (top == nullptr) return 1;
    // Every element once, with the attributes the loader reads of its kind.
    std::size_t bytes = 0;
    for (mxml_node_t* node = mxmlFindElement(top, top, nullptr, nullptr, nullptr, MXML_DESCEND); node != nullptr;
         node = mxmlFindElement(node, top, nullptr, nullptr, nullptr, MXML_DESCEND)) {
        const char* name = mxmlGetElement(node);
        const char* const* attributes = nullptr;
        static const char* const kNode[] = {"id", "label", nullptr};
        static const char* const kAppearance[] = {"id", "x", "y", "width", nullptr};
        static const char* const kConnection[] = {"from-id", "to-id", nullptr};
        if (std::strcmp(name, "concept") == 0 || std::strcmp(name, "linking-phrase") == 0) {
            attributes = kNode;
        } else if (std::strcmp(name, "concept-appearance") == 0 ||
                   std::strcmp(name, "linking-phrase-appearance") == 0) {
            attributes = kAppearance;
        } else if (std::strcmp(name, "connection") == 0) {
            attributes = kConnection;
        }
        for (; attributes != nullptr && *attributes != nullptr; ++attributes) {
            if (const char* value = mxmlElementGetAttr(node, *attributes)) bytes += std::strlen(value);
        }
    }
    mxmlDelete(top);
    std::printf("%zu\n", bytes);
    return 0;
}
