// The block list behind addLink against the ordering rule as written (a
// list and a scan), on random maps.
#include <gtest/gtest.h>

#include <list>
#include <random>

#include "map/concept_map.hpp"

using namespace cxl;

namespace {

struct Plain {
    long long x, y, width;
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

// Few nodes and many links make long lists of one source, whose blocks split.
void compareRandomMap(std::mt19937& random, int nodeCount, int linkCount, int spread) {
    std::uniform_int_distribution<int> coordinate(-spread, spread), width(-20, 200), pick(0, nodeCount - 1);
    std::vector<Plain> plain;
    ConceptMap fast;
    std::vector<MapNode*> nodes;
    for (int i = 0; i < nodeCount; ++i) {
        plain.push_back({coordinate(random), coordinate(random), width(random), {}});
        const Plain& n = plain.back();
        nodes.push_back(&appendNode(fast, NodeKind::Concept, std::to_string(i), "", static_cast<std::int32_t>(n.x),
                                    static_cast<std::int32_t>(n.y), static_cast<std::int32_t>(n.width)));
    }
    for (int i = 0; i < linkCount; ++i) {
        const auto source = static_cast<std::size_t>(pick(random)), target = static_cast<std::size_t>(pick(random));
        plainAddLink(plain, source, target);
        addLink(*nodes[source], *nodes[target]);
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
