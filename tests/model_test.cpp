// The fast structures behind addLink and findNode against a plain
// transcription of the rules, on many random maps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "map/concept_map.hpp"
#include "support/support.hpp"

using namespace cxl;

namespace {

// The rules as written: singly linked lists and linear scans.
struct PlainNode {
    std::string id;
    long long x, y, width;
    bool isConcept;
    bool isTarget = false;
    std::list<int> children;  // indices into the node table
};

bool plainAligned(const PlainNode& n, const PlainNode& f) {
    auto half = [](const PlainNode& p) { return p.width / 2; };
    return std::llabs(n.x - f.x) <= 3 || std::llabs((n.x - half(n)) - (f.x - half(f))) <= 3 ||
           std::llabs((n.x + half(n)) - (f.x + half(f))) <= 3;
}

void plainAddLink(std::vector<PlainNode>& nodes, int source, int target) {
    nodes[static_cast<std::size_t>(target)].isTarget = true;
    std::list<int>& children = nodes[static_cast<std::size_t>(source)].children;
    const PlainNode& n = nodes[static_cast<std::size_t>(target)];
    if (children.empty()) {
        children.push_back(target);
        return;
    }
    const PlainNode& f = nodes[static_cast<std::size_t>(children.front())];
    const bool byY = plainAligned(n, f);
    auto key = [&](int index) {
        const PlainNode& p = nodes[static_cast<std::size_t>(index)];
        return byY ? p.y : p.x;
    };
    if (key(target) < key(children.front())) {
        children.push_front(target);
        return;
    }
    auto it = std::next(children.begin());
    while (it != children.end() && !(key(*it) > key(target))) ++it;
    children.insert(it, target);
}

int plainFind(const std::vector<PlainNode>& nodes, const std::string& key) {
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].isConcept == (pass == 0) && nodes[i].id == key) return static_cast<int>(i);
        }
    }
    return -1;
}

// Builds the same random map both ways and compares every order.
void compareRandomMap(std::mt19937& random, int nodeCount, int linkCount, int spread) {
    std::uniform_int_distribution<int> coordinate(-spread, spread);
    std::uniform_int_distribution<int> width(-20, 200);
    std::uniform_int_distribution<int> idPick(0, nodeCount / 2 + 1);  // shared ids happen
    std::vector<PlainNode> plain;
    ConceptMap fast;
    std::vector<MapNode*> fastNodes;
    for (int i = 0; i < nodeCount; ++i) {
        PlainNode node{std::to_string(idPick(random)), coordinate(random), coordinate(random),
                       width(random), random() % 2 == 0, false, {}};
        // Concepts come before phrases in the table, as the loader creates them.
        plain.push_back(node);
    }
    std::stable_partition(plain.begin(), plain.end(), [](const PlainNode& n) { return n.isConcept; });
    for (const PlainNode& node : plain) {
        fastNodes.push_back(&appendNode(fast, node.isConcept ? NodeKind::Concept : NodeKind::LinkingPhrase,
                                        node.id, "", static_cast<std::int32_t>(node.x),
                                        static_cast<std::int32_t>(node.y),
                                        static_cast<std::int32_t>(node.width)));
    }
    std::uniform_int_distribution<int> idKey(0, nodeCount / 2 + 2);
    for (int i = 0; i < linkCount; ++i) {
        const std::string from = std::to_string(idKey(random));
        const std::string to = std::to_string(idKey(random));
        const int plainFrom = plainFind(plain, from);
        const int plainTo = plainFind(plain, to);
        MapNode* fastFrom = findNode(fast, from);
        MapNode* fastTo = findNode(fast, to);
        ASSERT_EQ(plainFrom < 0, fastFrom == nullptr);
        ASSERT_EQ(plainTo < 0, fastTo == nullptr);
        if (plainFrom < 0 || plainTo < 0) continue;
        ASSERT_EQ(fastFrom, fastNodes[static_cast<std::size_t>(plainFrom)]);
        ASSERT_EQ(fastTo, fastNodes[static_cast<std::size_t>(plainTo)]);
        plainAddLink(plain, plainFrom, plainTo);
        addLink(*fastFrom, *fastTo);
    }
    for (std::size_t i = 0; i < plain.size(); ++i) {
        std::vector<MapNode*> expected;
        for (int child : plain[i].children) expected.push_back(fastNodes[static_cast<std::size_t>(child)]);
        std::vector<MapNode*> actual(fastNodes[i]->children.begin(), fastNodes[i]->children.end());
        ASSERT_EQ(actual, expected) << "children of node " << i;
        ASSERT_EQ(static_cast<std::size_t>(fastNodes[i]->childCount()), expected.size());
        ASSERT_EQ(fastNodes[i]->isTarget, plain[i].isTarget);
    }
}

}  // namespace

TEST(LinkOrderDifferential, ThousandsOfSmallRandomMaps) {
    std::mt19937 random(20261207);
    for (int map = 0; map < 3000; ++map) {
        compareRandomMap(random, 2 + map % 30, map % 80, map % 3 == 0 ? 8 : 400);
        if (HasFatalFailure()) return;
    }
}

TEST(LinkOrderDifferential, LongListsOfOneSource) {
    // Few ids, many links: lists grow past the flat size into blocks.
    std::mt19937 random(7);
    for (int map = 0; map < 12; ++map) {
        compareRandomMap(random, 40, 6000, map % 2 == 0 ? 5 : 3000);
        if (HasFatalFailure()) return;
    }
}
