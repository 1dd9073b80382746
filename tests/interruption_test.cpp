// Pages appear whole or not at all: interruptions, a closed standard output,
// a full disk, a name taken meanwhile, pipes and unreadable files.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <sstream>
#include <string>
#include <thread>

#include "driver/output_files.hpp"
#include "driver/platform.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "support/test_support.hpp"

namespace fs = std::filesystem;
using cxltest::readFile;
using cxltest::RunOptions;
using cxltest::runProgram;
using cxltest::TempDir;

namespace {

using cxltest::kPause;

// A chain of concepts, each one level deeper: the outline grows with the
// square of its length (about 8 bytes times the length squared).
std::string chainMap(int length) {
    std::string map = "<?xml version=\"1.0\"?>\n<cmap><map>\n";
    for (int i = 0; i <= length; ++i) {
        map += "<concept id=\"c" + std::to_string(i) + "\" label=\"C" + std::to_string(i) + "\"/>\n";
        map += "<linking-phrase id=\"p" + std::to_string(i) + "\" label=\"p\"/>\n";
    }
    for (int i = 0; i < length; ++i) {
        map += "<connection from-id=\"c" + std::to_string(i) + "\" to-id=\"p" + std::to_string(i) + "\"/>\n";
        map += "<connection from-id=\"p" + std::to_string(i) + "\" to-id=\"c" + std::to_string(i + 1) + "\"/>\n";
    }
    return map + "</map></cmap>\n";
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The pages of an undisturbed run of the example map.
std::pair<std::string, std::string> referencePages() {
    TempDir dir;
    cxltest::writeFile(dir / "mc.cxl", readFile(cxltest::sourceDir() / "examples/mapa.cxl"));
    const auto result = runProgram(dir.path(), cxltest::withInput("\nT1\n\n"));
    EXPECT_EQ(result.exitCode, 0);
    return {cxltest::readPage(dir / "T1_MapaConceptual.html"), cxltest::readPage(dir / "T1_Desc.html")};
}

}  // namespace

TEST(ClosedOutput, PagesAreCompletedWhateverIsReadOfTheListing) {
    const auto reference = referencePages();
    for (const std::size_t bytes : {0UL, 100UL, 143UL, 200UL}) {
        SCOPED_TRACE(bytes);
        TempDir dir;
        cxltest::writeFile(dir / "mc.cxl", readFile(cxltest::sourceDir() / "examples/mapa.cxl"));
        RunOptions options = cxltest::withInput("mc.cxl\nT1\n\n");
        options.outputLimit = bytes;
        const auto result = runProgram(dir.path(), options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(cxltest::readPage(dir / "T1_MapaConceptual.html"), reference.first);
        EXPECT_EQ(cxltest::readPage(dir / "T1_Desc.html"), reference.second);
        EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"T1_Desc.html", "T1_MapaConceptual.html", "mc.cxl"}));
    }
}

TEST(Interruptions, WhileWritingLeaveNothingAndEndByTheSignal) {
    const std::string map = chainMap(4000);  // about 130 MB of outline
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir dir;
        cxltest::writeFile(dir / "mc.cxl", map);
        cxltest::Child child(dir.path(), cxltest::withInput("\n\n"), true);
        // The pages are listed once both are begun, right before the writing.
        ASSERT_TRUE(child.waitForOutput("_Desc.html\"\n"));
        ::kill(child.pid(), signal);
        const auto result = child.finish();
        EXPECT_EQ(result.exitCode, 128 + signal) << result.err;
        EXPECT_EQ(result.out.find("Salida generada."), std::string::npos);
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"mc.cxl"});
    }
}

TEST(Interruptions, AtTheFinalPauseKeepThePages) {
    const auto reference = referencePages();
    TempDir dir;
    cxltest::writeFile(dir / "mc.cxl", readFile(cxltest::sourceDir() / "examples/mapa.cxl"));
    cxltest::Child child(dir.path(), cxltest::withInput("\nT1\n"), true);
    ASSERT_TRUE(child.waitForOutput("Salida generada.\n" + kPause));
    EXPECT_TRUE(child.stillRunning());  // waiting for a key
    ::kill(child.pid(), SIGINT);
    const auto result = child.finish();
    EXPECT_EQ(result.exitCode, 128 + SIGINT);
    EXPECT_EQ(cxltest::readPage(dir / "T1_MapaConceptual.html"), reference.first);
    EXPECT_EQ(cxltest::readPage(dir / "T1_Desc.html"), reference.second);
}

