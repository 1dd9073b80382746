// The parser itself runs out of memory on a long label: under a ladder of
// address-space limits each run converts the whole map, or stops with the
// parser's reason, then "Memoria insuficiente." and nothing left.
#include <gtest/gtest.h>

#include "support/support.hpp"

TEST(OutOfMemory, ParserThatCannotAllocateIsNeverTrusted) {
    if (&__asan_init != nullptr) GTEST_SKIP() << "the address sanitizer cannot start under an address-space limit";
    cxltest::TempDir dir;
    const std::string label(24 << 20, 'x');
    cxltest::writeFile(dir / "mc.cxl", "<?xml version=\"1.0\"?>\n<cmap><concept id=\"a\" label=\"" + label + "\"/><concept id=\"b\" label=\"Otro\"/></cmap>\n");
    bool parserReported = false;
    cxltest::RunResult result;
    for (long megabytes = 24; megabytes <= 160 && result.exitCode != 0; megabytes += 8) {
        cxltest::RunOptions options;
        options.addressSpaceLimit = megabytes << 20;
        result = cxltest::Child(dir.path(), options).finish();
        EXPECT_EQ(std::filesystem::exists(dir / "SIGXX_Desc.html"), result.exitCode == 0) << megabytes;
        if (result.exitCode == 0) break;
        parserReported = parserReported || result.err.starts_with("mxml: Unable to");
        EXPECT_TRUE(result.err.ends_with("ERROR: Memoria insuficiente.\n" + cxltest::kPause)) << result.err;
    }
    EXPECT_TRUE(parserReported);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(cxltest::readFile(dir / "SIGXX_Desc.html").find(label + "</strong>\n      </li>\n      <li><strong>Otro"), std::string::npos);
}
