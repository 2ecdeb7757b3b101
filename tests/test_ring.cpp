// The walk around a tile: the order of its rings, its edges on flat and round
// maps, reset and copy, and how it ends on maps too small to go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <map>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "civ2map.h"
#include "civ2rules.h"

// Counts every allocation of the test program, so that a test can tell
// whether the walk allocates. Kept out of line: inlined into each other's
// callers, malloc and free here draw a false warning about mismatched
// allocation functions.
namespace {
std::atomic<long> allocationCount{0};
}

[[gnu::noinline]] void* operator new(std::size_t size)
{
    ++allocationCount;
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}

[[gnu::noinline]] void operator delete(void* block) noexcept
{
    std::free(block);
}

[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace {

const char* const OFF_MAP = "RingIterator went completely off map.";

struct Tile {
    int x;
    int y;
    int distance;
};

bool operator==(const Tile& a, const Tile& b)
{
    return a.x == b.x && a.y == b.y && a.distance == b.distance;
}

std::ostream& operator<<(std::ostream& out, const Tile& t)
{
    return out << "(" << t.x << ", " << t.y << ") d" << t.distance;
}

// A map of the given size; the area holds every tile of the grid, odd widths
// included.
struct TestMap {
    Civ2Rules rules;
    Civ2Map map;
    TestMap(int width, int height, bool flat) : map(width, height, (width / 2) * height + 1, false, 0, flat, rules) {}
};

Tile current(const Civ2Map::RingIterator& ring)
{
    return Tile{ring.getX(), ring.getY(), ring.getDistance()};
}

// The tiles of a walk up to maxDistance, the centre first.
std::vector<Tile> walkTo(Civ2Map& map, int x, int y, int maxDistance)
{
    std::vector<Tile> tiles;
    Civ2Map::RingIterator ring(x, y, map);
    while (ring.getDistance() <= maxDistance) {
        tiles.push_back(current(ring));
        ++ring;
    }
    return tiles;
}

// The tiles of a walk until it gives up (or passes maxAdvances, a failure).
std::vector<Tile> walkToTheEnd(Civ2Map& map, int x, int y, int maxAdvances = 100000)
{
    std::vector<Tile> tiles;
    Civ2Map::RingIterator ring(x, y, map);
    tiles.push_back(current(ring));
    try {
        for (int advance = 0; advance < maxAdvances; ++advance) {
            ++ring;
            tiles.push_back(current(ring));
        }
        ADD_FAILURE() << "the walk from (" << x << ", " << y << ") went on past " << maxAdvances << " advances";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), OFF_MAP);
    }
    return tiles;
}

// max(a, b), plus 1 when a == b >= 2, with a and b the offsets along the
// map's two tile axes.
int ringNumber(int dx, int dy)
{
    const int a = std::abs(dx + dy) / 2;
    const int b = std::abs(dy - dx) / 2;
    return std::max(a, b) + (a == b && a >= 2 ? 1 : 0);
}

// Whether the walk counts (x, y) as a tile: rows 0 to height - 1; on a flat
// map also x from 0 (1 on odd rows) to width - 1 (width - 2 on even rows).
bool onMap(int width, int height, bool flat, int x, int y)
{
    if (y < 0 || y >= height)
        return false;
    if (!flat)
        return true;
    return x >= (y % 2 == 1 ? 1 : 0) && x <= (y % 2 == 0 ? width - 2 : width - 1);
}

// The offsets of rings 0 to 3 in visiting order.
const std::pair<int, int> RING_OFFSETS[] = {
    {0, 0},
    // ring 1
    {0, -2}, {1, -1}, {2, 0}, {1, 1}, {0, 2}, {-1, 1}, {-2, 0}, {-1, -1},
    // ring 2
    {-1, -3}, {1, -3}, {2, -2}, {3, -1}, {3, 1}, {2, 2}, {1, 3}, {-1, 3}, {-2, 2}, {-3, 1}, {-3, -1}, {-2, -2},
    // ring 3
    {-2, -4}, {-1, -5}, {0, -4}, {1, -5}, {2, -4}, {3, -3}, {4, -2}, {5, -1}, {4, 0}, {5, 1}, {4, 2}, {3, 3},
    {2, 4}, {1, 5}, {0, 4}, {-1, 5}, {-2, 4}, {-3, 3}, {-4, 2}, {-5, 1}, {-4, 0}, {-5, -1}, {-4, -2}, {-3, -3},
};

