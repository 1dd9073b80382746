// Every map of the shared corpus of real maps, converted as a user would:
// valid pages that tell every node.
#include <gtest/gtest.h>

#include <sstream>

#include "pages/markup.hpp"
#include "support/support.hpp"

using namespace cxltest;

namespace {

std::vector<fs::path> corpusMaps(const std::string& folder) {
    std::vector<fs::path> maps;
    if (const auto corpus = corpusDir()) {
        for (const auto& entry : fs::directory_iterator(*corpus / folder)) {
            if (entry.path().extension() == ".cxl") maps.push_back(entry.path());
        }
    }
    std::sort(maps.begin(), maps.end());
    return maps;
}

// Converts `map` in `dir`; the description page, or its failure.
std::string convert(const fs::path& map, const TempDir& dir, RunResult& result) {
    writeFile(dir / "mc.cxl", readFile(map));
    result = runProgram(dir.path(), {});
    return readPage(dir / "SIGXX_Desc.html");
}

}  // namespace

TEST(Corpus, EveryRealMapIsToldWholeOnValidPages) {
    const auto maps = corpusMaps("real");
    if (maps.empty()) GTEST_SKIP() << "no shared corpus beside the repository (../shared/corpus)";
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        RunResult result;
        const std::string page = convert(path, dir, result);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(xhtmlErrors(dir / "SIGXX_MapaConceptual.html") + xhtmlErrors(dir / "SIGXX_Desc.html"), "");
        cxl::ConceptMap map;
        ASSERT_EQ(loadBytes(readFile(path), map), cxl::LoadStatus::Loaded);
        for (const cxl::NodeList* nodes : {&map.conceptList, &map.phraseList}) {
            for (const cxl::MapNode& node : *nodes) {
                std::ostringstream label;
                cxl::writeText(label, node.label);
                EXPECT_NE(page.find(label.str()), std::string::npos) << node.label;
            }
        }
    }
}

TEST(Corpus, FourEncodingsOfOneMapGiveTheSamePages) {
    std::string first;
    for (const fs::path& path : corpusMaps("derived")) {
        TempDir dir;
        RunResult result;
        const std::string page = convert(path, dir, result);
        EXPECT_EQ(result.exitCode, 0) << path;
        EXPECT_NE(page.find("\xC3\x91" "and\xC3\xBA"), std::string::npos) << path;
        if (first.empty()) first = page;
        EXPECT_EQ(page, first) << path;
    }
}

TEST(Corpus, MalformedMapsAreRefusedWithTheParsersReason) {
    for (const fs::path& path : corpusMaps("real/malformed")) {
        TempDir dir;
        RunResult result;
        convert(path, dir, result);
        EXPECT_EQ(result.exitCode, 1) << path;
        EXPECT_TRUE(result.err.starts_with("mxml: ")) << result.err;
        EXPECT_TRUE(result.err.ends_with("no es un documento XML valido.\n" + kPause)) << result.err;
        EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"mc.cxl"});
    }
}
