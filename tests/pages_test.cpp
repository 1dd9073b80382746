// Both pages written to memory: sizes, markup in names and labels, validity.
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
using cxltest::link;
using cxltest::addPhrase;

namespace {

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::size_t lineCount(const std::string& text) { return count(text, "\n"); }

const std::string kItalicsLine =
    "      - Los nodos que ya han sido analizados anteriormente se representan en letra "
    "<em>cursiva</em>.<br/>\n";

std::string outlineWithin(const std::string& page) {
    const std::size_t start = page.find("    <ul>\n");
    const std::size_t end = page.rfind("    </ul>\n") + 10;
    return page.substr(start, end - start);
}

}  // namespace

TEST(GraphicPage, SizeAndNamesFollowTheUnit) {
    const std::string page = graphicOf("SIGXX");
    EXPECT_EQ(page.size(), 735U);
    EXPECT_EQ(lineCount(page), 23U);
    EXPECT_NE(page.find("      <img src=\"SIGXX_MapaConceptual.png\"\n"), std::string::npos);
    EXPECT_NE(page.find("           longdesc=\"SIGXX_Desc.html\"/>\n"), std::string::npos);
    EXPECT_NE(page.find("      <a href=\"SIGXX_Desc.html\"\n"), std::string::npos);
    EXPECT_EQ(page.rfind("</html>\n"), page.size() - 8);
    EXPECT_EQ(graphicOf("Tema 12 b").size(), 705U + 6 * 9);
    EXPECT_EQ(graphicOf("").size(), 705U);
}

TEST(DescriptionPage, SizeAroundTheOutlineWithAndWithoutItalics) {
    ConceptMap plain;
    addConcept(plain, "a", "A");
    buildRootList(plain);
    const std::string page = descriptionOf(plain, "SIGXX");
    EXPECT_EQ(page.size(), 789U + outlineWithin(page).size());
    EXPECT_EQ(count(page, "<br/>"), 2U);

    ConceptMap italic;
    cxltest::buildSharedBelowTwoRoots(italic);
    const std::string withItalics = descriptionOf(italic, "SIGXX");
    EXPECT_EQ(withItalics.size(), 895U + outlineWithin(withItalics).size());
    EXPECT_EQ(count(withItalics, kItalicsLine), 1U);
    EXPECT_LT(withItalics.find("<strong>negrita</strong>"), withItalics.find(kItalicsLine));
    EXPECT_LT(withItalics.find(kItalicsLine), withItalics.find("letra normal"));

    const std::string otherUnit = descriptionOf(italic, "U-2");
    EXPECT_EQ(otherUnit.size(), 774U + 3 * 3 + 106U + outlineWithin(otherUnit).size());
    EXPECT_NE(otherUnit.find("      <a href=\"U-2_MapaConceptual.html\"\n"), std::string::npos);
}

TEST(DescriptionPage, MapWithoutNodesHasNoListAndTwoEntries) {
    ConceptMap map;
    const std::string page = descriptionOf(map, "SIGXX");
    EXPECT_EQ(page.size(), 789U);
    EXPECT_NE(page.find("</h1>\n    <p>\n      Leyenda:\n"), std::string::npos);
}

TEST(Markup, UnitNameIsEscapedAsTextAndAsLinkTarget) {
    const std::string page = graphicOf("A&B <\"x\"> #1?50%");
    EXPECT_NE(page.find("<title>Mapa conceptual de A&amp;B &lt;&quot;x&quot;&gt; #1?50%</title>"),
              std::string::npos);
    EXPECT_NE(page.find("src=\"A&amp;B &lt;&quot;x&quot;&gt; %231%3F50%25_MapaConceptual.png\""),
              std::string::npos);
    EXPECT_NE(page.find("longdesc=\"A&amp;B &lt;&quot;x&quot;&gt; %231%3F50%25_Desc.html\""),
              std::string::npos);
    EXPECT_NE(page.find("alt=\"Descripci&oacute;n del mapa conceptual de A&amp;B &lt;&quot;x&quot;&gt; #1?50%\""),
              std::string::npos);
    EXPECT_EQ(count(page, "%25"), 3U);
}

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
