// Link ordering, root selection and lookup of the concept-map model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map/concept_map.hpp"
#include "support/common.hpp"

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

struct Target {
    std::string id;
    std::int32_t x, y, width;
};

// The children of one source after linking `targets` in this order.
Ids orderAfterLinking(const std::vector<Target>& targets) {
    ConceptMap map;
    MapNode& source = addConcept(map, "S", "S");
    for (const Target& t : targets) addLink(source, addConcept(map, t.id, t.id, t.x, t.y, t.width));
    return childIds(source);
}

}  // namespace

TEST(LinkOrder, ExamplesOfThePositionRule) {
    constexpr std::int32_t kMax = 2147483647;
    constexpr std::int32_t kMin = -kMax - 1;
    struct Case {
        const char* what;
        std::vector<Target> targets;
        Ids expected;
    };
    const std::vector<Case> cases = {
        {"centres 2 apart: key y", {{"F", 300, 200, 100}, {"N", 302, 120, 60}}, {"N", "F"}},
        {"left edges, then right edges equal: key y",
         {{"F", 300, 200, 100}, {"G", 330, 260, 160}, {"H", 280, 90, 140}}, {"H", "F", "G"}},
        {"odd widths halve down", {{"F", 100, 0, 61}, {"N", 110, 5, 81}}, {"F", "N"}},
        // F's half-width is -30, not -31: its right edge 70 lines up with N (73).
        {"negative widths halve toward zero", {{"F", 100, 50, -61}, {"N", 73, 60, 0}}, {"F", "N"}},
        // Other widths, so that only the centres can line up.
        {"centres 4 apart are not aligned", {{"F", 100, 50, 60}, {"N", 104, 40, 20}}, {"F", "N"}},
        {"centres 3 apart are aligned", {{"F", 100, 50, 60}, {"N", 103, 40, 20}}, {"N", "F"}},
        {"centres 3 apart the other way", {{"F", 100, 50, 60}, {"N", 97, 40, 20}}, {"N", "F"}},
        {"left edges 3 apart", {{"F", 100, 50, 60}, {"N", 83, 40, 20}}, {"N", "F"}},
        {"right edges 4 apart", {{"F", 100, 50, 60}, {"N", 124, 40, 20}}, {"F", "N"}},
        {"mixed keys",
         {{"A", 100, 300, 60}, {"B", 400, 100, 60}, {"K", 101, 200, 60}, {"D", 400, 50, 60}, {"E", 250, 10, 60}},
         {"K", "A", "E", "B", "D"}},
        {"equal x go after", {{"T1", 100, 50, 60}, {"T2", 300, 50, 60}, {"T3", 300, 80, 60}}, {"T1", "T2", "T3"}},
        {"equal y go after the first", {{"A", 100, 50, 60}, {"B", 100, 50, 60}}, {"A", "B"}},
        {"only the first cell decides alignment",
         {{"F", 100, 500, 60}, {"L", 400, 100, 60}, {"N", 401, 50, 60}}, {"F", "L", "N"}},
        {"ends of the 32-bit range", {{"F", kMax, 10, kMax}, {"N", kMin, 5, kMin}}, {"N", "F"}},
    };
    for (const Case& c : cases) EXPECT_EQ(orderAfterLinking(c.targets), c.expected) << c.what;
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
    EXPECT_EQ(std::next(map.concepts.begin())->id, "2");  // document order
    releaseMap(map);
    EXPECT_TRUE(map.concepts.empty());
    EXPECT_TRUE(map.phrases.empty());
    EXPECT_TRUE(map.roots.empty());
    EXPECT_EQ(findNode(map, "0"), nullptr);
    releaseMap(map);  // releasing an empty map does nothing
}
