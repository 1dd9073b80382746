// The program run as a process: options, dialogue, exit statuses and whole
// pages compared with checked-in expected files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/test_support.hpp"

using cxltest::readFile;
using cxltest::RunOptions;
using cxltest::runProgram;
using cxltest::sourceDir;
using cxltest::TempDir;

namespace {

const std::string kAskFile = "Introduce el nombre del fichero CXL del mapa conceptual (mc.cxl por defecto): ";
const std::string kAskUnit = "Introduce el nombre de la Unidad de Trabajo (SIGXX por defecto): ";
using cxltest::kPause;
const std::string kUsage = "Uso de " + cxltest::programName() + ":\nLeer el manual.";

std::string listing(const std::string& unit) {
    return "La salidas se guardaran en los ficheros:\n   \"" + unit + "_MapaConceptual.html\"\n   \"" +
           unit + "_Desc.html\"\n";
}

std::string completeRun(const std::string& unit) {
    return kAskFile + kAskUnit + listing(unit) + "Salida generada.\n" + kPause;
}

void copyMap(const std::string& name, const TempDir& dir, const std::string& as = "mc.cxl") {
    cxltest::writeFile(dir / as, readFile(sourceDir() / name));
}

}  // namespace

TEST(Options, NotesOnStandardErrorNeverChangeTheRun) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{"-?"}, kUsage},
        {{"/?"}, kUsage},
        {{"-?abc", "-?"}, kUsage + kUsage},  // the second note follows on the same line
        {{"-?", "x", "-y"}, kUsage},         // x ends option handling
        {{"-help", "/help", "-Help", "/HELP"}, kUsage + kUsage + kUsage + kUsage},
        {{"-h", "-helpme", "-hel", "--help", "-x", "-", "/"},
         "Opcion desconocida -h\nOpcion desconocida -helpme\nOpcion desconocida -hel\n"
         "Opcion desconocida --help\nOpcion desconocida -x\nOpcion desconocida -\nOpcion desconocida /\n"},
        {{"mapa.cxl", "-x"}, ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        copyMap("tests/data/living-beings.cxl", dir);
        RunOptions options = cxltest::withInput("\n\n\n");
        options.args = c.args;
        const auto result = runProgram(dir.path(), options);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, completeRun("SIGXX"));
        EXPECT_EQ(result.exitCode, 0);
    }
}

TEST(Dialogue, EndOfInputAtEachPromptGivesTheDefault) {
    for (const std::string input : {"", "\n", "\n\n", "mc.cxl", "mc.cxl\nSIGXX"}) {
        TempDir dir;
        copyMap("tests/data/living-beings.cxl", dir);
        const auto result = runProgram(dir.path(), cxltest::withInput(input));
        EXPECT_EQ(result.out, completeRun("SIGXX")) << "input [" << input << "]";
        EXPECT_EQ(result.exitCode, 0);
    }
    TempDir closed;  // standard input is /dev/null
    copyMap("tests/data/living-beings.cxl", closed);
    const auto result = runProgram(closed.path(), RunOptions{});
    EXPECT_EQ(result.out, completeRun("SIGXX"));
    EXPECT_EQ(result.exitCode, 0);
}

TEST(Dialogue, AnswersAreTakenByteForByte) {
    TempDir dir;
    copyMap("tests/data/living-beings.cxl", dir, " mapa con espacios.cxl");
    const auto result = runProgram(dir.path(), cxltest::withInput(" mapa con espacios.cxl\n \n"));
    EXPECT_EQ(result.out, completeRun(" "));
    EXPECT_TRUE(std::filesystem::exists(dir / " _Desc.html"));
}

TEST(Dialogue, AnswersEndAtAZeroByteOrAtTheEndOfInput) {
    using namespace std::string_literals;
    const struct {
        std::string input;
        std::string unit;
    } cases[] = {
        {"mc.cxl\0ignored\nBiolog\0ia\n"s, "Biolog"},
        {"\0mc.cxl\n\0T1\n"s, "SIGXX"},  // empty before the zero byte: the defaults
        {"mc.cxl\nT9"s, "T9"},             // a last line without a line feed
    };
    for (const auto& c : cases) {
        TempDir dir;
        copyMap("tests/data/living-beings.cxl", dir);
        const auto result = runProgram(dir.path(), cxltest::withInput(c.input));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, completeRun(c.unit));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
        EXPECT_EQ(cxltest::readPage(dir / (c.unit + "_Desc.html")).find('\0'), std::string::npos);
    }
}

