// The rules of the Windows program (run through Wine): CR LF line ends, the
// CXL file read as bytes, UTF-8 names, and names Windows cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace fs = std::filesystem;
using cxltest::readFile;
using cxltest::readPage;
using cxltest::runProgram;
using cxltest::TempDir;

namespace {

using cxltest::kPause;

#define WINDOWS_ONLY()                                                                               \
    if (!cxltest::programEndsLinesWithCrLf()) GTEST_SKIP() << "the program under test is not the Windows one"

struct Pages {
    int exitCode;
    std::string err;
    std::string graphic;
    std::string description;
};

// Converts `bytes` as mc.cxl with the unit T1.
Pages convert(const std::string& bytes) {
    TempDir dir;
    cxltest::writeFile(dir / "mc.cxl", bytes);
    const auto result = runProgram(dir.path(), cxltest::withInput("\nT1\n\n"));
    Pages pages{result.exitCode, result.err, {}, {}};
    if (fs::exists(dir / "T1_Desc.html")) {
        pages.graphic = readPage(dir / "T1_MapaConceptual.html");
        pages.description = readPage(dir / "T1_Desc.html");
    }
    return pages;
}

// One map in UTF-8 and in UTF-16, with К Ě Ț and characters beyond the BMP.
#define CXL2XHTML_MAP(prefix)                                                                              \
    prefix ## "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<cmap><map>\n"                                       \
    prefix ## "<concept id=\"a\" label=\"uno\ndos \u041A\u011A\u021A \U0001F3FF \U0010FFFF\"/>\n"                \
    prefix ## "<concept id=\"b\" label=\"tres\"/>\n<linking-phrase id=\"p\" label=\"lleva a\"/>\n"             \
    prefix ## "<connection from-id=\"a\" to-id=\"p\"/>\n<connection from-id=\"p\" to-id=\"b\"/>\n"           \
    prefix ## "</map></cmap>\n"
const std::string kMap = CXL2XHTML_MAP();
const std::u16string kWideMap = CXL2XHTML_MAP(u);

std::string withCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

TEST(WindowsRules, CxlFileIsReadAsBytesWithItsLineEndsJoined) {
    WINDOWS_ONLY();
    const Pages plain = convert(kMap);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_NE(plain.description.find("<strong>uno dos \xD0\x9A\xC4\x9A\xC8\x9A"), std::string::npos);
    // CR LF line ends, also inside a label, reach the parser as line feeds.
    const Pages crlf = convert(withCrLf(kMap));
    EXPECT_EQ(crlf.description, plain.description);
    // UTF-16 is decoded by code units, never byte by byte.
    for (const bool bigEndian : {false, true}) {
        const Pages wide = convert(cxltest::withUtf16Mark(kWideMap, bigEndian));
        EXPECT_EQ(wide.exitCode, 0) << wide.err;
        EXPECT_EQ(wide.description, plain.description) << bigEndian;
    }
    // A byte 0x1A does not end the file: it is a character XML forbids.
    std::string withEof = kMap;
    withEof.insert(withEof.find("tres"), "\x1A");
    const Pages eof = convert(withEof);
    EXPECT_EQ(eof.exitCode, 1);
    EXPECT_EQ(eof.err, "ERROR: El fichero \"mc.cxl\" no es un documento XML valido.\n" + kPause);
}

TEST(WindowsRules, AnswersEndingInCrLfAndNamesInUtf8) {
    WINDOWS_ONLY();
    TempDir dir;
    const std::string file = "Biolog\xC3\xAD" "a.cxl";
    const std::string unit = "Biolog\xC3\xAD" "a 1";
    cxltest::writeFile(dir / file, kMap);
    const auto result = runProgram(dir.path(), cxltest::withInput(file + "\r\n" + unit + "\r\n\r\n"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("   \"" + unit + "_Desc.html\"\n"), std::string::npos);
    EXPECT_NE(readPage(dir / (unit + "_Desc.html")).find("<title>Descripci&oacute;n del mapa conceptual de " + unit),
              std::string::npos);
    EXPECT_TRUE(fs::exists(dir / (unit + "_MapaConceptual.html")));
}

TEST(WindowsRules, NamesWindowsCannotHoldAreNeverCreated) {
    WINDOWS_ONLY();
    for (const std::string unit : {"SIG:01", "T*1", "temas./T1", "CON/T1", "temas/con.txt/T1", "a|b"}) {
        SCOPED_TRACE(unit);
        TempDir dir;
        fs::create_directory(dir / "temas.");
        fs::create_directory(dir / "temas");
        cxltest::writeFile(dir / "mc.cxl", kMap);
        const auto result = runProgram(dir.path(), cxltest::withInput("\n" + unit + "\n\n"));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "No se puede crear el fichero \"" + unit + "_MapaConceptual.html\"\n" + kPause);
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) files += entry.is_regular_file();
        EXPECT_EQ(files, 1U);  // the map alone
    }
    // A drive letter at the start is a plain path, and so is the backslash.
    TempDir dir;
    fs::create_directory(dir / "temas");
    cxltest::writeFile(dir / "mc.cxl", kMap);
    std::string windowsFolder = "Z:" + dir.path().string();
    for (char& c : windowsFolder) c = c == '/' ? '\\' : c;
    const std::string unit = windowsFolder + "\\temas\\T1";
    const auto result = runProgram(dir.path(), cxltest::withInput("\n" + unit + "\n\n"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(dir / "temas" / "T1_Desc.html"));
    EXPECT_NE(readPage(dir / "temas" / "T1_MapaConceptual.html").find("longdesc=\"T1_Desc.html\""), std::string::npos);
}
