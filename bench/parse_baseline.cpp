// The floors for the benchmarks: the Mini-XML calls that load a CXL document
// and read the attributes the program reads, and nothing else.
//
//   parse_baseline tree MAP.cxl   the whole tree loaded, then walked
//   parse_baseline sax MAP.cxl    streamed as the program streams it, every
//                                 node released once told: the floor
#include <cstdio>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <mxml.h>
#include <unistd.h>

namespace {

std::size_t readAttributes(mxml_node_t* node) {
    static const char* const kNode[] = {"id", "label", nullptr};
    static const char* const kAppearance[] = {"id", "x", "y", "width", nullptr};
    static const char* const kConnection[] = {"from-id", "to-id", nullptr};
    const char* name = mxmlGetElement(node);
    const char* const* attributes = nullptr;
    if (std::strcmp(name, "concept") == 0 || std::strcmp(name, "linking-phrase") == 0) {
        attributes = kNode;
    } else if (std::strcmp(name, "concept-appearance") == 0 || std::strcmp(name, "linking-phrase-appearance") == 0) {
        attributes = kAppearance;
    } else if (std::strcmp(name, "connection") == 0) {
        attributes = kConnection;
    }
    std::size_t bytes = 0;
    for (; attributes != nullptr && *attributes != nullptr; ++attributes) {
        if (const char* value = mxmlElementGetAttr(node, *attributes)) bytes += std::strlen(value);
    }
    return bytes;
}

int tree(const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return 1;
    mxml_node_t* top = mxmlLoadFile(nullptr, file, MXML_NO_CALLBACK);
    std::fclose(file);
    if (top == nullptr) return 1;
    std::size_t bytes = 0;
    for (mxml_node_t* node = mxmlFindElement(top, top, nullptr, nullptr, nullptr, MXML_DESCEND); node != nullptr;
         node = mxmlFindElement(node, top, nullptr, nullptr, nullptr, MXML_DESCEND)) {
        bytes += readAttributes(node);
    }
    mxmlDelete(top);
    std::printf("%zu\n", bytes);
    return 0;
}

void onEvent(mxml_node_t* node, mxml_sax_event_t event, void* bytes) {
    if (event == MXML_SAX_ELEMENT_OPEN) *static_cast<std::size_t*>(bytes) += readAttributes(node);
}

mxml_type_t ignoreText(mxml_node_t*) { return MXML_IGNORE; }

int sax(const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return 1;
    std::size_t bytes = 0;
    mxml_node_t* top = mxmlSAXLoadFd(nullptr, fd, ignoreText, onEvent, &bytes);
    close(fd);
    if (top == nullptr) return 1;
    mxmlDelete(top);
    std::printf("%zu\n", bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "tree") return tree(argv[2]);
    if (argc == 3 && std::string_view(argv[1]) == "sax") return sax(argv[2]);
    std::fprintf(stderr, "usage: %s tree|sax MAP.cxl\n", argv[0]);
    return 2;
}