TEST(Failures, FolderGivenAsTheCxlFileCannotBeRead) {
    TempDir dir;
    std::filesystem::create_directory(dir / "carpeta");
    const auto result = runProgram(dir.path(), cxltest::withInput("carpeta\n\n"));
    EXPECT_EQ(result.exitCode, 1);
    // A folder opens on Linux but cannot be read; on Windows it does not open.
    EXPECT_EQ(result.err, (cxltest::programEndsLinesWithCrLf() ? "No se encuentra el fichero \"carpeta\"\n"
                                                               : "ERROR: No se puede leer el fichero \"carpeta\"\n") +
                              kPause);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Dialogue, LongAnswersAreHeldWhole) {
    TempDir dir;
    const std::string longName(200, 'm');
    copyMap("tests/data/living-beings.cxl", dir, longName + ".cxl");
    const std::string unit(107, 'u');
    const auto result = runProgram(dir.path(), cxltest::withInput(longName + ".cxl\n" + unit + "\n"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, completeRun(unit));
    EXPECT_EQ((unit + "_MapaConceptual.html").size(), 127U);
    EXPECT_TRUE(std::filesystem::exists(dir / (unit + "_MapaConceptual.html")));
}

TEST(Failures, MissingCxlFileStopsBeforeTheSecondPrompt) {
    TempDir dir;
    const auto result = runProgram(dir.path(), cxltest::withInput("No Existe.cxl \n\n"));
    EXPECT_EQ(result.out, kAskFile);
    EXPECT_EQ(result.err, "No se encuentra el fichero \"No Existe.cxl \"\n" + kPause);
    EXPECT_EQ(result.exitCode, 1);

    const auto defaults = runProgram(dir.path(), RunOptions{});
    EXPECT_EQ(defaults.err, "No se encuentra el fichero \"mc.cxl\"\n" + kPause);
    EXPECT_EQ(defaults.exitCode, 1);
}

TEST(Failures, UnresolvedConnectionStopsWithoutPages) {
    TempDir dir;
    copyMap("tests/data/missing-node.cxl", dir);
    const auto result = runProgram(dir.path(), cxltest::withInput("\n\n\n"));
    EXPECT_EQ(result.out, kAskFile + kAskUnit);
    EXPECT_EQ(result.err, "ERROR: No se ha encontrado un nodo.\n" + kPause);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "SIGXX_MapaConceptual.html"));
    EXPECT_FALSE(std::filesystem::exists(dir / "SIGXX_Desc.html"));
}

TEST(Failures, DocumentsThatAreNotXml) {
    for (const std::string& bytes : {std::string(), std::string("<cmap><concept></cmap>")}) {
        TempDir dir;
        cxltest::writeFile(dir / "mc.cxl", bytes);
        const auto result = runProgram(dir.path(), RunOptions{});
        EXPECT_EQ(result.exitCode, 1);
        const std::string message = "ERROR: El fichero \"mc.cxl\" no es un documento XML valido.\n" + kPause;
        ASSERT_GE(result.err.size(), message.size());
        EXPECT_EQ(result.err.substr(result.err.size() - message.size()), message);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
}

// Whole pages against checked-in files. CXL2XHTML_UPDATE_GOLDEN=1 rewrites
// them instead of comparing; review the difference before committing.
TEST(Golden, WholePagesByteForByte) {
    struct Case {
        std::string map;
        std::string unit;
        std::string folder;
        bool windowsName = true;  // else Windows refuses it as a file name
    };
    const std::vector<Case> cases = {
        {"examples/mapa.cxl", "SIGXX", "example"},
        {"tests/data/living-beings.cxl", "SIGXX", "living-beings"},  // declares English
        {"tests/data/markup.cxl", "Tema & <1> #?%", "markup", false},
        {"tests/data/markup.cxl", "Tema & 1 #%", "markup-windows"},
        {"tests/data/empty-roots.cxl", "Vacio", "empty-roots"},
        {"tests/data/no-nodes.cxl", "SIGXX", "no-nodes"},
        // Bytes that a browser would drop or read as more than a file name,
        // and a Latin-1 byte typed through a pipe.
        {"tests/data/markup.cxl", "  SIG:01\\Biolog\xED" "a\t\x01#?%", "odd-unit", false},
        {"tests/data/living-beings.cxl", "temas/T1", "subfolder"},
    };
    const bool update = std::getenv("CXL2XHTML_UPDATE_GOLDEN") != nullptr;
    for (const Case& c : cases) {
        TempDir dir;
        copyMap(c.map, dir);
        std::filesystem::create_directory(dir / "temas");
        const auto result = runProgram(dir.path(), cxltest::withInput("\n" + c.unit + "\n\n"));
        if (cxltest::programEndsLinesWithCrLf() && !c.windowsName) {
            EXPECT_EQ(result.err, "No se puede crear el fichero \"" + c.unit + "_MapaConceptual.html\"\n" + kPause);
            continue;
        }
        ASSERT_EQ(result.exitCode, 0) << result.err;
        for (const std::string suffix : {"_MapaConceptual.html", "_Desc.html"}) {
            const auto produced = dir / (c.unit + suffix);
            const auto expected = sourceDir() / "tests/golden" / c.folder / ("page" + suffix);
            if (update) {
                std::filesystem::create_directories(expected.parent_path());
                cxltest::writeFile(expected, cxltest::readPage(produced));
                continue;
            }
            EXPECT_EQ(cxltest::readPage(produced), readFile(expected)) << c.folder << suffix;
            EXPECT_EQ(cxltest::xhtmlErrors(produced), "") << c.folder << suffix;
        }
    }
    if (update) GTEST_SKIP() << "golden pages rewritten, nothing compared";
}
