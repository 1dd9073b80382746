// A page whose stream fails stops its writer at once: nothing is tried after
// the first failure, wherever it comes.
#include <gtest/gtest.h>

#include <sstream>

#include "pages/description_page.hpp"
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