TEST(RingOrder, RingsZeroToThreeFollowTheOffsetTableAndTheFortySixthTileIsInRingFour)
{
    struct Centre {
        bool flat;
        int x;
        int y;
    };
    // Round centres on the west edge see x wrapped; nothing is cut off.
    const Centre centres[] = {{true, 20, 20}, {true, 13, 9}, {true, 30, 34}, {false, 20, 20}, {false, 0, 12},
                              {false, 1, 27}};
    for (const Centre& c : centres) {
        TestMap test(40, 40, c.flat);
        std::vector<Tile> expected;
        for (const auto& offset : RING_OFFSETS) {
            const int dx = offset.first;
            const int dy = offset.second;
            expected.push_back(Tile{(c.x + dx + 40) % 40, c.y + dy, ringNumber(dx, dy)});
        }
        Civ2Map::RingIterator ring(c.x, c.y, test.map);
        std::vector<Tile> walked;
        for (int tile = 0; tile < 45; ++tile, ++ring)
            walked.push_back(current(ring));
        EXPECT_EQ(walked, expected) << (c.flat ? "flat" : "round") << " from (" << c.x << ", " << c.y << ")";
        EXPECT_EQ(ring.getDistance(), 4);
    }
}

TEST(RingWalk, NearTheEdgesOfATwentyByTwentyMap)
{
    struct Case {
        const char* name;
        bool flat;
        int x;
        int y;
        std::vector<Tile> expected; // distances 0 to 2
    };
    const Case cases[] = {
        {"flat from (0, 0)", true, 0, 0,
         {{0, 0, 0}, {2, 0, 1}, {1, 1, 1}, {0, 2, 1}, {3, 1, 2}, {2, 2, 2}, {1, 3, 2}}},
        {"round from (0, 0)", false, 0, 0,
         {{0, 0, 0}, {2, 0, 1}, {1, 1, 1}, {0, 2, 1}, {19, 1, 1}, {18, 0, 1}, {3, 1, 2}, {2, 2, 2}, {1, 3, 2},
          {19, 3, 2}, {18, 2, 2}, {17, 1, 2}}},
        {"round from (0, 10)", false, 0, 10,
         {{0, 10, 0}, {0, 8, 1}, {1, 9, 1}, {2, 10, 1}, {1, 11, 1}, {0, 12, 1}, {19, 11, 1}, {18, 10, 1},
          {19, 9, 1}, {19, 7, 2}, {1, 7, 2}, {2, 8, 2}, {3, 9, 2}, {3, 11, 2}, {2, 12, 2}, {1, 13, 2},
          {19, 13, 2}, {18, 12, 2}, {17, 11, 2}, {17, 9, 2}, {18, 8, 2}}},
        // x of 20 and more is off a flat map of width 20.
        {"flat from (19, 9)", true, 19, 9,
         {{19, 9, 0}, {19, 7, 1}, {19, 11, 1}, {18, 10, 1}, {17, 9, 1}, {18, 8, 1}, {18, 6, 2}, {18, 12, 2},
          {17, 11, 2}, {16, 10, 2}, {16, 8, 2}, {17, 7, 2}}},
    };
    for (const Case& c : cases) {
        TestMap test(20, 20, c.flat);
        EXPECT_EQ(walkTo(test.map, c.x, c.y, 2), c.expected) << c.name;
        std::vector<Tile> throughRingThree = walkTo(test.map, c.x, c.y, 3);
        ASSERT_GT(throughRingThree.size(), c.expected.size()) << c.name;
        EXPECT_EQ(throughRingThree[c.expected.size()].distance, 3) << c.name;
    }
}

TEST(RingWalk, ResetAndCopyRepeatTheWalk)
{
    TestMap test(30, 30, false);
    const std::vector<Tile> whole = walkTo(test.map, 1, 5, 4);

    Civ2Map::RingIterator ring(1, 5, test.map);
    for (int advance = 0; advance < 17; ++advance)
        ++ring;
    Civ2Map::RingIterator copy(ring);
    ring.reset();
    EXPECT_EQ(current(ring), (Tile{1, 5, 0}));
    for (const Tile& expected : whole) {
        EXPECT_EQ(current(ring), expected);
        ++ring;
    }
    // The copy goes on from where it was taken, untouched by the reset.
    for (std::size_t index = 17; index < whole.size(); ++index) {
        EXPECT_EQ(current(copy), whole[index]);
        ++copy;
    }
}

