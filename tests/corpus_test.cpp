// Every map of the shared corpus of real maps, converted as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "map/loader.hpp"
#include "pages/markup.hpp"
#include "support/support.hpp"

namespace fs = std::filesystem;
using namespace cxl;
using namespace cxltest;

namespace {

// The maps of a folder of the corpus; none where the corpus is absent, which
// is a failure in CI.
std::vector<fs::path> corpusMaps(const std::string& folder) {
    std::vector<fs::path> maps;
    const auto corpus = corpusDir();
    if (!corpus) {
        if (inCi()) ADD_FAILURE() << "the shared corpus is required in CI";
        return maps;
    }
    for (const auto& entry : fs::directory_iterator(*corpus / folder)) {
        if (entry.path().extension() == ".cxl") maps.push_back(entry.path());
    }
    std::sort(maps.begin(), maps.end());
    return maps;
}

#define CORPUS_MAPS(maps, folder, count)                                                   \
    const auto maps = corpusMaps(folder);                                                  \
    if (maps.empty()) GTEST_SKIP() << "no shared corpus beside the repository (../shared/corpus)"; \
    ASSERT_EQ(maps.size(), count##U)

std::size_t occurrences(const std::string& text, std::string_view label, const std::string& before,
                        const std::string& after) {
    std::ostringstream escaped;
    writeText(escaped, label);
    const std::string what = before + escaped.str() + after;
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

struct Converted {
    RunResult result;
    std::string graphic;
    std::string description;
};

Converted convert(const fs::path& map, const TempDir& dir) {
    writeFile(dir / "mc.cxl", readFile(map));
    RunOptions options;
    options.input = "\n\n\n";
    Converted converted{runProgram(dir.path(), options), {}, {}};
    converted.graphic = readPage(dir / "SIGXX_MapaConceptual.html");
    converted.description = readPage(dir / "SIGXX_Desc.html");
    return converted;
}

}  // namespace

TEST(Corpus, EveryRealMapIsToldWholeOnValidPages) {
    CORPUS_MAPS(maps, "real", 26);
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        const Converted converted = convert(path, dir);
        ASSERT_EQ(converted.result.exitCode, 0) << converted.result.err;
        EXPECT_EQ(converted.result.err, "");
        EXPECT_EQ(xhtmlErrors(dir / "SIGXX_MapaConceptual.html"), "");
        EXPECT_EQ(xhtmlErrors(dir / "SIGXX_Desc.html"), "");

        ConceptMap map;
        ASSERT_EQ(loadBytes(readFile(path), map), LoadStatus::Loaded);
        const std::string& page = converted.description;
        // Every node is told: a concept in bold at least once, and once only
        // when it has links and its label is its own; a phrase before a
        // concept or alone.
        std::map<std::string_view, int> holders;
        for (const NodeList* list : {&map.conceptList, &map.phraseList}) {
            for (const MapNode& node : *list) ++holders[node.label];
        }
        for (const MapNode& node : map.conceptList) {
            const std::size_t bold = occurrences(page, node.label, "<strong>", "</strong>\n");
            EXPECT_GE(bold, 1U) << node.label;
            if (node.childCount() > 0 && holders[node.label] == 1) {
                EXPECT_EQ(bold, 1U) << node.label;
            }
        }
        for (const MapNode& node : map.phraseList) {
            EXPECT_GE(occurrences(page, node.label, "<li>", "") + occurrences(page, node.label, " ", " ") +
                          occurrences(page, node.label, " ", "\n"),
                      1U)
                << node.label;
        }
        // Those in English mark the outline; both pages are in Spanish.
        if (map.nodeCount() > 0 && readFile(path).find("<dc:language>en</dc:language>") != std::string::npos) {
            EXPECT_NE(page.find("</h1>\n    <ul xml:lang=\"en\" lang=\"en\">\n"), std::string::npos);
        }
        EXPECT_NE(converted.graphic.find("xml:lang=\"es\" lang=\"es\">\n"), std::string::npos);
    }
}

TEST(Corpus, FourEncodingsOfOneMapGiveTheSamePages) {
    CORPUS_MAPS(maps, "derived", 4);
    std::optional<Converted> first;
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        Converted converted = convert(path, dir);
        ASSERT_EQ(converted.result.exitCode, 0) << converted.result.err;
        EXPECT_NE(converted.description.find("\xC3\x91" "and\xC3\xBA"), std::string::npos);
        EXPECT_EQ(xhtmlErrors(dir / "SIGXX_Desc.html"), "");
        if (!first) first = converted;
        EXPECT_EQ(converted.graphic, first->graphic);
        EXPECT_EQ(converted.description, first->description);
    }
}

TEST(Corpus, MalformedMapsAreRefusedWithTheParsersReason) {
    CORPUS_MAPS(maps, "real/malformed", 2);
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        const Converted converted = convert(path, dir);
        EXPECT_EQ(converted.result.exitCode, 1);
        const std::string& err = converted.result.err;
        EXPECT_EQ(err.rfind("mxml: ", 0), 0U);  // the parser's own reason first
        const std::string message = "ERROR: El fichero \"mc.cxl\" no es un documento XML valido.\n" + kPause;
        EXPECT_TRUE(err.size() > message.size() && err.ends_with(message)) << err;
        EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"mc.cxl"});
    }
}
