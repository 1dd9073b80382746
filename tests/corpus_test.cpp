// Every map of the shared corpus of real maps, converted as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "map/loader.hpp"
#include "pages/markup.hpp"
#include "support/test_support.hpp"

namespace fs = std::filesystem;
using namespace cxl;
using cxltest::readFile;
using cxltest::RunOptions;
using cxltest::runProgram;
using cxltest::TempDir;

namespace {

std::optional<fs::path> corpusOrSkip() {
    auto corpus = cxltest::corpusDir();
    if (!corpus && cxltest::inCi()) ADD_FAILURE() << "the shared corpus is required in CI";
    return corpus;
}

#define REQUIRE_CORPUS(corpus)                                                          \
    const auto corpus = corpusOrSkip();                                                 \
    if (!corpus) GTEST_SKIP() << "no shared corpus beside the repository (../shared/corpus)"

std::vector<fs::path> mapsIn(const fs::path& dir) {
    std::vector<fs::path> maps;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".cxl") maps.push_back(entry.path());
    }
    std::sort(maps.begin(), maps.end());
    return maps;
}

std::string escaped(std::string_view label) {
    std::ostringstream out;
    writeText(out, label);
    return out.str();
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Nodes that some root reaches, through any links.
std::set<const MapNode*> reachedFromRoots(const ConceptMap& map) {
    std::set<const MapNode*> reached;
    std::vector<const MapNode*> todo;
    for (const NodeLink& root : map.roots) todo.push_back(root.target);
    while (!todo.empty()) {
        const MapNode* node = todo.back();
        todo.pop_back();
        if (!reached.insert(node).second) continue;
        for (MapNode* child : node->children) todo.push_back(child);
    }
    return reached;
}

struct Converted {
    cxltest::RunResult result;
    std::string graphic;
    std::string description;
};

Converted convert(const fs::path& map, const TempDir& dir) {
    cxltest::writeFile(dir / "mc.cxl", readFile(map));
    Converted converted{runProgram(dir.path(), cxltest::withInput("\n\n\n")), {}, {}};
    converted.graphic = cxltest::readPage(dir / "SIGXX_MapaConceptual.html");
    converted.description = cxltest::readPage(dir / "SIGXX_Desc.html");
    return converted;
}

}  // namespace

TEST(Corpus, EveryRealMapIsToldWholeOnValidPages) {
    REQUIRE_CORPUS(corpus);
    const auto maps = mapsIn(*corpus / "real");
    ASSERT_EQ(maps.size(), 26U);
    std::size_t validated = 0;
    std::size_t mapsGaining = 0;
    std::size_t nodesGained = 0;
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        const Converted converted = convert(path, dir);
        ASSERT_EQ(converted.result.exitCode, 0) << converted.result.err;
        EXPECT_EQ(converted.result.err, "");
        for (const char* page : {"SIGXX_MapaConceptual.html", "SIGXX_Desc.html"}) {
            EXPECT_EQ(cxltest::xhtmlErrors(dir / page), "") << page;
            ++validated;
        }

        ConceptMap map;
        ASSERT_EQ(loadMap(std::fopen(path.c_str(), "r"), map), LoadStatus::Loaded);
        const std::string& page = converted.description;
        // Every node is told: a concept's first item is bold, and a concept
        // with links is bold once only (where its label is its own).
        std::map<std::string_view, int> holders;
        for (const NodeList* list : {&map.concepts, &map.phrases}) {
            for (const MapNode& node : *list) ++holders[node.label];
        }
        for (const MapNode& node : map.concepts) {
            const std::string bold = "<strong>" + escaped(node.label) + "</strong>\n";
            EXPECT_GE(occurrences(page, bold), 1U) << node.label;
            if (node.childCount > 0 && holders[node.label] == 1) {
                EXPECT_EQ(occurrences(page, bold), 1U) << node.label;
            }
        }
        for (const MapNode& node : map.phrases) {
            EXPECT_GE(occurrences(page, "<li>" + escaped(node.label)) +
                          occurrences(page, " " + escaped(node.label) + " ") +
                          occurrences(page, " " + escaped(node.label) + "\n"),
                      1U)
                << node.label;
        }
        const std::size_t gained = map.nodeCount() - reachedFromRoots(map).size();
        mapsGaining += gained > 0 ? 1 : 0;
        nodesGained += gained;

        // The maps declare their language; those in English mark the outline.
        const std::string source = readFile(path);
        if (map.nodeCount() > 0 && source.find("<dc:language>en</dc:language>") != std::string::npos) {
            EXPECT_NE(page.find("</h1>\n    <ul xml:lang=\"en\" lang=\"en\">\n"), std::string::npos);
        }
        EXPECT_NE(converted.graphic.find("xml:lang=\"es\" lang=\"es\">\n"), std::string::npos);
    }
    std::printf("corpus: %zu maps converted, %zu pages validated; %zu maps gained %zu nodes that no root "
                "reaches\n",
                maps.size(), validated, mapsGaining, nodesGained);
}

TEST(Corpus, FourEncodingsOfOneMapGiveTheSamePages) {
    REQUIRE_CORPUS(corpus);
    const auto maps = mapsIn(*corpus / "derived");
    ASSERT_EQ(maps.size(), 4U);
    std::optional<Converted> first;
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        Converted converted = convert(path, dir);
        ASSERT_EQ(converted.result.exitCode, 0) << converted.result.err;
        EXPECT_NE(converted.description.find("\xC3\x91" "and\xC3\xBA"), std::string::npos);
        EXPECT_EQ(cxltest::xhtmlErrors(dir / "SIGXX_Desc.html"), "");
        if (!first) {
            first = std::move(converted);
            continue;
        }
        EXPECT_EQ(converted.graphic, first->graphic);
        EXPECT_EQ(converted.description, first->description);
    }
}

TEST(Corpus, MalformedMapsAreRefusedWithoutPages) {
    REQUIRE_CORPUS(corpus);
    const auto maps = mapsIn(*corpus / "real" / "malformed");
    ASSERT_EQ(maps.size(), 2U);
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        const Converted converted = convert(path, dir);
        EXPECT_EQ(converted.result.exitCode, 1);
        const std::string message =
            "ERROR: El fichero \"mc.cxl\" no es un documento XML valido.\n" + cxltest::kPause;
        ASSERT_GE(converted.result.err.size(), message.size());
        EXPECT_EQ(converted.result.err.substr(converted.result.err.size() - message.size()), message);
        EXPECT_EQ(converted.result.err.rfind("mxml: ", 0), 0U);  // the parser's own reason first
        EXPECT_FALSE(fs::exists(dir / "SIGXX_MapaConceptual.html"));
        EXPECT_FALSE(fs::exists(dir / "SIGXX_Desc.html"));
    }
}