TEST(RingWalkEnd, SmallMapsThrowOnceNoTileIsLeft)
{
    struct Case {
        const char* name;
        int size;
        bool flat;
        int x;
        int y;
        std::size_t tiles; // reported before the walk gives up, centre included
        Tile last;
    };
    const Case cases[] = {
        {"flat 6 x 6 from (3, 1)", 6, true, 3, 1, 18, {0, 4, 3}},
        {"round 8 x 8 from (0, 0)", 8, false, 0, 0, 25, {4, 0, 3}},
    };
    for (const Case& c : cases) {
        TestMap test(c.size, c.size, c.flat);
        const std::vector<Tile> tiles = walkToTheEnd(test.map, c.x, c.y);
        EXPECT_EQ(tiles.size(), c.tiles) << c.name;
        EXPECT_EQ(tiles.back(), c.last) << c.name;
    }
}

// On a large map each ring d holds exactly the tiles of ring number d that
// lie on the map, each once; near an edge the cut-off tiles are missing and
// nothing else changes. Round maps take dx modulo the width.
TEST(RingNumbers, EveryTileOfRingDIsVisitedExactlyOnceInRingD)
{
    const int size = 48;
    const int maxDistance = 6;
    for (bool flat : {true, false}) {
        TestMap test(size, size, flat);
        for (int cy = 0; cy < size; cy += 3)
            for (int cx = cy % 2; cx < size; cx += 2) {
                std::map<std::pair<int, int>, int> expected;
                for (int dy = -2 * maxDistance - 2; dy <= 2 * maxDistance + 2; ++dy)
                    for (int dx = -2 * maxDistance - 2; dx <= 2 * maxDistance + 2; ++dx) {
                        const int x = flat ? cx + dx : (cx + dx + size) % size;
                        if ((dx + dy) % 2 == 0 && ringNumber(dx, dy) <= maxDistance &&
                            onMap(size, size, flat, x, cy + dy))
                            expected[{x, cy + dy}] = ringNumber(dx, dy);
                    }
                std::map<std::pair<int, int>, int> visited;
                for (const Tile& t : walkTo(test.map, cx, cy, maxDistance)) {
                    const bool firstVisit = visited.emplace(std::make_pair(t.x, t.y), t.distance).second;
                    EXPECT_TRUE(firstVisit) << "(" << t.x << ", " << t.y << ") twice from (" << cx << ", " << cy << ")";
                }
                EXPECT_EQ(visited, expected) << (flat ? "flat" : "round") << " from (" << cx << ", " << cy << ")";
            }
    }
}

// Every walk on a small map reaches distance 6 or gives up within a bounded
// number of advances, reporting only tiles on the map. On a flat map it gives
// up only when it has visited every tile, each once and in its own ring.
TEST(RingWalkEnd, WalksOnSmallMapsEndAndFlatOnesMissNoTile)
{
    const int maxAdvances = 5000;
    for (bool flat : {true, false})
        for (int width = 1; width <= 12; ++width)
            for (int height = 1; height <= 12; ++height) {
                TestMap test(width, height, flat);
                for (int cy = -2; cy < height + 2; ++cy)
                    for (int cx = -2 + (cy + 2) % 2; cx < width + 2; cx += 2) {
                        const std::string where = std::string(flat ? "flat " : "round ") + std::to_string(width) +
                                                  " x " + std::to_string(height) + " from (" + std::to_string(cx) +
                                                  ", " + std::to_string(cy) + ")";
                        Civ2Map::RingIterator ring(cx, cy, test.map);
                        std::vector<int> visits(static_cast<std::size_t>(width * height), 0);
                        bool gaveUp = false;
                        int advances = 0;
                        try {
                            while (ring.getDistance() < 6 && advances++ < maxAdvances) {
                                ++ring;
                                const int x = ring.getX();
                                const int y = ring.getY();
                                ASSERT_TRUE(x >= 0 && x < width && onMap(width, height, flat, x, y)) << where;
                                ++visits[static_cast<std::size_t>(y * width + x)];
                                if (flat) {
                                    EXPECT_EQ(ring.getDistance(), ringNumber(x - cx, y - cy)) << where;
                                }
                            }
                        } catch (const std::runtime_error& error) {
                            EXPECT_STREQ(error.what(), OFF_MAP) << where;
                            gaveUp = true;
                        }
                        ASSERT_LE(advances, maxAdvances) << where;
                        if (!flat)
                            continue;
                        // Every tile of a ring below the one the walk stopped in was visited once.
                        const int stoppedIn = gaveUp ? INT_MAX : ring.getDistance();
                        for (int y = 0; y < height; ++y)
                            for (int x = y % 2; x < width; x += 2) {
                                if (ringNumber(x - cx, y - cy) >= stoppedIn)
                                    continue;
                                const bool due = onMap(width, height, flat, x, y) && !(x == cx && y == cy);
                                EXPECT_EQ(visits[static_cast<std::size_t>(y * width + x)], due ? 1 : 0)
                                    << where << ": tile (" << x << ", " << y << ")";
                            }
                    }
            }
}

