// The description outline: each file of tests/data/outlines/ is a map and
// its outline to the byte (tests/data/README.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pages/outline.hpp"
#include "support/common.hpp"

using namespace cxl;
using cxltest::outlineOf;

namespace {

struct Case {
    std::string name;
    ConceptMap map;
    bool italics = false;
    std::string outline;
};

void readCase(const cxltest::fs::path& file, Case& c) {
    c.name = file.stem().string();
    std::istringstream in(cxltest::readFile(file));
    std::string line;
    while (std::getline(in, line) && line != "----") {
        std::istringstream words(line);
        std::string what;
        words >> what;
        if (what == "concept" || what == "phrase") {
            std::string id;
            int x = 0;
            int y = 0;
            int width = 0;
            words >> id >> x >> y >> width;
            std::string label;
            std::getline(words >> std::ws, label);
            (what == "concept" ? cxltest::addConcept : cxltest::addPhrase)(c.map, id, label, x, y, width);
        } else if (what == "link") {
            std::string from;
            std::string to;
            words >> from >> to;
            cxltest::link(c.map, from, to);
        } else if (what == "italics") {
            std::string yes;
            words >> yes;
            c.italics = yes == "yes";
        }
    }
    buildRootList(c.map);
    c.outline.assign(std::istreambuf_iterator<char>(in), {});
}

std::vector<cxltest::fs::path> caseFiles() {
    std::vector<cxltest::fs::path> files;
    for (const auto& entry : cxltest::fs::directory_iterator(cxltest::sourceDir() / "tests/data/outlines")) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST(Outline, EveryCaseOfTheDataFolder) {
    const auto files = caseFiles();
    ASSERT_GE(files.size(), 16U);
    for (const auto& file : files) {
        Case c;
        readCase(file, c);
        SCOPED_TRACE(c.name);
        bool italics = !c.italics;
        EXPECT_EQ(outlineOf(c.map, &italics), c.outline);
        EXPECT_EQ(italics, c.italics);
        // The walk keeps its own bookkeeping: a second writing is the same.
        EXPECT_EQ(outlineOf(c.map), c.outline);
    }
}

TEST(Outline, MillionPhraseChainNeedsNoCallStack) {
    ConceptMap map;
    MapNode* previous = &cxltest::addConcept(map, "root", "R");
    for (int i = 0; i < 1000000; ++i) {
        MapNode& next = cxltest::addPhrase(map, std::to_string(i), "p");
        addLink(*previous, next);
        previous = &next;
    }
    addLink(*previous, cxltest::addConcept(map, "end", "E"));
    buildRootList(map);
    const std::string outline = outlineOf(map);
    EXPECT_EQ(outline.size(), 2000000U + 136U);  // the chain and the fixed lines
    EXPECT_NE(outline.find("p p <strong>E</strong>\n"), std::string::npos);
    releaseMap(map);  // nor does releasing it
    EXPECT_TRUE(map.concepts.empty() && map.phrases.empty() && map.roots.empty());
}
