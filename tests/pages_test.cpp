// How bytes become page text and link targets: the cases of
// tests/data/markup/ (tests/data/README.md).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "pages/markup.hpp"
#include "pages/page_names.hpp"
#include "support/common.hpp"

using namespace cxl;
using namespace cxltest;

namespace {

class Markup : public testing::TestWithParam<Case> {};

TEST_P(Markup, Case) {
    std::map<std::string, std::string> values;
    for (const auto& [key, raw] : GetParam().lines) values[key] = decode(raw);
    std::ostringstream text;
    std::ostringstream target;
    writeText(text, values["bytes"]);
    writeLinkTarget(target, values["bytes"]);
    if (values.count("text")) {
        EXPECT_EQ(text.str(), values["text"]);
        EXPECT_EQ(target.str(), values["target"]);
    } else {
        EXPECT_EQ(unitNameFor(values["unit"], values["separators"]).linkName, values["link-name"]);
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, Markup, testing::ValuesIn(readCases(sourceDir() / "tests/data/markup")),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
