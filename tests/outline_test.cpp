// The description outline: shapes of lines, bold and italics, and the walk's
// guards on maps built by hand.
#include <gtest/gtest.h>

#include <string>

#include "pages/outline.hpp"
#include "support/test_support.hpp"

using namespace cxl;
using cxltest::addConcept;
using cxltest::link;
using cxltest::outlineOf;
using cxltest::addPhrase;

namespace {

// The worked example of the description's format.
void buildLivingBeings(ConceptMap& map) {
    addConcept(map, "c1", "Living beings", 400, 40, 120);
    addConcept(map, "c2", "Animals", 250, 220, 90);
    addConcept(map, "c3", "Plants", 560, 220, 80);
    addConcept(map, "c4", "Cells", 400, 420, 70);
    addConcept(map, "c5", "Energy", 80, 40, 80);
    addConcept(map, "c6", "Organelles", 400, 620, 100);
    addPhrase(map, "p1", "include", 400, 130, 60);
    addPhrase(map, "p2", "are made of", 250, 320, 90);
    addPhrase(map, "p3", "are made of", 560, 320, 90);
    addPhrase(map, "p4", "contain", 400, 520, 60);
    for (auto [from, to] : {std::pair{"c1", "p1"}, {"p1", "c3"}, {"p1", "c2"}, {"c2", "p2"},
                            {"p2", "c4"}, {"c3", "p3"}, {"p3", "c4"}, {"c4", "p4"}, {"p4", "c6"}}) {
        link(map, from, to);
    }
    buildRootList(map);
}

const char* const kLivingBeingsOutline =
    "    <ul>\n"
    "      <li><strong>Energy</strong>\n"
    "      </li>\n"
    "      <li><strong>Living beings</strong>\n"
    "        <ul>\n"
    "          <li>include\n"
    "            <ul>\n"
    "              <li><strong>Animals</strong>\n"
    "                <ul>\n"
    "                  <li>are made of <strong>Cells</strong>\n"
    "                    <ul>\n"
    "                      <li>contain <strong>Organelles</strong>\n"
    "                      </li>\n"
    "                    </ul>\n"
    "                  </li>\n"
    "                </ul>\n"
    "              </li>\n"
    "              <li><strong>Plants</strong>\n"
    "                <ul>\n"
    "                  <li>are made of <em>Cells</em>\n"
    "                  </li>\n"
    "                </ul>\n"
    "              </li>\n"
    "            </ul>\n"
    "          </li>\n"
    "        </ul>\n"
    "      </li>\n"
    "    </ul>\n";

}  // namespace

TEST(Outline, WorkedExample) {
    ConceptMap map;
    buildLivingBeings(map);
    bool italics = false;
    EXPECT_EQ(outlineOf(map, &italics), kLivingBeingsOutline);
    EXPECT_TRUE(italics);
}

TEST(Outline, EmptyRootListGivesTwoLines) {
    ConceptMap map;
    bool italics = true;
    EXPECT_EQ(outlineOf(map, &italics), "    <ul>\n    </ul>\n");
    EXPECT_FALSE(italics);
}

