// Steps of the publication that no run of the program can reach on demand:
// a failing stream, a name taken meanwhile, a file system without unnamed
// files. Interruptions and full disks of whole runs are in tests/data/runs.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "driver/output_files.hpp"
#include "driver/platform.hpp"
#include "map/loader.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "support/test_support.hpp"

namespace fs = std::filesystem;
using cxltest::readFile;
using cxltest::TempDir;

using cxltest::kPause;

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
    const auto example = cxltest::sourceDir() / "examples/mapa.cxl";
    ASSERT_EQ(cxl::loadMap(std::fopen(example.string().c_str(), "rb"), map), cxl::LoadStatus::Loaded);
    for (const std::size_t room : {0UL, 10UL, 700UL, 900UL, 1100UL}) {
        FailingBuffer buffer(room);
        std::ostream out(&buffer);
        cxl::writeDescriptionPage(out, cxl::unitNameFor("SIGXX", "/"), map);
        EXPECT_TRUE(out.bad()) << room;
        EXPECT_EQ(buffer.triedAfterFailure, 0U) << room;
    }
}

// The run's output steps, with another program taking a page's name after
// the existence tests.
void publishWhileTaken(const fs::path& dir, const std::string& taken) {
    if (::chdir(dir.c_str()) != 0) std::abort();
    std::istringstream in;
    std::ostringstream out;
    cxl::Console console{in, out, std::cerr};
    cxl::StopRoutine stop(console);
    cxl::OutputFiles files = cxl::openOutputFiles("SIGXX", console, stop);
    cxl::writeGraphicPage(files.graphicPage->stream(), cxl::unitNameFor("SIGXX", "/"));
    cxltest::writeFile(taken, "someone else's");
    cxl::publishOutputFiles(files, stop);
    std::exit(0);
}

// The run stops, the other file is kept and the page already named removed.
TEST(Publication, NameTakenMeanwhileIsNeverReplaced) {
    for (const std::string taken : {"SIGXX_MapaConceptual.html", "SIGXX_Desc.html"}) {
        TempDir dir;
        EXPECT_EXIT(publishWhileTaken(dir.path(), taken), testing::ExitedWithCode(1),
                    "^Ya existe el fichero \"" + taken + "\"\n" + kPause + "$");
        EXPECT_EQ(cxltest::listing(dir.path()), std::vector<std::string>{taken});
        EXPECT_EQ(readFile(dir / taken), "someone else's");
    }
}

// Where a file system has no unnamed files, a page is written under a hidden
// name that fits wherever the page's name fits, and that name is this run's
// to remove on an interruption.
void interruptNamedDraft(const std::string& page) {
    cxl::host::prepareProcess();
    cxl::host::PageDraft draft;
    if (!cxl::host::createDraft(page, draft, false)) std::exit(2);
    const std::string hidden = draft.tempPath;
    if (hidden.empty() || hidden.size() > page.size() || !fs::exists(hidden)) std::exit(3);
    ::raise(SIGTERM);
    std::exit(0);
}

TEST(Publication, HiddenNameWhereFilesCannotBeUnnamed) {
    TempDir dir;
    const std::string page = (dir / "T_Desc.html").string();
    EXPECT_EXIT(interruptNamedDraft(page), testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(cxltest::listing(dir.path()).empty());

    cxl::host::PageDraft draft;
    ASSERT_TRUE(cxl::host::createDraft(page, draft, false));
    ASSERT_TRUE(cxl::host::writeAll(draft.fd, "page", 4));
    ASSERT_TRUE(cxl::host::finishDraft(draft));
    EXPECT_EQ(cxl::host::publishDraft(draft, page), cxl::host::Publication::Named);
    EXPECT_EQ(cxltest::listing(dir.path()), std::vector<std::string>{"T_Desc.html"});
    EXPECT_EQ(readFile(page), "page");
    cxl::host::keepRunFiles();

    cxl::host::PageDraft second;
    ASSERT_TRUE(cxl::host::createDraft(page, second, false));
    ASSERT_TRUE(cxl::host::finishDraft(second));
    EXPECT_EQ(cxl::host::publishDraft(second, page), cxl::host::Publication::Exists);
    cxl::host::discardDraft(second);
    EXPECT_EQ(cxltest::listing(dir.path()), std::vector<std::string>{"T_Desc.html"});
    EXPECT_EQ(readFile(page), "page");
}
