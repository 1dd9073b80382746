// The fast structures behind findNode and addLink against the rules as
// written (lists and scans), on random maps.
#include <gtest/gtest.h>

#include <list>
#include <random>

#include "map/concept_map.hpp"

using namespace cxl;

namespace {

struct Plain {
    std::string id;
    long long x, y, width;
    bool isConcept;
    std::list<std::size_t> children;
};

bool plainAligned(const Plain& n, const Plain& f) {
    const auto near = [](long long a, long long b) { return (a > b ? a - b : b - a) <= 3; };
    return near(n.x, f.x) || near(n.x - n.width / 2, f.x - f.width / 2) || near(n.x + n.width / 2, f.x + f.width / 2);
}

void plainAddLink(std::vector<Plain>& nodes, std::size_t source, std::size_t target) {
    std::list<std::size_t>& children = nodes[source].children;
    if (children.empty()) return children.push_back(target);
    const bool byY = plainAligned(nodes[target], nodes[children.front()]);
    const auto key = [&](std::size_t i) { return byY ? nodes[i].y : nodes[i].x; };
    if (key(target) < key(children.front())) return children.push_front(target);
    auto it = std::next(children.begin());
    while (it != children.end() && key(*it) <= key(target)) ++it;
    children.insert(it, target);
}

long plainFind(const std::vector<Plain>& nodes, const std::string& key) {
    for (const bool concepts : {true, false}) {
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].isConcept == concepts && nodes[i].id == key) return static_cast<long>(i);
        }
    }
    return -1;
}

// Few nodes and many links make long lists of one source, whose blocks split.
void compareRandomMap(std::mt19937& random, int nodeCount, int linkCount, int spread) {
    std::uniform_int_distribution<int> coordinate(-spread, spread), width(-20, 200), id(0, nodeCount / 2 + 2);
    std::vector<Plain> plain;
    for (int i = 0; i < nodeCount; ++i) {
        plain.push_back({std::to_string(id(random)), coordinate(random), coordinate(random), width(random), random() % 2 == 0, {}});
    }
    std::stable_partition(plain.begin(), plain.end(), [](const Plain& n) { return n.isConcept; });  // as loaded
    ConceptMap fast;
    std::vector<MapNode*> nodes;
    for (const Plain& n : plain) {
        nodes.push_back(&appendNode(fast, n.isConcept ? NodeKind::Concept : NodeKind::LinkingPhrase, n.id, "",
                                    static_cast<std::int32_t>(n.x), static_cast<std::int32_t>(n.y), static_cast<std::int32_t>(n.width)));
    }
    for (int i = 0; i < linkCount; ++i) {
        const std::string from = std::to_string(id(random)), to = std::to_string(id(random));
        const long source = plainFind(plain, from), target = plainFind(plain, to);
        ASSERT_EQ(findNode(fast, from), source < 0 ? nullptr : nodes[static_cast<std::size_t>(source)]);
        ASSERT_EQ(findNode(fast, to), target < 0 ? nullptr : nodes[static_cast<std::size_t>(target)]);
        if (source < 0 || target < 0) continue;
        plainAddLink(plain, static_cast<std::size_t>(source), static_cast<std::size_t>(target));
        addLink(*nodes[static_cast<std::size_t>(source)], *nodes[static_cast<std::size_t>(target)]);
    }
    for (std::size_t i = 0; i < plain.size(); ++i) {
        std::vector<MapNode*> expected;
        for (const std::size_t child : plain[i].children) expected.push_back(nodes[child]);
        ASSERT_EQ(std::vector<MapNode*>(nodes[i]->children.begin(), nodes[i]->children.end()), expected) << "node " << i;
    }
}

}  // namespace

TEST(LinkOrder, RandomMapsAgainstThePlainRules) {
    std::mt19937 random(20261207);
    for (int map = 0; map < 3000 && !HasFatalFailure(); ++map) {
        compareRandomMap(random, 2 + map % 30, map % 80, map % 3 == 0 ? 8 : 400);
    }
    for (int map = 0; map < 12 && !HasFatalFailure(); ++map) compareRandomMap(random, 8, 3000, map % 2 == 0 ? 5 : 3000);
}
