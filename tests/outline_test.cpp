// The description outline: each file of tests/data/outlines/ is a map and
// its outline to the byte (tests/data/README.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "pages/outline.hpp"
#include "support/common.hpp"

using namespace cxl;
namespace fs = std::filesystem;

namespace {

std::string outlineOf(const ConceptMap& map, bool& italicsUsed) {
    std::ostringstream out;
    italicsUsed = writeOutline(out, map).italicsUsed;
    return out.str();
}

std::vector<fs::path> caseFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(cxltest::sourceDir() / "tests/data/outlines")) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class Outline : public testing::TestWithParam<fs::path> {};

TEST_P(Outline, Case) {
    ConceptMap map;
    bool italics = false;
    std::istringstream in(cxltest::readFile(GetParam()));
    for (std::string line; std::getline(in, line) && line != "----";) {
        std::istringstream words(line);
        std::string what;
        std::string id;
        std::string to;
        words >> what >> id;
        if (what == "concept" || what == "phrase") {
            int x = 0;
            int y = 0;
            int width = 0;
            std::string label;
            std::getline(words >> x >> y >> width >> std::ws, label);
            appendNode(map, what == "concept" ? NodeKind::Concept : NodeKind::LinkingPhrase, id, label, x, y, width);
        } else if (what == "link" && (words >> to)) {
            ASSERT_TRUE(findNode(map, id) != nullptr && findNode(map, to) != nullptr) << line;
            addLink(*findNode(map, id), *findNode(map, to));
        } else if (what == "italics") {
            italics = id == "yes";
        }
    }
    buildRootList(map);
    const std::string expected(std::istreambuf_iterator<char>(in), {});
    bool italicsUsed = !italics;
    EXPECT_EQ(outlineOf(map, italicsUsed), expected);
    EXPECT_EQ(italicsUsed, italics);
    // The walk keeps its own bookkeeping: a second writing is the same.
    EXPECT_EQ(outlineOf(map, italicsUsed), expected);
}

INSTANTIATE_TEST_SUITE_P(Outlines, Outline, testing::ValuesIn(caseFiles()),
                         [](const testing::TestParamInfo<fs::path>& info) {
                             std::string name = info.param.stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace

TEST(OutlineDepth, MillionPhraseChainNeedsNoCallStack) {
    ConceptMap map;
    MapNode* previous = &appendNode(map, NodeKind::Concept, "root", "R", 0, 0, 0);
    for (int i = 0; i < 1000000; ++i) {
        MapNode& next = appendNode(map, NodeKind::LinkingPhrase, std::to_string(i), "p", 0, 0, 0);
        addLink(*previous, next);
        previous = &next;
    }
    addLink(*previous, appendNode(map, NodeKind::Concept, "end", "E", 0, 0, 0));
    buildRootList(map);
    bool italicsUsed = false;
    const std::string outline = outlineOf(map, italicsUsed);
    EXPECT_EQ(outline.size(), 2000000U + 136U);  // the chain and the fixed lines
    EXPECT_NE(outline.find("p p <strong>E</strong>\n"), std::string::npos);
    releaseMap(map);  // nor does releasing it
    EXPECT_TRUE(map.conceptList.empty() && map.phraseList.empty() && map.rootList.empty());
}
