// The description outline: shapes of lines, bold and italics, and the walk's
// guards on maps built by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pages/outline.hpp"
#include "support/common.hpp"

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

TEST(Outline, MapWithoutNodesGivesNoList) {
    ConceptMap map;
    bool italics = true;
    EXPECT_EQ(outlineOf(map, &italics), "");
    EXPECT_FALSE(italics);
}

TEST(Outline, WritingTwiceGivesTheSameBytes) {
    ConceptMap map;
    buildLivingBeings(map);
    const ConceptMap& readOnly = map;
    EXPECT_EQ(outlineOf(readOnly), outlineOf(readOnly));
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
    // The island, which no root reaches, is told after the roots.
    EXPECT_EQ(outlineOf(map),
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
              "      <li><strong>Island</strong>\n"
              "        <ul>\n"
              "          <li>self <em>Island</em>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
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

TEST(Outline, PhraseMarksEndWithTheItemThatMadeThem) {
    // Two phrases under one concept lead to one phrase: the second item is
    // a new path, so that phrase is expanded there too.
    ConceptMap map;
    addConcept(map, "r", "R");
    addPhrase(map, "p1", "one", 0);
    addPhrase(map, "p2", "two", 10);
    addPhrase(map, "p3", "then");
    addConcept(map, "x", "X");
    link(map, "r", "p1");
    link(map, "r", "p2");
    link(map, "p1", "p3");
    link(map, "p2", "p3");
    link(map, "p3", "x");
    buildRootList(map);
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li><strong>R</strong>\n"
              "        <ul>\n"
              "          <li>one then <strong>X</strong>\n"
              "          </li>\n"
              "          <li>two then <strong>X</strong>\n"
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

// Nodes that no root reaches get items of their own after the roots.
TEST(UntoldNodes, MapWithoutRootsStartsAtTheTopMostConcept) {
    // A cycle through all concepts: every concept is targeted.
    ConceptMap map;
    addConcept(map, "low", "Low", 0, 300);
    addConcept(map, "top", "Top", 0, 10);
    addPhrase(map, "p", "to", 0, 100);
    addPhrase(map, "q", "back to", 0, 200);
    link(map, "top", "p");
    link(map, "p", "low");
    link(map, "low", "q");
    link(map, "q", "top");
    buildRootList(map);
    ASSERT_TRUE(map.roots.empty());
    bool italics = false;
    EXPECT_EQ(outlineOf(map, &italics),
              "    <ul>\n"
              "      <li><strong>Top</strong>\n"
              "        <ul>\n"
              "          <li>to <strong>Low</strong>\n"
              "            <ul>\n"
              "              <li>back to <em>Top</em>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
    EXPECT_TRUE(italics);
}

TEST(UntoldNodes, TurnsGoByYThenXThenDocumentOrder) {
    ConceptMap map;
    addConcept(map, "root", "Root", 0, 0);
    // Each of these points at itself, so none is a root.
    addConcept(map, "d1", "SameSpotFirst", 50, 20);
    addConcept(map, "right", "Right", 90, 20);
    addConcept(map, "d2", "SameSpotSecond", 50, 20);
    addConcept(map, "left", "Left", 10, 20);
    addConcept(map, "upper", "Upper", 500, 5);
    for (const char* id : {"d1", "right", "d2", "left", "upper"}) link(map, id, id);
    buildRootList(map);
    const std::string outline = outlineOf(map);
    std::vector<std::size_t> at;
    for (const char* label : {"<li><strong>Root", "<li><strong>Upper", "<li><strong>Left",
                              "<li><strong>SameSpotFirst", "<li><strong>SameSpotSecond",
                              "<li><strong>Right"}) {
        at.push_back(outline.find(label));
        ASSERT_NE(at.back(), std::string::npos) << label;
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << outline;
}

TEST(UntoldNodes, NodeToldInAnEarlierItemGetsNoItemOfItsOwn) {
    // X and Y both point at themselves, so neither is a root; X's turn comes
    // first (drawn higher) and tells Y, whose turn then passes.
    ConceptMap map;
    addConcept(map, "a", "A", 0, 50);
    addConcept(map, "x", "X", 0, 10);
    addConcept(map, "y", "Y", 0, 20);
    addPhrase(map, "p", "leads to", 0, 30);
    link(map, "x", "x");
    link(map, "x", "p");
    link(map, "p", "y");
    link(map, "y", "y");
    buildRootList(map);
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li><strong>A</strong>\n"
              "      </li>\n"
              "      <li><strong>X</strong>\n"
              "        <ul>\n"
              "          <li><em>X</em>\n"
              "          </li>\n"
              "          <li>leads to <strong>Y</strong>\n"
              "            <ul>\n"
              "              <li><em>Y</em>\n"
              "              </li>\n"
              "            </ul>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
}

TEST(UntoldNodes, PhrasesThatNoConceptLeadsToComeLast) {
    ConceptMap map;
    addConcept(map, "c", "C", 0, 0);
    addConcept(map, "t1", "T1", 10, 0);
    addConcept(map, "t2", "T2", 20, 0);
    addPhrase(map, "many", "branches", 0, 30);
    addPhrase(map, "none", "dangles", 0, 10);
    addPhrase(map, "one", "points at", 0, 20);
    link(map, "c", "t1");
    link(map, "c", "t2");
    link(map, "one", "t1");
    link(map, "many", "t1");
    link(map, "many", "t2");
    buildRootList(map);
    // C tells every concept; the phrases follow, top-most first.
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li><strong>C</strong>\n"
              "        <ul>\n"
              "          <li><strong>T1</strong>\n"
              "          </li>\n"
              "          <li><strong>T2</strong>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "      <li>dangles       </li>\n"
              "      <li>points at <strong>T1</strong>\n"
              "      </li>\n"
              "      <li>branches\n"
              "        <ul>\n"
              "          <li><strong>T1</strong>\n"
              "          </li>\n"
              "          <li><strong>T2</strong>\n"
              "          </li>\n"
              "        </ul>\n"
              "      </li>\n"
              "    </ul>\n");
}

TEST(UntoldNodes, CycleOfPhrasesInsideAnExtraItemIsToldOnce) {
    ConceptMap map;
    addPhrase(map, "p1", "one");
    addPhrase(map, "p2", "two");
    link(map, "p1", "p2");
    link(map, "p2", "p1");
    buildRootList(map);
    EXPECT_EQ(outlineOf(map),
              "    <ul>\n"
              "      <li>one two one       </li>\n"
              "    </ul>\n");
}

TEST(Language, MapsInAnotherLanguageMarkTheOutline) {
    ConceptMap map;
    addConcept(map, "a", "A");
    buildRootList(map);
    const std::pair<const char*, const char*> cases[] = {
        {"", "    <ul>\n"},
        {"en", "    <ul xml:lang=\"en\" lang=\"en\">\n"},
        {"en-US", "    <ul xml:lang=\"en-US\" lang=\"en-US\">\n"},
        {"es", "    <ul>\n"},
        {"ES", "    <ul>\n"},
        {"es-MX", "    <ul>\n"},
        {"est", "    <ul xml:lang=\"est\" lang=\"est\">\n"},
    };
    for (const auto& [tag, firstLine] : cases) {
        map.language = tag;
        EXPECT_EQ(outlineOf(map).substr(0, std::string(firstLine).size()), firstLine) << tag;
    }
}
