// Creation of the pages: never overwrite, never leave a page behind on a
// stop, and report what could not be created or written.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_support.hpp"

namespace fs = std::filesystem;
using cxltest::readFile;
using cxltest::RunOptions;
using cxltest::runProgram;
using cxltest::TempDir;

namespace {

using cxltest::kPause;

// Every entry of a folder with its bytes and modification time.
std::map<std::string, std::pair<std::string, long long>> snapshot(const fs::path& dir) {
    std::map<std::string, std::pair<std::string, long long>> entries;
    for (const auto& entry : fs::directory_iterator(dir)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        const long long mtime = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
        entries[entry.path().filename().string()] = {
            entry.is_symlink() ? std::string("link") : readFile(entry.path()), mtime};
    }
    return entries;
}

void prepareMap(const TempDir& dir) {
    cxltest::writeFile(dir / "mc.cxl", readFile(cxltest::sourceDir() / "tests/data/living-beings.cxl"));
}

}  // namespace

TEST(ExistingPages, RefusedBeforeAnythingIsCreated) {
    struct Case {
        std::vector<std::string> existing;
        std::string named;
    };
    for (const Case& c : {Case{{"SIGXX_MapaConceptual.html"}, "SIGXX_MapaConceptual.html"},
                          Case{{"SIGXX_Desc.html"}, "SIGXX_Desc.html"},
                          Case{{"SIGXX_MapaConceptual.html", "SIGXX_Desc.html"}, "SIGXX_MapaConceptual.html"}}) {
        TempDir dir;
        prepareMap(dir);
        for (const std::string& name : c.existing) cxltest::writeFile(dir / name, "keep " + name);
        const auto before = snapshot(dir.path());
        const auto result = runProgram(dir.path(), cxltest::withInput("\n\n\n"));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "Ya existe el fichero \"" + c.named + "\"\n" + kPause);
        EXPECT_EQ(result.out.find("La salidas"), std::string::npos);
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

TEST(ExistingPages, DanglingLinkIsNeverFollowed) {
    if (cxltest::programEndsLinesWithCrLf()) {
        GTEST_SKIP() << "Windows programs see no symbolic links; Wine follows Unix ones as files";
    }
    // Passes the read test, so only exclusive creation can catch it.
    for (const std::string name : {"SIGXX_MapaConceptual.html", "SIGXX_Desc.html"}) {
        TempDir dir;
        prepareMap(dir);
        fs::create_symlink(dir / "elsewhere.html", dir / name);
        const auto before = snapshot(dir.path());
        const auto result = runProgram(dir.path(), cxltest::withInput("\n\n\n"));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "Ya existe el fichero \"" + name + "\"\n" + kPause);
        EXPECT_FALSE(fs::exists(dir / "elsewhere.html"));
        EXPECT_EQ(snapshot(dir.path()), before);  // the graphic page made first is gone again
    }
}

TEST(ExistingPages, NamedPipeIsRefusedWithoutWaiting) {
    TempDir dir;
    prepareMap(dir);
    ASSERT_EQ(::mkfifo((dir / "SIGXX_Desc.html").c_str(), 0600), 0);
    const auto result = runProgram(dir.path(), cxltest::withInput("\n\n\n"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Ya existe el fichero \"SIGXX_Desc.html\"\n" + kPause);
    EXPECT_FALSE(fs::exists(dir / "SIGXX_MapaConceptual.html"));
}

TEST(ExistingPages, UnreadablePageIsNotEmptied) {
    TempDir dir;
    prepareMap(dir);
    cxltest::writeFile(dir / "SIGXX_Desc.html", "mine");
    ::chmod((dir / "SIGXX_Desc.html").c_str(), 0);
    const auto result = runProgram(dir.path(), cxltest::withInput("\n\n\n"));
    ::chmod((dir / "SIGXX_Desc.html").c_str(), 0600);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Ya existe el fichero \"SIGXX_Desc.html\"\n" + kPause);
    EXPECT_EQ(readFile(dir / "SIGXX_Desc.html"), "mine");
    EXPECT_FALSE(fs::exists(dir / "SIGXX_MapaConceptual.html"));
}

TEST(CreatePages, NamesWithSpacesAndMarkupKeepTheirBytes) {
    TempDir dir;
    prepareMap(dir);
    // Windows holds no file name with < > " or ?: such a unit gives D5 there.
    const std::string unit = cxltest::programEndsLinesWithCrLf() ? "Tema 1 & dos 3 #%" : "Tema 1 & <dos> \"3\" #?%";
    const auto result = runProgram(dir.path(), cxltest::withInput("\n" + unit + "\n\n"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(dir / (unit + "_MapaConceptual.html")));
    EXPECT_TRUE(fs::exists(dir / (unit + "_Desc.html")));
}

TEST(CreatePages, PageThatCannotBeCreatedLeavesNothing) {
    struct Case {
        std::string unit;
        std::string named;
    };
    const std::string tooLong(300, 'n');  // longer than a file name may be
    for (const Case& c : {Case{"no/such/folder", "no/such/folder_MapaConceptual.html"},
                          Case{tooLong, tooLong + "_MapaConceptual.html"}}) {
        TempDir dir;
        prepareMap(dir);
        const auto before = snapshot(dir.path());
        const auto result = runProgram(dir.path(), cxltest::withInput("\n" + c.unit + "\n\n"));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "No se puede crear el fichero \"" + c.named + "\"\n" + kPause);
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

TEST(CreatePages, FolderWithoutWriteRights) {
    // Root writes anywhere: as root the program runs as nobody, in a folder
    // that only root may write; otherwise the folder is made read-only.
    if (cxltest::programEndsLinesWithCrLf()) {
        GTEST_SKIP() << "Wine runs a prefix for its owner only, and Unix rights are not Windows rights";
    }
    TempDir dir;
    prepareMap(dir);
    RunOptions options = cxltest::withInput("\n\n\n");
    options.asNobody = ::geteuid() == 0;
    if (!options.asNobody) ::chmod(dir.path().c_str(), 0555);
    const auto result = runProgram(dir.path(), options);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "No se puede crear el fichero \"SIGXX_MapaConceptual.html\"\n" + kPause);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

TEST(WritePages, FullDiskLeavesNoPage) {
    // The graphic page fits in 800 bytes, the description page does not.
    for (const long limit : {0L, 800L}) {
        TempDir dir;
        prepareMap(dir);
        const auto before = snapshot(dir.path());
        RunOptions options = cxltest::withInput("\n\n\n");
        options.fileSizeLimit = limit;
        const auto result = runProgram(dir.path(), options);
        EXPECT_EQ(result.exitCode, 1);
        const std::string failed = limit == 0 ? "SIGXX_MapaConceptual.html" : "SIGXX_Desc.html";
        EXPECT_EQ(result.err, "No se puede escribir el fichero \"" + failed + "\"\n" + kPause);
        EXPECT_EQ(result.out.find("Salida generada."), std::string::npos);
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

TEST(WritePages, FailedCloseLeavesNoPage) {
    // The last word of a write can come with the close (a network share).
    if (cxltest::programEndsLinesWithCrLf()) GTEST_SKIP() << "a preloaded close() reaches no Windows program";
    TempDir dir;
    prepareMap(dir);
    RunOptions options = cxltest::withInput("\n\n\n");
    options.failingClose = true;
    const auto result = runProgram(dir.path(), options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "No se puede escribir el fichero \"SIGXX_MapaConceptual.html\"\n" + kPause);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}
