// Pathological maps through the whole program: correct pages, or a clear
// message, exit 1 and no page left behind.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace fs = std::filesystem;
using cxltest::readFile;
using cxltest::RunOptions;
using cxltest::runProgram;
using cxltest::TempDir;

namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string kNotXml = "ERROR: El fichero \"mc.cxl\" no es un documento XML valido.\n" + cxltest::kPause;

struct Outcome {
    cxltest::RunResult result;
    bool graphic;
    bool description;
    std::string page;
};

Outcome convert(const std::string& bytes) {
    TempDir dir;
    cxltest::writeFile(dir / "mc.cxl", bytes);
    Outcome outcome{runProgram(dir.path(), cxltest::withInput("\n\n\n")),
                    fs::exists(dir / "SIGXX_MapaConceptual.html"), fs::exists(dir / "SIGXX_Desc.html"), {}};
    if (outcome.description) {
        outcome.page = cxltest::readPage(dir / "SIGXX_Desc.html");
        const std::string errors = cxltest::xhtmlErrors(dir / "SIGXX_Desc.html");
        EXPECT_EQ(errors.substr(0, 2000), "");
    }
    return outcome;
}

void expectRefused(const Outcome& outcome, const std::string& message) {
    EXPECT_EQ(outcome.result.exitCode, 1);
    ASSERT_GE(outcome.result.err.size(), message.size());
    EXPECT_EQ(outcome.result.err.substr(outcome.result.err.size() - message.size()), message);
    EXPECT_FALSE(outcome.graphic);
    EXPECT_FALSE(outcome.description);
}

}  // namespace

TEST(HostileInput, TenMegabyteLabel) {
    const std::string label(10 * 1024 * 1024, 'x');
    const Outcome outcome = convert(kHead + "<cmap><concept id=\"a\" label=\"" + label + "\"/></cmap>");
    ASSERT_EQ(outcome.result.exitCode, 0);
    EXPECT_NE(outcome.page.find("<li><strong>" + label + "</strong>\n"), std::string::npos);
}

TEST(HostileInput, HundredThousandNestedElementsAroundAConcept) {
    const int depth = 100000;
    std::string open;
    std::string close;
    for (int i = 0; i < depth; ++i) {
        open += "<g>";
        close += "</g>";
    }
    const Outcome outcome =
        convert(kHead + "<cmap>" + open + "<concept id=\"a\" label=\"Hondo\"/>" + close + "</cmap>");
    ASSERT_EQ(outcome.result.exitCode, 0) << outcome.result.err;
    EXPECT_NE(outcome.page.find("<li><strong>Hondo</strong>\n"), std::string::npos);
}

TEST(HostileInput, TenThousandAttributesOnOneElement) {
    std::string attributes;
    for (int i = 0; i < 10000; ++i) attributes += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    const Outcome outcome = convert(kHead + "<cmap><concept" + attributes + " id=\"a\" label=\"Muchos\"/>" +
                                    "<concept-appearance" + attributes + " id=\"a\" x=\"7\"/></cmap>");
    ASSERT_EQ(outcome.result.exitCode, 0) << outcome.result.err;
    EXPECT_NE(outcome.page.find("<li><strong>Muchos</strong>\n"), std::string::npos);
}

TEST(HostileInput, MillionConnectionsToMissingNodes) {
    std::string connections;
    connections.reserve(40 * 1000000);
    for (int i = 0; i < 1000000; ++i) connections += "<connection from-id=\"a\" to-id=\"m\"/>";
    const Outcome outcome = convert(kHead + "<cmap><concept id=\"a\" label=\"A\"/>" + connections + "</cmap>");
    expectRefused(outcome, "ERROR: No se ha encontrado un nodo.\n" + cxltest::kPause);
    EXPECT_EQ(outcome.result.err.find("ERROR"), outcome.result.err.rfind("ERROR"));  // reported once
}

TEST(HostileInput, BytesThatAreNotXmlCharacters) {
    using namespace std::string_literals;
    for (const std::string& bytes : {
             kHead + "<cmap><concept id=\"a\" label=\"caf\xE9\"/></cmap>",   // Latin-1, not UTF-8
             kHead + "<cmap><concept id=\"a\" label=\"a\0b\"/></cmap>"s,     // NUL
             "<\0?\0x\0m\0l\0 \0v\0e\0r\0s\0i\0o\0n\0=\0\"\0\x31\0.\0\x30\0\"\0?\0>\0"
             "<\0c\0m\0a\0p\0/\0>\0"s,                                          // UTF-16 without mark
         }) {
        expectRefused(convert(bytes), kNotXml);
    }
}