// A centre far off a flat map: the walk crosses the empty rings at once and
// then visits every tile of the map in its own ring.
TEST(RingWalkEnd, WalksFromFarOffAFlatMapVisitEveryTile)
{
    const std::pair<int, int> centres[] = {{1000001, 9}, {-2000000, -3000000}, {10, 1000000000}};
    for (const auto& centre : centres) {
        TestMap test(20, 20, true);
        const std::vector<Tile> tiles = walkToTheEnd(test.map, centre.first, centre.second);
        std::map<std::pair<int, int>, int> visited;
        for (std::size_t index = 1; index < tiles.size(); ++index) {
            const Tile& t = tiles[index];
            EXPECT_EQ(t.distance, ringNumber(t.x - centre.first, t.y - centre.second));
            visited.emplace(std::make_pair(t.x, t.y), t.distance);
        }
        EXPECT_EQ(tiles.size(), 201u) << "from (" << centre.first << ", " << centre.second << ")";
        EXPECT_EQ(visited.size(), 200u) << "from (" << centre.first << ", " << centre.second << ")";
    }
}

// A centre a thousand rows above a round map, in a column that is not on it:
// no step ever meets the centre's column, so ring 1 turns once, at the
// centre's row, and runs down-left for good. It crosses the map, one tile a
// row with x = -1 + 2 - (y + 1001) = -y modulo 20, and leaves it.
TEST(RingWalkEnd, ARoundWalkThatRunsStraightThroughTheMapEndsBelowIt)
{
    TestMap test(20, 20, false);
    std::vector<Tile> expected{{-1, -1001, 0}};
    for (int y = 0; y < 20; ++y)
        expected.push_back(Tile{(20 - y) % 20, y, 1});
    EXPECT_EQ(walkToTheEnd(test.map, -1, -1001), expected);
}

// Centres at the far ends of int: a walk that would need a coordinate beyond
// them gives up instead of running on; it reports only tiles on the map.
TEST(RingWalkEnd, CentresAtTheLimitsOfIntEnd)
{
    const std::pair<int, int> centres[] = {{INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {INT_MAX, 0},
                                           {INT_MIN, 1},       {0, INT_MAX},       {1, INT_MIN}};
    for (bool flat : {true, false})
        for (const auto& centre : centres) {
            TestMap test(20, 20, flat);
            const std::vector<Tile> tiles = walkToTheEnd(test.map, centre.first, centre.second, 1000);
            for (std::size_t index = 1; index < tiles.size(); ++index) {
                const Tile& t = tiles[index];
                EXPECT_TRUE(t.x >= 0 && t.x < 20 && onMap(20, 20, flat, t.x, t.y)) << t;
            }
        }
}

TEST(RingWalkCost, AdvancesInTheInteriorAllocateNothing)
{
    TestMap test(100, 100, false);
    Civ2Map::RingIterator ring(50, 50, test.map);
    const long before = allocationCount.load();
    while (ring.getDistance() <= 20)
        ++ring;
    EXPECT_EQ(allocationCount.load(), before);
}

} // namespace
