// Running out of memory in the middle of a run: the message, exit status 1,
// and no page of the run left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <unistd.h>

#include "driver/run.hpp"
#include "support/test_support.hpp"

namespace {

// Once set, every allocation of this process fails.
std::atomic<bool> memoryExhausted{false};

// Standard output that exhausts memory as soon as the pages are listed, that
// is right after both page files were created.
class ExhaustAfterListing : public std::stringbuf {
protected:
    int sync() override {
        if (str().find("La salidas se guardaran") != std::string::npos) memoryExhausted = true;
        return 0;
    }
};

// A whole run in `dir`, on the defaults.
void runIn(const std::filesystem::path& dir) {
    if (::chdir(dir.c_str()) != 0) std::abort();
    std::istringstream in("\n\n\n");
    ExhaustAfterListing listing;
    std::ostream out(&listing);
    cxl::Console console{in, out, std::cerr};
    const char* argv[] = {"cxl2xhtml"};
    cxl::run(1, argv, console);
}

}  // namespace

// The replacements pair malloc with free; the compiler, seeing them inlined
// next to new-expressions, mistakes that for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (memoryExhausted) throw std::bad_alloc();
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return memoryExhausted ? nullptr : std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

TEST(OutOfMemory, StopsWithItsMessageAndRemovesThePages) {
    cxltest::TempDir dir;
    cxltest::writeFile(dir / "mc.cxl", cxltest::readFile(cxltest::sourceDir() / "tests/data/living-beings.cxl"));
    EXPECT_EXIT(runIn(dir.path()), testing::ExitedWithCode(1),
        "^ERROR: Memoria insuficiente\\.\nPresiona cualquier tecla para salir del programa\\.\\.\\.\n$");
    EXPECT_FALSE(std::filesystem::exists(dir / "SIGXX_MapaConceptual.html"));
    EXPECT_FALSE(std::filesystem::exists(dir / "SIGXX_Desc.html"));
    EXPECT_TRUE(std::filesystem::exists(dir / "mc.cxl"));
}
