// Both pages written to memory: sizes, markup in names and labels, validity.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

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

TEST(DescriptionPage, EmptyRootListGivesTwoOutlineLinesAndTwoEntries) {
    ConceptMap map;
    const std::string page = descriptionOf(map, "SIGXX");
    EXPECT_EQ(page.size(), 789U + 19U);
    EXPECT_NE(page.find("</h1>\n    <ul>\n    </ul>\n    <p>\n      Leyenda:\n"), std::string::npos);
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
