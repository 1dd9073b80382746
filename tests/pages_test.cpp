// Both pages written to memory: markup in names and labels, validity. The
// exact bytes of whole pages are pinned by the golden pages.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "pages/markup.hpp"

#ifndef _WIN32
#include "support/test_support.hpp"
#else
#include "support/common.hpp"
#endif

using namespace cxl;
using cxltest::addConcept;
using cxltest::descriptionOf;
using cxltest::graphicOf;

#ifndef _WIN32  // xmllint is at hand on the Linux side only
TEST(Validity, PagesWithMarkupAndItalicsAreStrictXhtml) {
    cxltest::TempDir dir;
    ConceptMap map;
    cxltest::buildSharedBelowTwoRoots(map);
    addConcept(map, "odd", "& < > \" ' % # ?");
    buildRootList(map);
    const std::string unit = "Unidad & <2> \"b\" #?%";
    cxltest::writeFile(dir / "graphic.html", graphicOf(unit));
    cxltest::writeFile(dir / "description.html", descriptionOf(map, unit));
    EXPECT_EQ(cxltest::xhtmlErrors(dir / "graphic.html"), "");
    EXPECT_EQ(cxltest::xhtmlErrors(dir / "description.html"), "");
}
#endif

TEST(Markup, EveryByteOfAUnitNameGivesWellFormedText) {
    const auto text = [](std::string_view bytes) {
        std::ostringstream out;
        writeText(out, bytes);
        return out.str();
    };
    const auto target = [](std::string_view bytes) {
        std::ostringstream out;
        writeLinkTarget(out, bytes);
        return out.str();
    };
    const struct {
        std::string_view bytes;
        std::string_view asText;
        std::string_view asTarget;
    } cases[] = {
        {"Biolog\xED" "a", "Biolog&#237;a", "Biolog%EDa"},                // Latin-1
        {"\x80\x81\x9F", "&#8364;&#129;&#376;", "%80%81%9F"},           // windows-1252
        {"Biolog\xC3\xAD" "a", "Biolog\xC3\xAD" "a", "Biolog\xC3\xAD" "a"},  // UTF-8 stays
        {"\xEF\xBF\xBE|\x01|\x7F", "&#xFFFD;|&#xFFFD;|\x7F", "%EF%BF%BE|%01|%7F"},
        {"\xED\xA0\x80", "&#237;&#160;&#8364;", "%ED%A0%80"},            // a surrogate is no UTF-8
        {"  a b\t", "  a b\t", "%20%20a b%09"},                         // leading spaces only
        {"SIG:01\\x", "SIG:01\\x", "SIG%3A01%5Cx"},
        {"&<>\"%#?", "&amp;&lt;&gt;&quot;%#?", "&amp;&lt;&gt;&quot;%25%23%3F"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.bytes), c.asText) << c.bytes;
        EXPECT_EQ(target(c.bytes), c.asTarget) << c.bytes;
    }
    EXPECT_EQ(unitNameFor("temas/T1", "/").linkName, "T1");
    EXPECT_EQ(unitNameFor("a\\b/c\\T1", "/\\").linkName, "T1");
    EXPECT_EQ(unitNameFor("a\\T1", "/").linkName, "a\\T1");
    EXPECT_EQ(unitNameFor("temas/", "/").linkName, "");
}
