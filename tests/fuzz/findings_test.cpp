// Walks and ratings on the maps where hostile sizes once made them run
// without end: very narrow round maps, whose rings fold into loops that never
// reach the next ring, and flat maps too narrow to hold a tile of the walk,
// which searched rings up to the far corner before giving up.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "civ2map.h"
#include "civ2rules.h"
#include "civ2sav.h"
#include "fixture.h"

namespace {

const char* const OFF_MAP = "RingIterator went completely off map.";

// Advances a walk until it reaches distance 6 or gives up; returns the
// number of advances, or -1 once it passes the bound.
long advancesToDistanceSix(Civ2Map& map, int x, int y, long bound)
{
    Civ2Map::RingIterator ring(x, y, map);
    long advances = 0;
    try {
        while (ring.getDistance() < 6) {
            if (++advances > bound)
                return -1;
            ++ring;
            EXPECT_GE(ring.getX(), 0);
            EXPECT_LT(ring.getX(), map.getWidth());
            EXPECT_GE(ring.getY(), 0);
            EXPECT_LT(ring.getY(), map.getHeight());
        }
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), OFF_MAP);
    }
    return advances;
}

TEST(HostileSizes, EveryWalkOnSmallMapsEnds)
{
    for (bool flat : {false, true})
        for (int width = 1; width <= 12; ++width)
            for (int height = 1; height <= 12; ++height) {
                Civ2Rules rules;
                Civ2Map map(width, height, (width / 2) * height + 1, false, 0, flat, rules);
                for (int y = 0; y < height; ++y)
                    for (int x = y % 2; x < width; x += 2)
                        EXPECT_NE(advancesToDistanceSix(map, x, y, 10000), -1)
                            << (flat ? "flat " : "round ") << width << " x " << height << " from (" << x << ", "
                            << y << ")";
            }
}

// A 2 x 2 round map-only file, loaded and rated tile by tile: the walk
// around (1, 1) folds onto itself in ring 2.
TEST(HostileSizes, RatingATinyRoundMapEnds)
{
    fixture::TempDir dir;
    const std::string path = fixture::writeLayout(dir, "tiny.mp", fixture::makeLayout(fixture::MAP_ONLY, 2, 2));
    Civ2SavedGame game;
    game.load(path);
    Civ2Map& map = *game.getMap(0);
    for (const auto& tile : {std::make_pair(0, 0), std::make_pair(1, 1)}) {
        map.calcFertility(tile.first, tile.second);
        EXPECT_GE(map.getFertility(tile.first, tile.second), 8);
        map.adjustFertility(tile.first, tile.second);
    }
}

// Flat maps with no tile for the walk's parity, as tall as a file allows:
// the walk gives up at its first advance instead of searching every ring up
// to the far corner.
TEST(HostileSizes, WalksOnFlatMapsWithoutTilesGiveUpAtOnce)
{
    struct Case {
        int width;
        int x;
        int y;
    };
    const Case cases[] = {
        {1, 0, 64000},  // one column: no tile at all
        {2, 0, 64001},  // two columns: no tile of odd x + y
        {1, 8, 63136},  // centre off the map
    };
    for (const Case& c : cases) {
        Civ2Rules rules;
        Civ2Map map(c.width, 65535, (c.width / 2) * 65535 + 1, false, 0, true, rules);
        Civ2Map::RingIterator ring(c.x, c.y, map);
        const auto start = std::chrono::steady_clock::now();
        try {
            ++ring;
            ADD_FAILURE() << "width " << c.width << ": reported (" << ring.getX() << ", " << ring.getY() << ")";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), OFF_MAP);
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 100) << "width " << c.width;
    }
}

} // namespace
