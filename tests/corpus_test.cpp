// Every map of the shared corpus converted as a user would, each in a
// folder of its own: told whole on valid pages (the four encodings of one
// map giving one page), or, where malformed, refused with the parser's
// reason and nothing left.
#include <gtest/gtest.h>

#include <sstream>

#include "pages/markup.hpp"
#include "support/support.hpp"

using namespace cxltest;

TEST(Corpus, EveryMapIsToldWholeOrRefusedWithTheParsersReason) {
    const auto corpus = corpusDir();
    if (!corpus) GTEST_SKIP() << "no shared corpus beside the repository (../shared/corpus)";
    std::string derivedPage;
    for (const auto& entry : fs::recursive_directory_iterator(*corpus)) {
        const fs::path& path = entry.path();
        if (path.extension() != ".cxl") continue;
        SCOPED_TRACE(path.string());
        TempDir dir;
        writeFile(dir / "mc.cxl", readFile(path));
        const RunResult result = Child(dir.path(), {}).finish();
        if (path.parent_path().filename() == "malformed") {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_TRUE(result.err.starts_with("mxml: ") && result.err.ends_with("no es un documento XML valido.\n" + kPause)) << result.err;
            EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"mc.cxl"});
            continue;
        }
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(xhtmlErrors(dir / "SIGXX_MapaConceptual.html") + xhtmlErrors(dir / "SIGXX_Desc.html"), "");
        const std::string page = readPage(dir / "SIGXX_Desc.html");
        if (path.parent_path().filename() == "derived" && derivedPage.empty()) derivedPage = page;
        EXPECT_TRUE(path.parent_path().filename() != "derived" || page == derivedPage);
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
