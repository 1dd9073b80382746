// Link ordering, root selection and lookup of the concept-map model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map/concept_map.hpp"
#include "support/test_support.hpp"

using cxltest::addConcept;
using cxltest::addPhrase;
using namespace cxl;

namespace {

std::vector<std::string> childIds(const MapNode& node) {
    std::vector<std::string> ids;
    for (MapNode* child : node.children) ids.emplace_back(child->id);
    return ids;
}

std::vector<std::string> rootIds(const ConceptMap& map) {
    std::vector<std::string> ids;
    for (const NodeLink& root : map.roots) ids.emplace_back(root.target->id);
    return ids;
}

using Ids = std::vector<std::string>;

// A source concept at the origin, and targets added in the given order.
struct Fan {
    ConceptMap map;
    MapNode& source = addConcept(map, "S", "S");
    void add(const std::string& id, int x, int y, int width) {
        addLink(source, addConcept(map, id, id, x, y, width));
    }
};

}  // namespace

TEST(LinkOrder, AlignedCentresOrderByY) {
    Fan fan;
    fan.add("F", 300, 200, 100);
    fan.add("N", 302, 120, 60);
    EXPECT_EQ(childIds(fan.source), (Ids{"N", "F"}));
}

TEST(LinkOrder, AlignedLeftOrRightEdgesOrderByY) {
    Fan fan;
    fan.add("F", 300, 200, 100);
    fan.add("G", 330, 260, 160);  // left edges both at 250
    EXPECT_EQ(childIds(fan.source), (Ids{"F", "G"}));
    fan.add("H", 280, 90, 140);   // right edges both at 350
    EXPECT_EQ(childIds(fan.source), (Ids{"H", "F", "G"}));
}

TEST(LinkOrder, OddWidthsHalveTowardZero) {
    Fan fan;
    fan.add("F", 100, 0, 61);
    fan.add("N", 110, 5, 81);  // left edges both at 70
    EXPECT_EQ(childIds(fan.source), (Ids{"F", "N"}));

    // F's half-width is -30 (not -31), so its right edge is 70 and N's
    // centre, 73, lines up with it: key y puts N after F. Rounding down would
    // give 69, not aligned, and key x would put N in front.
    Fan negative;
    negative.add("F", 100, 50, -61);
    negative.add("N", 73, 60, 0);
    EXPECT_EQ(childIds(negative.source), (Ids{"F", "N"}));
}

TEST(LinkOrder, ToleranceIsThreeNotFour) {
    Fan four;
    four.add("F", 100, 50, 60);
    four.add("N", 104, 40, 60);
    EXPECT_EQ(childIds(four.source), (Ids{"F", "N"}));

    Fan three;
    three.add("F", 100, 50, 60);
    three.add("N", 103, 40, 60);
    EXPECT_EQ(childIds(three.source), (Ids{"N", "F"}));

    Fan below;
    below.add("F", 100, 50, 60);
    below.add("N", 97, 40, 60);
    EXPECT_EQ(childIds(below.source), (Ids{"N", "F"}));
}

TEST(LinkOrder, MixedKeysFollowTheOrderOfCalls) {
    Fan fan;
    fan.add("A", 100, 300, 60);
    fan.add("B", 400, 100, 60);
    EXPECT_EQ(childIds(fan.source), (Ids{"A", "B"}));
    fan.add("K", 101, 200, 60);
    EXPECT_EQ(childIds(fan.source), (Ids{"K", "A", "B"}));
    fan.add("D", 400, 50, 60);
    EXPECT_EQ(childIds(fan.source), (Ids{"K", "A", "B", "D"}));
    fan.add("E", 250, 10, 60);
    EXPECT_EQ(childIds(fan.source), (Ids{"K", "A", "E", "B", "D"}));
}

TEST(LinkOrder, EqualKeysGoAfter) {
    Fan fan;
    fan.add("T1", 100, 50, 60);
    fan.add("T2", 300, 50, 60);
    fan.add("T3", 300, 80, 60);
    EXPECT_EQ(childIds(fan.source), (Ids{"T1", "T2", "T3"}));

    Fan same;
    same.add("A", 100, 50, 60);
    same.add("B", 100, 50, 60);  // aligned, equal y: after the first cell
    EXPECT_EQ(childIds(same.source), (Ids{"A", "B"}));
}

TEST(LinkOrder, OnlyTheFirstCellDecidesAlignment) {
    Fan fan;
    fan.add("F", 100, 500, 60);
    fan.add("L", 400, 100, 60);
    fan.add("N", 401, 50, 60);  // lines up with L, not with F: key x
    EXPECT_EQ(childIds(fan.source), (Ids{"F", "L", "N"}));
}

