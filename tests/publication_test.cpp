// Steps of the output files that no run reaches on demand, as values: a
// page that fails at once stops its writer, a name taken meanwhile is never
// replaced, and a hidden draft where a file system has no unnamed files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>

#include "driver/output_files.hpp"
#include "driver/run_files.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "support/support.hpp"

using namespace cxltest;

namespace {

// A stream that takes `room` bytes and counts what is tried after that.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::size_t room) : room_(room) {}
    int triedAfterFailure = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        triedAfterFailure += failed_ ? 1 : 0;
        failed_ = failed_ || static_cast<std::size_t>(n) > room_;
        room_ -= failed_ ? room_ : static_cast<std::size_t>(n);
        return failed_ ? 0 : n;
    }
    int_type overflow(int_type c) override { return xsputn(nullptr, 1) == 1 ? c : traits_type::eof(); }

private:
    std::size_t room_;
    bool failed_ = false;
};

}  // namespace

TEST(Publication, NothingIsWrittenAfterTheFirstFailure) {
    cxl::ConceptMap map;
    ASSERT_EQ(loadBytes(readFile(sourceDir() / "examples/mapa.cxl"), map), cxl::LoadStatus::Loaded);
    for (const std::size_t room : {0UL, 10UL, 700UL, 900UL, 1100UL}) {
        FailingBuffer buffer(room);
        std::ostream out(&buffer);
        cxl::writeDescriptionPage(out, cxl::unitNameFor("SIGXX", "/"), map);
        EXPECT_TRUE(out.bad()) << room;
        EXPECT_EQ(buffer.triedAfterFailure, 0) << room;
    }
}

// The run fails, and once the stop has removed this run's files the other
// program's file is all there is, as it was.
TEST(Publication, NameTakenMeanwhileIsNeverReplaced) {
    for (const std::string taken : {"SIGXX_MapaConceptual.html", "SIGXX_Desc.html"}) {
        TempDir dir;
        std::ostringstream out;
        auto files = cxl::openOutputFiles((dir / "SIGXX").string(), out);
        ASSERT_FALSE(files.failed());
        writeFile(dir / taken, "someone else's");
        const cxl::Status published = cxl::publishOutputFiles(files.value());
        ASSERT_TRUE(published.has_value());
        EXPECT_EQ(published->problem, cxl::Problem::PageExists);
        EXPECT_EQ(published->name, (dir / taken).string());
        cxl::removeRunFiles();
        EXPECT_EQ(listing(dir.path()), std::vector<std::string>{taken});
        EXPECT_EQ(readFile(dir / taken), "someone else's");
    }
}

// A hidden name that fits wherever the page's fits, with the rights a page
// made in place would have, this run's to remove, named without replacing.
TEST(Publication, HiddenDraftWhereFilesCannotBeUnnamed) {
    TempDir dir;
    const std::string page = (dir / "T_Desc.html").string();
    ::umask(002);
    cxl::host::prepareProcess();
    cxl::host::PageDraft draft;
    ASSERT_EQ(cxl::host::createDraft(page, draft, false), cxl::host::PageResult::Done);
    struct stat info {};
    ASSERT_EQ(::fstat(draft.fd, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0664U);
    EXPECT_LT(draft.tempPath.size(), page.size());
    cxl::removeRunFiles();
    EXPECT_TRUE(listing(dir.path()).empty());

    for (const auto expected : {cxl::host::PageResult::Done, cxl::host::PageResult::Exists}) {
        ASSERT_EQ(cxl::host::createDraft(page, draft, false), cxl::host::PageResult::Done);
        ASSERT_TRUE(cxl::host::writeAll(draft.fd, "page", 4) && cxl::host::finishDraft(draft));
        EXPECT_EQ(cxl::host::publishDraft(draft, page), expected);
        cxl::host::discardDraft(draft);
        cxl::keepRunFiles();
        EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"T_Desc.html"});
        EXPECT_EQ(readFile(page), "page");
    }
}
