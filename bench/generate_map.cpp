// Writes a large, repeatable CXL map for the benchmarks.
//
//   generate_map SHAPE CONCEPTS SEED > map.cxl
//
// Shapes:
//   course  a hierarchy of bounded depth under several roots: each concept
//           hangs from an earlier one through its own linking phrase; one
//           phrase in ten also points at a second concept, either back at an
//           ancestor (a cycle) or across at a leaf elsewhere (a repeated
//           target), so the outline stays as deep as the hierarchy; labels
//           with accents and line breaks.
//   fan     one concept with CONCEPTS outgoing links, to phrases drawn
//           anywhere (all insertions into one list of links).
//   roots   CONCEPTS concepts that nothing points at (the root list).
//   sameid  CONCEPTS concepts sharing one id, their appearances after them.
//   chain   one concept, a chain of CONCEPTS one-target linking phrases, and
//           a last concept: one line of the outline.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Box {
    std::string id;
    std::string label;
    int x, y, width;
};

struct Map {
    std::vector<Box> concepts;
    std::vector<Box> phrases;
    std::vector<std::pair<std::string, std::string>> connections;
};

const char* const kTopics[] = {"Energía", "Célula", "Ecosistema", "Función", "Sistema", "Órgano",
                               "Átomo", "Molécula", "Reacción", "Población", "Teoría", "Método"};
const char* const kVerbs[] = {"está formado por", "incluye", "depende de", "se relaciona con",
                              "produce", "es un tipo de", "contiene", "explica"};

std::string conceptLabel(std::mt19937& random, int i) {
    std::string label = kTopics[random() % 12];
    label += (random() % 4 == 0) ? "&#xa;" : " ";
    label += "número " + std::to_string(i);
    if (random() % 8 == 0) label += " &amp; más";
    return label;
}

void write(const Map& map) {
    std::printf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<cmap xmlns=\"http://example.org/xml/cmap/\">\n  <map width=\"4000\" height=\"4000\">\n");
    std::printf("    <concept-list>\n");
    for (const Box& c : map.concepts) std::printf("      <concept id=\"%s\" label=\"%s\"/>\n", c.id.c_str(), c.label.c_str());
    std::printf("    </concept-list>\n    <linking-phrase-list>\n");
    for (const Box& p : map.phrases) {
        std::printf("      <linking-phrase id=\"%s\" label=\"%s\"/>\n", p.id.c_str(), p.label.c_str());
    }
    std::printf("    </linking-phrase-list>\n    <connection-list>\n");
    int n = 0;
    for (const auto& [from, to] : map.connections) {
        std::printf("      <connection id=\"k%d\" from-id=\"%s\" to-id=\"%s\"/>\n", n++, from.c_str(), to.c_str());
    }
    std::printf("    </connection-list>\n    <concept-appearance-list>\n");
    for (const Box& c : map.concepts) {
        std::printf("      <concept-appearance id=\"%s\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"28\"/>\n",
                    c.id.c_str(), c.x, c.y, c.width);
    }
    std::printf("    </concept-appearance-list>\n    <linking-phrase-appearance-list>\n");
    for (const Box& p : map.phrases) {
        std::printf("      <linking-phrase-appearance id=\"%s\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"14\"/>\n",
                    p.id.c_str(), p.x, p.y, p.width);
    }
    std::printf("    </linking-phrase-appearance-list>\n  </map>\n</cmap>\n");
}