TEST(LinkOrder, ExtremeCoordinatesAreComparedExactly) {
    Fan fan;
    fan.add("F", 2147483647, 10, 2147483647);
    fan.add("N", -2147483647 - 1, 5, -2147483647 - 1);
    // Far apart on every test: key x, and the smaller x goes in front.
    EXPECT_EQ(childIds(fan.source), (Ids{"N", "F"}));
    EXPECT_FALSE(isAligned(*findNode(fan.map, "N"), *findNode(fan.map, "F")));
}

TEST(AddLink, CountsMarksAndKeepsRepeatsAndSelfLinks) {
    ConceptMap map;
    MapNode& a = addConcept(map, "a", "A");
    MapNode& b = addPhrase(map, "b", "B");
    addLink(a, b);
    addLink(a, b);
    addLink(a, a);
    EXPECT_EQ(a.childCount, 3);
    EXPECT_EQ(a.children.size(), 3U);
    EXPECT_TRUE(a.isTarget);
    EXPECT_TRUE(b.isTarget);
    EXPECT_EQ(b.childCount, 0);
    EXPECT_TRUE(b.children.empty());
    buildRootList(map);
    EXPECT_TRUE(map.roots.empty());  // a self-linked concept is no root
}

TEST(FindNode, ConceptsBeforePhrasesFirstInDocumentOrder) {
    ConceptMap map;
    EXPECT_EQ(findNode(map, "x"), nullptr);
    MapNode& phraseX = addPhrase(map, "x", "phrase");
    EXPECT_EQ(findNode(map, "x"), &phraseX);
    MapNode& firstX = addConcept(map, "x", "first");
    addConcept(map, "x", "second");
    EXPECT_EQ(findNode(map, "x"), &firstX);
}

TEST(FindNode, ComparesBytesExactly) {
    ConceptMap map;
    addConcept(map, "a1", "A");
    addConcept(map, "", "empty");
    EXPECT_EQ(findNode(map, "A1"), nullptr);
    EXPECT_EQ(findNode(map, "a1 "), nullptr);
    EXPECT_EQ(findNode(map, std::string("a1\0", 3)), nullptr);
    ASSERT_NE(findNode(map, ""), nullptr);
    EXPECT_EQ(findNode(map, "")->label, "empty");
}

TEST(Roots, UntargetedConceptsByXThenDocumentOrder) {
    ConceptMap map;
    addConcept(map, "R1", "", 300);
    addConcept(map, "R2", "", 100);
    addConcept(map, "R3", "", 300);
    addConcept(map, "R4", "", 50);
    MapNode& r5 = addConcept(map, "R5", "", 200);
    MapNode& p = addPhrase(map, "P", "", 0);
    addLink(p, r5);
    buildRootList(map);
    EXPECT_EQ(rootIds(map), (Ids{"R4", "R2", "R1", "R3"}));  // phrases are never roots
}

TEST(Roots, EmptyWhenEveryConceptIsTargetedOrThereAreNone) {
    ConceptMap none;
    addPhrase(none, "p", "");
    buildRootList(none);
    EXPECT_TRUE(none.roots.empty());

    ConceptMap cycle;
    MapNode& a = addConcept(cycle, "a", "");
    MapNode& b = addConcept(cycle, "b", "");
    addLink(a, b);
    addLink(b, a);
    buildRootList(cycle);
    EXPECT_TRUE(cycle.roots.empty());
}

TEST(ReleaseMap, EmptiesEverythingAndSurvivesAMillionNodes) {
    ConceptMap map;
    MapNode* previous = &addConcept(map, "0", "");
    for (int i = 1; i < 1000000; ++i) {
        MapNode& node = (i % 2 != 0) ? addPhrase(map, std::to_string(i), "") : addConcept(map, std::to_string(i), "");
        addLink(*previous, node);
        previous = &node;
    }
    buildRootList(map);
    ASSERT_EQ(map.roots.size(), 1U);
    EXPECT_EQ(map.concepts.head()->next->id, "2");  // document order through next
    releaseMap(map);
    EXPECT_TRUE(map.concepts.empty());
    EXPECT_TRUE(map.phrases.empty());
    EXPECT_TRUE(map.roots.empty());
    EXPECT_EQ(findNode(map, "0"), nullptr);
    releaseMap(map);  // releasing an empty map does nothing
}