TEST(FullDisk, HugeOutlineStopsAtTheFirstFailedWrite) {
    TempDir dir;
    cxltest::writeFile(dir / "mc.cxl", chainMap(6000));  // about 290 MB of outline
    RunOptions options = cxltest::withInput("\n\n\n");
    options.fileSizeLimit = 1 << 20;
    const auto result = runProgram(dir.path(), options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "No se puede escribir el fichero \"SIGXX_Desc.html\"\n" + kPause);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"mc.cxl"});
}

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
    cxltest::buildSharedBelowTwoRoots(map);
    for (const std::size_t room : {0UL, 10UL, 700UL, 900UL, 1100UL}) {
        FailingBuffer buffer(room);
        std::ostream out(&buffer);
        cxl::writeDescriptionPage(out, cxl::unitNameFor("SIGXX", "/"), map);
        EXPECT_TRUE(out.bad()) << room;
        EXPECT_EQ(buffer.triedAfterFailure, 0U) << room;
    }
}

TEST(Publication, PermissionsFollowTheCreationMask) {
    for (const unsigned mask : {022U, 077U}) {
        TempDir dir;
        cxltest::writeFile(dir / "mc.cxl", readFile(cxltest::sourceDir() / "examples/mapa.cxl"));
        RunOptions options = cxltest::withInput("\n\n\n");
        options.umask = mask;
        ASSERT_EQ(runProgram(dir.path(), options).exitCode, 0);
        for (const char* page : {"SIGXX_MapaConceptual.html", "SIGXX_Desc.html"}) {
            struct stat info {};
            ASSERT_EQ(::stat((dir / page).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << page;
        }
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
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{taken});
        EXPECT_EQ(readFile(dir / taken), "someone else's");
    }
}

TEST(UnreadableCxlFile, SaysItCannotBeRead) {
    TempDir dir;
    const auto result = runProgram(dir.path(), cxltest::withInput("/proc/self/mem\n\n"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "ERROR: No se puede leer el fichero \"/proc/self/mem\"\n" + kPause);
    EXPECT_TRUE(entries(dir.path()).empty());
}

// A named pipe is read once, checked as it arrives, and never copied.
TEST(PipedCxlFile, ReadOnceAndRefusedAtTheFirstBadByte) {
    const auto reference = referencePages();
    const std::string valid = readFile(cxltest::sourceDir() / "examples/mapa.cxl");
    struct Case {
        std::string name;
        std::string bytes;
        std::size_t repeat;
        int exitCode;
    };
    for (const Case& c : {Case{"zeros", std::string(1 << 20, '\0'), 1024, 1},
                          Case{"latin1", "<?xml version=\"1.0\"?><cmap label=\"\xED\"/>", 1, 1},
                          Case{"valid", valid, 1, 0}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_EQ(::mkfifo((dir / "tubo").c_str(), 0600), 0);
        std::size_t written = 0;
        std::thread writer([&] {
            const int fd = ::open((dir / "tubo").c_str(), O_WRONLY);
            for (std::size_t i = 0; i < c.repeat && fd >= 0; ++i) {
                const ssize_t n = ::write(fd, c.bytes.data(), c.bytes.size());
                if (n <= 0) break;
                written += static_cast<std::size_t>(n);
            }
            ::close(fd);
        });
        ::signal(SIGPIPE, SIG_IGN);
        const auto result = runProgram(dir.path(), cxltest::withInput("tubo\nT1\n\n"));
        writer.join();
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (c.exitCode == 0) {
            EXPECT_EQ(cxltest::readPage(dir / "T1_MapaConceptual.html"), reference.first);
            EXPECT_EQ(cxltest::readPage(dir / "T1_Desc.html"), reference.second);
        } else {
            EXPECT_EQ(result.err, "ERROR: El fichero \"tubo\" no es un documento XML valido.\n" + kPause);
            EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"tubo"});
            EXPECT_LE(written, std::size_t{2} << 20);  // of a gigabyte offered
        }
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
    EXPECT_TRUE(entries(dir.path()).empty());

    cxl::host::PageDraft draft;
    ASSERT_TRUE(cxl::host::createDraft(page, draft, false));
    ASSERT_TRUE(cxl::host::writeAll(draft.fd, "page", 4));
    ASSERT_TRUE(cxl::host::finishDraft(draft));
    EXPECT_EQ(cxl::host::publishDraft(draft, page), cxl::host::Publication::Named);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"T_Desc.html"});
    EXPECT_EQ(readFile(page), "page");
    cxl::host::keepRunFiles();

    cxl::host::PageDraft second;
    ASSERT_TRUE(cxl::host::createDraft(page, second, false));
    ASSERT_TRUE(cxl::host::finishDraft(second));
    EXPECT_EQ(cxl::host::publishDraft(second, page), cxl::host::Publication::Exists);
    cxl::host::discardDraft(second);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"T_Desc.html"});
    EXPECT_EQ(readFile(page), "page");
}