Map course(int count, std::mt19937& random) {
    Map map;
    const int roots = count / 5000 + 3;
    std::uniform_int_distribution<int> x(0, 4000);
    std::uniform_int_distribution<int> width(60, 220);
    std::vector<int> depth(static_cast<std::size_t>(count), 0);
    std::vector<int> parentOf(static_cast<std::size_t>(count), -1);
    // Concepts past this index have no children of their own.
    const int firstLeaf = (count - roots) / 4 + 3;
    for (int i = 0; i < count; ++i) {
        int parent = -1;
        if (i >= roots) {
            // Parents come from a window of earlier concepts: about four
            // children each, so the depth stays near log4 of the size.
            const int base = (i - roots) / 4;
            parent = std::min(i - 1, base + static_cast<int>(random() % 3));
            depth[static_cast<std::size_t>(i)] = depth[static_cast<std::size_t>(parent)] + 1;
            parentOf[static_cast<std::size_t>(i)] = parent;
        }
        const int y = depth[static_cast<std::size_t>(i)] * 120 + static_cast<int>(random() % 5);
        map.concepts.push_back({"c" + std::to_string(i), conceptLabel(random, i), x(random), y, width(random)});
        if (parent < 0) continue;
        const std::string phraseId = "p" + std::to_string(i);
        map.phrases.push_back({phraseId, kVerbs[random() % 8], x(random), y - 60, width(random)});
        map.connections.emplace_back("c" + std::to_string(parent), phraseId);
        map.connections.emplace_back(phraseId, "c" + std::to_string(i));
        if (random() % 10 == 0) {
            const int grandparent = parentOf[static_cast<std::size_t>(parent)];
            // Roots stay untargeted, or their hierarchies would be unreachable.
            const int second = (random() % 2 == 0 && grandparent >= roots)
                                   ? grandparent
                                   : std::min(count - 1, firstLeaf + static_cast<int>(random() % static_cast<unsigned>(count)));
            map.connections.emplace_back(phraseId, "c" + std::to_string(second));
        }
    }
    return map;
}

Map fan(int count, std::mt19937& random) {
    Map map;
    map.concepts.push_back({"hub", "Centro", 2000, 0, 120});
    std::uniform_int_distribution<int> coordinate(0, 4000);
    for (int i = 0; i < count; ++i) {
        const std::string id = "p" + std::to_string(i);
        map.phrases.push_back({id, kVerbs[random() % 8], coordinate(random), coordinate(random), 60 + static_cast<int>(random() % 100)});
        map.connections.emplace_back("hub", id);
    }
    return map;
}

Map roots(int count, std::mt19937& random) {
    Map map;
    std::uniform_int_distribution<int> coordinate(0, 4000);
    for (int i = 0; i < count; ++i) {
        map.concepts.push_back({"c" + std::to_string(i), conceptLabel(random, i), coordinate(random), coordinate(random), 100});
    }
    return map;
}

Map sameId(int count, std::mt19937& random) {
    Map map;
    std::uniform_int_distribution<int> coordinate(0, 4000);
    for (int i = 0; i < count; ++i) {
        map.concepts.push_back({"mismo", conceptLabel(random, i), coordinate(random), coordinate(random), 100});
    }
    map.phrases.push_back({"p", "se repite en", 10, 10, 80});
    map.connections.emplace_back("p", "mismo");
    return map;
}

Map chain(int count, std::mt19937&) {
    Map map;
    map.concepts.push_back({"first", "Inicio", 0, 0, 80});
    map.concepts.push_back({"last", "Fin", 0, 0, 80});
    std::string previous = "first";
    for (int i = 0; i < count; ++i) {
        const std::string id = "p" + std::to_string(i);
        map.phrases.push_back({id, "y", i % 4000, i / 4000, 20});
        map.connections.emplace_back(previous, id);
        previous = id;
    }
    map.connections.emplace_back(previous, "last");
    return map;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s course|fan|roots|sameid|chain CONCEPTS SEED\n", argv[0]);
        return 2;
    }
    const std::string shape = argv[1];
    const int count = std::atoi(argv[2]);
    std::mt19937 random(static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10)));
    Map map;
    if (shape == "course") map = course(count, random);
    else if (shape == "fan") map = fan(count, random);
    else if (shape == "roots") map = roots(count, random);
    else if (shape == "sameid") map = sameId(count, random);
    else if (shape == "chain") map = chain(count, random);
    else {
        std::fprintf(stderr, "unknown shape %s\n", shape.c_str());
        return 2;
    }
    write(map);
    return 0;
}
