// Steps of the publication that no run of the program can reach on demand:
// a failing stream, a name taken meanwhile, a file system without unnamed
// files. Interruptions and full disks of whole runs are in tests/data/runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "driver/output_files.hpp"
#include "driver/platform.hpp"
#include "driver/run_files.hpp"
#include "map/loader.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "support/support.hpp"

namespace fs = std::filesystem;
using cxltest::readFile;
using cxltest::TempDir;

// A stream that takes `room` bytes and counts what is tried after that.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::size_t room) : room_(room) {}
    std::size_t triedAfterFailure = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        if (failed_) ++triedAfterFailure;
        const auto size = static_cast<std::size_t>(n);
        if (size > room_) {
            failed_ = true;
            room_ = 0;
            return 0;
        }
        room_ -= size;
        return n;
    }
    int_type overflow(int_type c) override {
        return xsputn(nullptr, 1) == 1 ? c : traits_type::eof();
    }

private:
    std::size_t room_;
    bool failed_ = false;
};

TEST(FullDisk, NothingIsWrittenAfterTheFirstFailure) {
    cxl::ConceptMap map;
    ASSERT_EQ(cxltest::loadBytes(readFile(cxltest::sourceDir() / "examples/mapa.cxl"), map), cxl::LoadStatus::Loaded);
    for (const std::size_t room : {0UL, 10UL, 700UL, 900UL, 1100UL}) {
        FailingBuffer buffer(room);
        std::ostream out(&buffer);
        cxl::writeDescriptionPage(out, cxl::unitNameFor("SIGXX", "/"), map);
        EXPECT_TRUE(out.bad()) << room;
        EXPECT_EQ(buffer.triedAfterFailure, 0U) << room;
    }
}

// Another program takes a page's name after the existence tests: the run
// fails, and once the stop has removed this run's files the other file is
// all there is, as it was.
TEST(Publication, NameTakenMeanwhileIsNeverReplaced) {
    for (const std::string taken : {"SIGXX_MapaConceptual.html", "SIGXX_Desc.html"}) {
        TempDir dir;
        std::ostringstream listing;
        auto files = cxl::openOutputFiles((dir / "SIGXX").string(), listing);
        ASSERT_FALSE(files.failed());
        cxl::writeGraphicPage(files.value().graphicPage->stream(), cxl::unitNameFor("SIGXX", "/"));
        cxltest::writeFile(dir / taken, "someone else's");
        const cxl::Status published = cxl::publishOutputFiles(files.value());
        ASSERT_TRUE(published.has_value());
        EXPECT_EQ(published->problem, cxl::Problem::PageExists);
        EXPECT_EQ(published->name, (dir / taken).string());
        cxl::removeRunFiles();
        EXPECT_EQ(cxltest::listing(dir.path()), std::vector<std::string>{taken});
        EXPECT_EQ(readFile(dir / taken), "someone else's");
    }
}

// Where a file system has no unnamed files, a page is written under a hidden
// name that fits wherever the page's name fits, and that name is this run's
// to remove.
TEST(Publication, HiddenNameWhereFilesCannotBeUnnamed) {
    TempDir dir;
    const std::string page = (dir / "T_Desc.html").string();
    cxl::host::PageDraft draft;
    ASSERT_EQ(cxl::host::createDraft(page, draft, false), cxl::host::PageResult::Done);
    EXPECT_LT(draft.tempPath.size(), page.size());
    EXPECT_TRUE(fs::exists(draft.tempPath));
    cxl::removeRunFiles();
    EXPECT_TRUE(cxltest::listing(dir.path()).empty());

    ASSERT_EQ(cxl::host::createDraft(page, draft, false), cxl::host::PageResult::Done);
    ASSERT_TRUE(cxl::host::writeAll(draft.fd, "page", 4));
    ASSERT_TRUE(cxl::host::finishDraft(draft));
    EXPECT_EQ(cxl::host::publishDraft(draft, page), cxl::host::PageResult::Done);
    EXPECT_EQ(cxltest::listing(dir.path()), std::vector<std::string>{"T_Desc.html"});
    EXPECT_EQ(readFile(page), "page");
    cxl::keepRunFiles();

    cxl::host::PageDraft second;
    ASSERT_EQ(cxl::host::createDraft(page, second, false), cxl::host::PageResult::Done);
    ASSERT_TRUE(cxl::host::finishDraft(second));
    EXPECT_EQ(cxl::host::publishDraft(second, page), cxl::host::PageResult::Exists);
    cxl::host::discardDraft(second);
    EXPECT_EQ(cxltest::listing(dir.path()), std::vector<std::string>{"T_Desc.html"});
    EXPECT_EQ(readFile(page), "page");
}
