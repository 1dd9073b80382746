// Running out of memory: the message, exit status 1, no page of the run
// left, and never a map told in part.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <sstream>

#include "driver/run.hpp"
#include "support/support.hpp"

namespace {

std::atomic<bool> memoryExhausted{false};  // once set, every allocation fails

// Standard output that exhausts memory once the pages are listed, that is
// right after both page files were begun.
class ExhaustAfterListing : public std::stringbuf {
    int sync() override {
        if (!memoryExhausted && str().find("La salidas se guardaran") != std::string::npos) memoryExhausted = true;
        return 0;
    }
};

// Standard error in a buffer that needs no memory.
class FixedBuffer : public std::streambuf {
public:
    FixedBuffer() { setp(text_, text_ + sizeof text_); }
    [[nodiscard]] std::string text() const { return std::string(pbase(), pptr()); }

private:
    char text_[4096];
};

}  // namespace

extern "C" void __asan_init() __attribute__((weak));  // there under the address sanitizer

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // malloc pairs with free here
void* operator new(std::size_t size) {
    if (void* block = memoryExhausted ? nullptr : std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

TEST(OutOfMemory, StopsWithItsMessageAndRemovesThePages) {
    cxltest::TempDir dir;
    cxltest::writeFile(dir / "mc.cxl", cxltest::readFile(cxltest::sourceDir() / "examples/mapa.cxl"));
    std::istringstream in((dir / "mc.cxl").string() + "\n" + (dir / "SIGXX").string() + "\n\n");
    ExhaustAfterListing listing;
    std::ostream out(&listing);
    FixedBuffer errors;
    std::ostream err(&errors);
    cxl::Console console{in, out, err};
    const char* argv[] = {"cxl2xhtml"};
    const int status = cxl::run(1, argv, console);
    memoryExhausted = false;
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors.text(), "ERROR: Memoria insuficiente.\n" + cxltest::kPause);
    EXPECT_EQ(cxltest::listing(dir.path()), std::vector<std::string>{"mc.cxl"});
}

// The parser itself runs out on a long label: under a ladder of limits each
// run converts the map or stops with the parser's message and then ours.
TEST(OutOfMemory, ParserThatCannotAllocateIsNeverTrusted) {
    if (&__asan_init != nullptr) GTEST_SKIP() << "the address sanitizer cannot start under an address-space limit";
    cxltest::TempDir dir;
    const std::string label(24 << 20, 'x');
    cxltest::writeFile(dir / "mc.cxl", "<?xml version=\"1.0\"?>\n<cmap><concept id=\"a\" label=\"" + label + "\"/></cmap>\n");
    bool parserReported = false;
    cxltest::RunResult result;
    for (long megabytes = 24; megabytes <= 160 && result.exitCode != 0; megabytes += 8) {
        cxltest::RunOptions options;
        options.addressSpaceLimit = megabytes << 20;
        result = cxltest::runProgram(dir.path(), options);
        EXPECT_EQ(std::filesystem::exists(dir / "SIGXX_Desc.html"), result.exitCode == 0) << megabytes;
        if (result.exitCode == 0) break;
        parserReported = parserReported || result.err.starts_with("mxml: Unable to");
        EXPECT_TRUE(result.err.ends_with("ERROR: Memoria insuficiente.\n" + cxltest::kPause)) << result.err;
    }
    EXPECT_TRUE(parserReported);
    EXPECT_EQ(result.exitCode, 0);
}
