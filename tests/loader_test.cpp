// Loading CXL documents into the model: each case of tests/data/loader/
// (tests/data/README.md) gives a document, the status and the whole model.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "map/loader.hpp"
#include "support/common.hpp"

using namespace cxl;
using namespace cxltest;

namespace {

const std::map<LoadStatus, std::string> kStatus = {{LoadStatus::Loaded, "Loaded"},
                                                   {LoadStatus::NotXml, "NotXml"},
                                                   {LoadStatus::MissingNode, "MissingNode"},
                                                   {LoadStatus::OutOfMemory, "OutOfMemory"}};

std::vector<std::string> modelOf(const ConceptMap& map) {
    std::vector<std::string> lines;
    for (const NodeList* list : {&map.conceptList, &map.phraseList}) {
        for (const MapNode& node : *list) {
            std::ostringstream line;
            line << (list == &map.conceptList ? "concept " : "phrase ") << node.id << " \"" << node.label << "\" "
                 << node.x << " " << node.y << " " << node.width << (node.childCount() > 0 ? " ->" : "");
            for (const MapNode* child : node.children) line << " " << child->id;
            lines.push_back(line.str());
        }
    }
    std::ostringstream roots;
    roots << "roots";
    for (const NodeLink& root : map.rootList) roots << " " << root.target->id;
    if (!map.conceptList.empty()) lines.push_back(roots.str());
    if (!map.language.empty()) lines.push_back("language " + map.language);
    return lines;
}

class Load : public testing::TestWithParam<Case> {};

TEST_P(Load, Case) {
    std::string bytes;
    bool crlf = false;
    std::string status = "Loaded";
    std::vector<std::string> expected;
    for (const auto& [key, raw] : GetParam().lines) {
        const std::string value = decode(raw, GetParam().texts);
        if (key == "document") bytes = value;
        if (key == "body") bytes = "<?xml version=\"1.0\"?>\n<cmap><map>\n" + value + "</map></cmap>\n";
        if (key == "utf16le" || key == "utf16be") bytes = utf16WithMark(value, key == "utf16be");
        if (key == "crlf") crlf = true;
        if (key == "status") status = value;
        if (key == "is") expected.push_back(value);
    }
    ConceptMap map;
    EXPECT_EQ(kStatus.at(loadBytes(bytes, map, crlf)), status);
    // A map with a missing node is never told: what it holds is not pinned.
    if (status != "MissingNode") {
        EXPECT_EQ(modelOf(map), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Loader, Load, testing::ValuesIn(readCases(sourceDir() / "tests/data/loader")),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
