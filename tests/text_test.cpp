// Normalisation of ids and labels, and the conversion of coordinates.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "map/text.hpp"

using cxl::leadingInteger;
using cxl::normaliseText;

namespace {

// The two passes as the rules give them.
std::string twoPassNormalise(const std::string& input) {
    std::string first;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\n') {
            while (i + 1 < input.size() && input[i + 1] == '\n') ++i;
            first.push_back(' ');
        } else {
            first.push_back(input[i]);
        }
    }
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
    std::string second;
    std::size_t i = 0;
    while (i < first.size() && blank(first[i])) ++i;
    bool inRun = false;
    for (; i < first.size(); ++i) {
        if (blank(first[i])) {
            if (!inRun) second.push_back(' ');
            inRun = true;
        } else {
            second.push_back(first[i]);
            inRun = false;
        }
    }
    if (!second.empty() && second.back() == ' ') second.pop_back();
    return second;
}

}  // namespace

TEST(NormaliseText, CollapsesBlanksAndTrimsBothEnds) {
    EXPECT_EQ(normaliseText("  Hola\n\n\tmundo "), "Hola mundo");
    EXPECT_EQ(normaliseText("\n \n"), "");
    EXPECT_EQ(normaliseText(""), "");
    EXPECT_EQ(normaliseText("a\n \nb"), "a b");
}

TEST(NormaliseText, OnlySpaceTabAndLineFeedAreBlanks) {
    EXPECT_EQ(normaliseText("uno\r\ndos"), "uno\r dos");
    EXPECT_EQ(normaliseText("a\vb\fc"), "a\vb\fc");
    EXPECT_EQ(normaliseText("ca\xC3\xB1\xC3\xB3n\xC2\xA0 s\xC3\xAD"), "ca\xC3\xB1\xC3\xB3n\xC2\xA0 s\xC3\xAD");
    EXPECT_EQ(normaliseText("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");  // no-break space stays
}

TEST(NormaliseText, AgreesWithTheTwoPassesOnRandomTexts) {
    std::mt19937 random(42);
    const std::string alphabet = " \t\n\rab\xC3";
    for (int i = 0; i < 20000; ++i) {
        std::string input;
        const auto length = random() % 12;
        for (unsigned j = 0; j < length; ++j) input.push_back(alphabet[random() % alphabet.size()]);
        ASSERT_EQ(normaliseText(input), twoPassNormalise(input)) << "input: [" << input << "]";
    }
}

TEST(LeadingInteger, TakesSignAndDigitsUpToTheFirstOtherByte) {
    EXPECT_EQ(leadingInteger("12.75"), 12);
    EXPECT_EQ(leadingInteger("-40"), -40);
    EXPECT_EQ(leadingInteger(" +7"), 7);
    EXPECT_EQ(leadingInteger("\t\n\v\f\r 5px"), 5);
    EXPECT_EQ(leadingInteger("abc"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("-"), 0);
    EXPECT_EQ(leadingInteger("+-3"), 0);
    EXPECT_EQ(leadingInteger("- 3"), 0);
}

TEST(LeadingInteger, ClampsToThirtyTwoBits) {
    EXPECT_EQ(leadingInteger("2147483647"), 2147483647);
    EXPECT_EQ(leadingInteger("2147483648"), 2147483647);
    EXPECT_EQ(leadingInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(leadingInteger("-2147483649"), -2147483647 - 1);
    EXPECT_EQ(leadingInteger("99999999999999999999999999"), 2147483647);
    EXPECT_EQ(leadingInteger("-00000000000000000000000012"), -12);
}
