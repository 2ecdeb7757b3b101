// Ring walks over maps of sizes, flatness and centres taken from the input.
// A walk either reaches distance 6 or gives up with exactly "RingIterator
// went completely off map." within a bounded number of advances, and every
// tile it reports past the centre lies on the map. Where nothing wraps onto
// itself (flat maps, and round maps wide enough around a centre on the map)
// each ring holds exactly the tiles of its ring number that lie on the map.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>

#include "civ2map.h"
#include "civ2rules.h"
#include "fuzz_support.h"
#include "walk_case.h"

namespace {

const int TARGET_DISTANCE = 6;
const long long MAX_ADVANCES = 100000;
const char* const OFF_MAP_MESSAGE = "RingIterator went completely off map.";
// Round maps at least this wide do not fold rings 1 to 5 onto themselves.
const int UNFOLDED_WIDTH = 4 * TARGET_DISTANCE + 4;

using Case = fuzz::WalkCase;

// Whether the walk counts (x, y) as on the map, by its edge rules: on a flat
// map odd rows have no tile at x = 0 and even rows none at x = width - 1;
// on a round map x is wrapped and only y can leave the map.
bool onMap(const Case& c, int x, int y)
{
    if (y < 0 || y >= c.height)
        return false;
    if (!c.flat)
        return true;
    if (x < 0 || (y % 2 == 1 && x <= 0))
        return false;
    return x < c.width && !(y % 2 == 0 && x == c.width - 1);
}

int ringNumber(int dx, int dy)
{
    const int a = std::abs(dx + dy) / 2;
    const int b = std::abs(dy - dx) / 2;
    const int larger = std::max(a, b);
    return larger + ((a == b && a >= 2) ? 1 : 0);
}

// The offset from the centre along x, taken modulo the width on a round map.
int offsetX(const Case& c, int x)
{
    int dx = x - c.centreX;
    if (!c.flat) {
        dx %= c.width;
        if (dx > c.width / 2)
            dx -= c.width;
        else if (dx < -(c.width - 1) / 2)
            dx += c.width;
    }
    return dx;
}

bool ringsAreExact(const Case& c)
{
    if (c.flat)
        return true;
    return c.width >= UNFOLDED_WIDTH && c.width % 2 == 0 && c.centreX >= 0 && c.centreX < c.width &&
           (c.centreX + c.centreY) % 2 == 0;
}

void consider(const Case& c, int x, int y, int& farthest)
{
    const int dx = x - c.centreX;
    const int dy = y - c.centreY;
    if ((dx + dy) % 2 == 0 && onMap(c, x, y))
        farthest = std::max(farthest, ringNumber(dx, dy));
}

// The largest ring number of a tile on a flat map; it lies in the outermost
// two rows or columns, since the number grows with |dx| + |dy|.
int farthestRing(const Case& c)
{
    int farthest = -1;
    for (int y : {0, 1, c.height - 2, c.height - 1})
        for (int x = 0; x < c.width; ++x)
            consider(c, x, y, farthest);
    for (int x : {0, 1, c.width - 2, c.width - 1})
        for (int y = 0; y < c.height; ++y)
            consider(c, x, y, farthest);
    return farthest;
}

std::string describe(const Case& c)
{
    return std::string(c.flat ? "flat" : "round") + " map " + std::to_string(c.width) + " x " +
           std::to_string(c.height) + " from (" + std::to_string(c.centreX) + ", " + std::to_string(c.centreY) + ")";
}

using Tile = std::pair<int, int>; // (dx, dy) from the centre

void walk(const Case& c)
{
    Civ2Rules rules;
    const int area = (c.width / 2) * c.height + 1;
    Civ2Map map(c.width, c.height, area, false, 0, c.flat, rules);

    Civ2Map::RingIterator ring(c.centreX, c.centreY, map);
    std::set<Tile> visited;
    long long advances = 0;
    bool gaveUp = false;
    int lastDistance = 0;
    while (ring.getDistance() < TARGET_DISTANCE) {
        if (++advances > MAX_ADVANCES)
            fuzz::fail(describe(c) + ": no end after " + std::to_string(MAX_ADVANCES) + " advances");
        try {
            ++ring;
        } catch (const std::exception& error) {
            if (typeid(error) != typeid(std::runtime_error) || std::string(error.what()) != OFF_MAP_MESSAGE)
                fuzz::fail(describe(c) + ": the walk failed with " + error.what());
            gaveUp = true;
            break;
        }
        const int x = ring.getX();
        const int y = ring.getY();
        const int distance = ring.getDistance();
        if (distance < lastDistance || distance < 1)
            fuzz::fail(describe(c) + ": distance went from " + std::to_string(lastDistance) + " to " +
                       std::to_string(distance));
        lastDistance = distance;
        if (x < 0 || x >= c.width || y < 0 || y >= c.height)
            fuzz::fail(describe(c) + ": reported (" + std::to_string(x) + ", " + std::to_string(y) +
                       ") at distance " + std::to_string(distance));
        if (!ringsAreExact(c) || distance >= TARGET_DISTANCE)
            continue;
        const Tile tile{offsetX(c, x), y - c.centreY};
        if (ringNumber(tile.first, tile.second) != distance)
            fuzz::fail(describe(c) + ": reported (" + std::to_string(x) + ", " + std::to_string(y) +
                       ") at distance " + std::to_string(distance) + ", its ring is " +
                       std::to_string(ringNumber(tile.first, tile.second)));
        if (!visited.insert(tile).second)
            fuzz::fail(describe(c) + ": reported (" + std::to_string(x) + ", " + std::to_string(y) + ") twice");
    }
    if (!ringsAreExact(c))
        return;

    // Every tile of rings 1 to 5 on the map was reported.
    const int lastRing = TARGET_DISTANCE - 1;
    for (int dy = -2 * lastRing; dy <= 2 * lastRing; ++dy)
        for (int dx = -2 * lastRing; dx <= 2 * lastRing; ++dx) {
            const int number = ringNumber(dx, dy);
            if ((dx + dy) % 2 == 0 && number >= 1 && number <= lastRing && onMap(c, c.centreX + dx, c.centreY + dy) &&
                visited.count({dx, dy}) == 0)
                fuzz::fail(describe(c) + ": never reported (" + std::to_string(c.centreX + dx) + ", " +
                           std::to_string(c.centreY + dy) + ") of ring " + std::to_string(number));
        }
    // A walk that gave up left no tile of the map in any later ring.
    if (gaveUp && c.flat && farthestRing(c) >= TARGET_DISTANCE)
        fuzz::fail(describe(c) + ": gave up, yet the map has tiles in ring " + std::to_string(farthestRing(c)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteReader input(data, size);
    // Up to four cases per input, as many as its bytes begin.
    for (int i = 0; i < 4 && (i == 0 || !input.exhausted()); ++i) {
        const Case c = fuzz::readWalkCase(input);
        try {
            walk(c);
        } catch (const std::runtime_error& error) {
            fuzz::fail(describe(c) + ": " + error.what());
        }
    }
    return 0;
}