TEST(Outline, ConceptsMetAgainWithAndWithoutLinks) {
    ConceptMap map;
    addConcept(map, "r", "Root", 0);
    addPhrase(map, "p", "has", 10, 0, 0);
    addConcept(map, "leaf", "Leaf", 20, 0, 0);
    addConcept(map, "inner", "Inner", 30, 0, 0);
    addPhrase(map, "q", "holds", 40);
    addConcept(map, "deep", "Deep", 50);
    link(map, "r", "p");
    link(map, "p", "leaf");
    link(map, "p", "inner");
    link(map, "p", "leaf");   // a target linked twice: bold both times, no links
    link(map, "p", "inner");  // italic the second time: it has links
    // Each second link lines up with or follows the first by x: [Leaf, Inner, Leaf, Inner].
    link(map, "inner", "q");
    link(map, "q", "deep");
    buildRootList(map);
    bool italics = false;
    EXPECT_EQ(outlineOf(map, &italics),
              "    <ul>\n"
              "      <li><strong>Root</strong>\n"
              "        <ul>\n"
              "          <li>has\n"
              "            <ul>\n"
              "              <li><strong>Leaf</strong>\n"
              "              </li>\n"
              "              <li><strong>Inner</strong>\n"
              "                <ul>\n"
              "                  <li>holds <strong>Deep</strong>\n"
              "                  </li>\n"
              "                </ul>\n"
              "              </li>\n"
              "              <li><strong>Leaf</strong>\n"
              "              </li>\n"
              "              <li><em>Inner</em>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
    EXPECT_TRUE(italics);
}

TEST(Outline, LeafConceptsNeverSetItalics) {
    ConceptMap map;
    addConcept(map, "a", "A", 0);
    addConcept(map, "b", "B", 100);
    addConcept(map, "leaf", "Leaf", 50);
    addPhrase(map, "p", "to", 0);
    addPhrase(map, "q", "to", 100);
    link(map, "a", "p");
    link(map, "p", "leaf");
    link(map, "b", "q");
    link(map, "q", "leaf");
    buildRootList(map);
    bool italics = true;
    const std::string outline = outlineOf(map, &italics);
    EXPECT_FALSE(italics);
    EXPECT_EQ(outline.find("<em>"), std::string::npos);
}

TEST(Outline, PhraseWithoutTargetsAndChainsOfPhrases) {
    ConceptMap map;
    addConcept(map, "r", "R");
    addPhrase(map, "none", "goes nowhere", 0);
    addPhrase(map, "first", "leads to", 10);
    addPhrase(map, "second", "and then", 10);
    addConcept(map, "end", "End");
    link(map, "r", "none");
    link(map, "r", "first");
    link(map, "first", "second");
    link(map, "second", "end");
    buildRootList(map);
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li><strong>R</strong>\n"
              "        <ul>\n"
              "          <li>goes nowhere           </li>\n"
              "          <li>leads to and then <strong>End</strong>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
}

TEST(Outline, PhraseMetTwiceIsExpandedBothTimes) {
    ConceptMap map;
    addConcept(map, "a", "A", 0);
    addConcept(map, "b", "B", 100);
    addPhrase(map, "p", "share", 50);
    addConcept(map, "c", "C", 10);
    addConcept(map, "d", "D", 90);
    addPhrase(map, "q", "with", 0);
    addConcept(map, "e", "E");
    link(map, "a", "p");
    link(map, "b", "p");
    link(map, "p", "c");
    link(map, "p", "d");
    link(map, "c", "q");
    link(map, "q", "e");
    buildRootList(map);
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li><strong>A</strong>\n"
              "        <ul>\n"
              "          <li>share\n"
              "            <ul>\n"
              "              <li><strong>C</strong>\n"
              "                <ul>\n"
              "                  <li>with <strong>E</strong>\n"
              "                  </li>\n"
              "                </ul>\n"
              "              </li>\n"
              "              <li><strong>D</strong>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "      <li><strong>B</strong>\n"
              "        <ul>\n"
              "          <li>share\n"
              "            <ul>\n"
              "              <li><em>C</em>\n"
              "              </li>\n"
              "              <li><strong>D</strong>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
}

TEST(Outline, CycleThroughAConceptStopsAtTheConcept) {
    ConceptMap map;
    addConcept(map, "r", "R");
    addConcept(map, "a", "A");
    addPhrase(map, "p", "to");
    addPhrase(map, "q", "back to");
    addConcept(map, "island", "Island");  // a cycle no root leads into
    addPhrase(map, "i", "self");
    link(map, "r", "p");
    link(map, "p", "a");
    link(map, "a", "q");
    link(map, "q", "a");
    link(map, "island", "i");
    link(map, "i", "island");
    buildRootList(map);
    const std::string outline = outlineOf(map);
    EXPECT_EQ(outline,
              "    <ul>\n"
              "      <li><strong>R</strong>\n"
              "        <ul>\n"
              "          <li>to <strong>A</strong>\n"
              "            <ul>\n"
              "              <li>back to <em>A</em>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
    EXPECT_EQ(outline.find("Island"), std::string::npos);
}

TEST(Outline, ConceptBelowTwoRootsIsExpandedUnderTheFirst) {
    ConceptMap map;
    cxltest::buildSharedBelowTwoRoots(map);
    const std::string outline = outlineOf(map);
    EXPECT_LT(outline.find("<strong>Early</strong>"), outline.find("<strong>Shared</strong>"));
    EXPECT_LT(outline.find("<strong>Shared</strong>"), outline.find("<strong>Late</strong>"));
    EXPECT_LT(outline.find("<strong>Late</strong>"), outline.find("<em>Shared</em>"));
}

TEST(Outline, CycleOfPhrasesIsWrittenOnceAlongThePath) {
    // r -> p1 -> p2 -> p1 (one target each), and p3 with two targets, one of
    // them itself.
    ConceptMap map;
    addConcept(map, "r", "R");
    addPhrase(map, "p1", "one");
    addPhrase(map, "p2", "two");
    addPhrase(map, "p3", "three", 0);
    addConcept(map, "c", "C", 50);
    link(map, "r", "p1");
    link(map, "r", "p3");
    link(map, "p1", "p2");
    link(map, "p2", "p1");
    link(map, "p3", "p3");
    link(map, "p3", "c");
    buildRootList(map);
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li><strong>R</strong>\n"
              "        <ul>\n"
              "          <li>one two one           </li>\n"
              "          <li>three\n"
              "            <ul>\n"
              "              <li>three\n"
              "              </li>\n"
              "              <li><strong>C</strong>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
}

TEST(Outline, PhraseReachedAgainThroughAConceptIsExpanded) {
    // p -> c -> p: the path comes back to p through a concept, so p is told
    // again in full, and c, already told, ends it.
    ConceptMap map;
    addConcept(map, "r", "R");
    addPhrase(map, "p", "to");
    addConcept(map, "c", "C");
    link(map, "r", "p");
    link(map, "p", "c");
    link(map, "c", "p");
    buildRootList(map);
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li><strong>R</strong>\n"
              "        <ul>\n"
              "          <li>to <strong>C</strong>\n"
              "            <ul>\n"
              "              <li>to <em>C</em>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
}

TEST(Outline, MillionPhraseChainNeedsNoCallStack) {
    ConceptMap map;
    MapNode* previous = &addConcept(map, "root", "R");
    for (int i = 0; i < 1000000; ++i) {
        MapNode& next = addPhrase(map, std::to_string(i), "p");
        addLink(*previous, next);
        previous = &next;
    }
    addLink(*previous, addConcept(map, "end", "E"));
    buildRootList(map);
    const std::string outline = outlineOf(map);
    EXPECT_EQ(outline.size(), 2000000U + 136U);  // the chain and the fixed lines
    EXPECT_NE(outline.find("p p <strong>E</strong>\n"), std::string::npos);
}
