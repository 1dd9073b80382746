// The shared corpus of real maps, converted as a user would: each real map
// told whole on valid pages, four encodings of one map giving one page, and
// the malformed ones refused with the parser's reason.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "pages/markup.hpp"
#include "support/support.hpp"

using namespace cxltest;

// Each .cxl of `folder` converted in a folder of its own: its description
// page (empty without one) and the run.
static void forEachMap(const std::string& folder, const std::function<void(const fs::path&, const RunResult&, const std::string&)>& check) {
    const auto corpus = corpusDir();
    if (!corpus) GTEST_SKIP() << "no shared corpus beside the repository (../shared/corpus)";
    std::vector<fs::path> maps;
    for (const auto& entry : fs::directory_iterator(*corpus / folder)) {
        if (entry.path().extension() == ".cxl") maps.push_back(entry.path());
    }
    std::sort(maps.begin(), maps.end());
    for (const fs::path& path : maps) {
        SCOPED_TRACE(path.filename().string());
        TempDir dir;
        writeFile(dir / "mc.cxl", readFile(path));
        const RunResult result = runProgram(dir.path(), {});
        if (result.exitCode == 0) {
            EXPECT_EQ(xhtmlErrors(dir / "SIGXX_MapaConceptual.html") + xhtmlErrors(dir / "SIGXX_Desc.html"), "");
        } else {
            EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"mc.cxl"});
        }
        check(path, result, readPage(dir / "SIGXX_Desc.html"));
    }
}

TEST(Corpus, EveryRealMapIsToldWholeOnValidPages) {
    forEachMap("real", [](const fs::path& path, const RunResult& result, const std::string& page) {
        ASSERT_EQ(result.exitCode, 0) << result.err;
        cxl::ConceptMap map;
        ASSERT_EQ(loadBytes(readFile(path), map), cxl::LoadStatus::Loaded);
        for (const cxl::NodeList* nodes : {&map.conceptList, &map.phraseList}) {
            for (const cxl::MapNode& node : *nodes) {
                std::ostringstream label;
                cxl::writeText(label, node.label);
                EXPECT_NE(page.find(label.str()), std::string::npos) << node.label;
            }
        }
    });
}

TEST(Corpus, FourEncodingsOfOneMapGiveOnePage) {
    std::string first;
    forEachMap("derived", [&](const fs::path&, const RunResult& result, const std::string& page) {
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_NE(page.find("\xC3\x91" "and\xC3\xBA"), std::string::npos);
        if (first.empty()) first = page;
        EXPECT_EQ(page, first);
    });
}

TEST(Corpus, MalformedMapsAreRefusedWithTheParsersReason) {
    forEachMap("real/malformed", [](const fs::path&, const RunResult& result, const std::string&) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.starts_with("mxml: ")) << result.err;
        EXPECT_TRUE(result.err.ends_with("no es un documento XML valido.\n" + kPause)) << result.err;
    });
}
