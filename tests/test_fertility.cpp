// The fertility rating of a tile from the terrain around it, and its lowering
// near cities.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "civ2map.h"
#include "civ2rules.h"
#include "civ2sav.h"

namespace {

const Civ2Map::Civilization OWNER = Civ2Map::BLUE;

// A flat map of width and height 20 (200 tiles), every tile of terrain fill.
struct TestMap {
    Civ2Rules rules;
    Civ2Map map;
    explicit TestMap(Civ2TerrainType fill, int mapIndex = 0) : map(20, 20, 200, false, mapIndex, true, rules)
    {
        for (int y = 0; y < 20; ++y)
            for (int x = y % 2; x < 20; x += 2) {
                map.setTerrainType(x, y, fill);
                map.setOwnership(x, y, OWNER);
            }
    }
};

void placeCity(Civ2Map& map, int x, int y)
{
    Improvements improvements;
    improvements.setCity(true);
    map.setImprovements(x, y, improvements);
}

enum class Operation { Rate, Adjust, AdjustTwice };

const int NO_CITY = 99;

// The grassland shield lies on the tiles where (x + 3y) mod 8 is 0 or 2:
// (10, 10) has it, (11, 11) has not.
TEST(Fertility, DocumentedCases)
{
    struct Case {
        const char* name;
        Operation operation;
        int x;
        int y;
        Civ2TerrainType around; // every tile but (x, y)
        Civ2TerrainType centre;
        int cityDx; // a city at this offset from (x, y), unless NO_CITY
        int cityDy;
        unsigned char before; // fertility stored before
        unsigned char after;  // fertility stored after
        int mapIndex;
        const char* error; // the failure expected, or nullptr
    };
    const Case cases[] = {
        // F = 32, S = 0, T = 64: R = 10.
        {"all ocean", Operation::Rate, 10, 10, OCEAN, OCEAN, NO_CITY, 0, 3, 10, 0, nullptr},
        // F = 32, S = 64, T = 0: R = 14.
        {"all forest", Operation::Rate, 10, 10, FOREST, FOREST, NO_CITY, 0, 3, 14, 0, nullptr},
        // F = 32, S = 8, T = 56: R = 10.5, rounding up.
        {"forest centre", Operation::Rate, 10, 10, OCEAN, FOREST, NO_CITY, 0, 3, 11, 0, nullptr},
        // Mined, not irrigated: S = 2, F = 32, T = 56: R = 9.75.
        {"hills centre", Operation::Rate, 10, 10, OCEAN, HILLS, NO_CITY, 0, 3, 10, 0, nullptr},
        // F = 38.666668, S = 0, T = 56: R = 10.75, v = 11, less 1 for the shield.
        {"grassland centre without shield", Operation::Rate, 11, 11, OCEAN, GRASSLAND, NO_CITY, 0, 3, 10, 0,
         nullptr},
        // S = 4: R = 11.25.
        {"grassland centre with shield", Operation::Rate, 10, 10, OCEAN, GRASSLAND, NO_CITY, 0, 3, 11, 0, nullptr},
        // R = 2 and 6, raised to 8.
        {"all glacier", Operation::Rate, 10, 10, GLACIER, GLACIER, NO_CITY, 0, 3, 8, 0, nullptr},
        {"all desert", Operation::Rate, 10, 10, DESERT, DESERT, NO_CITY, 0, 15, 8, 0, nullptr},
        // F = 85.333328, S = 18 or 14: R = 18.25 or 17.75, v = 18, cut to 15.
        {"all grassland, shield", Operation::Rate, 10, 10, GRASSLAND, GRASSLAND, NO_CITY, 0, 3, 15, 0, nullptr},
        {"all grassland, no shield", Operation::Rate, 11, 11, GRASSLAND, GRASSLAND, NO_CITY, 0, 3, 15, 0, nullptr},
        // Only 7 tiles: F = 13, T = 26: R = 4.0625.
        {"corner of a flat ocean map", Operation::Rate, 0, 0, OCEAN, OCEAN, NO_CITY, 0, 3, 8, 0, nullptr},
        // (0, -4) is a tip of ring 3, which ring 2 steps over.
        {"city at distance 3", Operation::Adjust, 10, 10, OCEAN, OCEAN, 0, -4, 12, 4, 0, nullptr},
        // (0, -6) is a corner of ring 3's square, visited in ring 4.
        {"nearest city at distance 4", Operation::Adjust, 10, 10, OCEAN, OCEAN, 0, -6, 12, 12, 0, nullptr},
        {"fertility 5, city at distance 1", Operation::Adjust, 10, 10, OCEAN, OCEAN, 1, -1, 5, 5, 0, nullptr},
        {"city on the tile itself", Operation::Adjust, 10, 10, OCEAN, OCEAN, 0, 0, 15, 7, 0, nullptr},
        {"adjusted twice", Operation::AdjustTwice, 10, 10, OCEAN, OCEAN, -3, 1, 12, 4, 0, nullptr},
        {"no rules for map 4", Operation::Rate, 10, 10, FOREST, FOREST, NO_CITY, 0, 6, 6, 4,
         "No terrain rules for map 4 are defined."},
        {"rating a tile of odd x + y", Operation::Rate, 11, 10, OCEAN, OCEAN, NO_CITY, 0, 0, 0, 0,
         "Invalid x,y coordinates, x+y must be even."},
        {"adjusting a tile below the map", Operation::Adjust, 0, 20, OCEAN, OCEAN, NO_CITY, 0, 0, 0, 0,
         "Invalid x,y coordinates: out of bounds."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestMap test(c.around, c.mapIndex);
        Civ2Map& map = test.map;
        const bool onTheMap = (c.x + c.y) % 2 == 0 && c.y < 20;
        if (onTheMap) {
            map.setTerrainType(c.x, c.y, c.centre);
            map.setFertility(c.x, c.y, c.before);
        }
        if (c.cityDx != NO_CITY)
            placeCity(map, c.x + c.cityDx, c.y + c.cityDy);

        std::string failure;
        try {
            if (c.operation == Operation::Rate)
                map.calcFertility(c.x, c.y);
            else
                map.adjustFertility(c.x, c.y);
            if (c.operation == Operation::AdjustTwice)
                map.adjustFertility(c.x, c.y);
        } catch (const std::runtime_error& error) {
            failure = error.what();
        }
        EXPECT_EQ(failure, c.error ? c.error : "");
        if (onTheMap) {
            EXPECT_EQ(map.getFertility(c.x, c.y), c.after);
            EXPECT_EQ(map.getOwnership(c.x, c.y), OWNER);
        }
    }
}

// Codes 11 to 63 fit in a tile record but have no rule row: they rate as the
// terrain of their low four bits when that is a real one (so 0x22 is
// grassland), otherwise as a terrain that yields nothing.
TEST(Fertility, TerrainCodesAboveTenRateAsTheirLowFourBitsOrAsNothing)
{
    // All 21 tiles of one terrain, rated at (10, 10), which has the shield:
    // R = 2 x (3 food + 2 shields + trade) of one tile, bonuses included.
    const unsigned char allOfOneTerrain[11] = {8, 14, 15, 14, 8, 8, 10, 8, 8, 8, 10};
    for (int code = 11; code <= 63; ++code) {
        TestMap test(static_cast<Civ2TerrainType>(code));
        test.map.calcFertility(10, 10);
        const int row = code & 0x0f;
        EXPECT_EQ(test.map.getFertility(10, 10), row <= OCEAN ? allOfOneTerrain[row] : 8) << "code " << code;
        EXPECT_EQ(test.map.hasGrasslandShield(10, 10), row == GRASSLAND) << "code " << code;
    }
}

// A generated map of terrain stripes, rows repeating every 7:
//   y mod 7:  0      1          2          3      4      5          6
//             ocean  grassland  grassland  hills  swamp  grassland  grassland
// Every tile is rated; a few are checked against values worked out by hand.
// A grassland tile yields food 2 + 2/3, which in single precision is
// g = 2.6666667 (2.66666674613952637), and 1 shield where (x + 3y) mod 8 is
// 0 or 2; hills yield food 1 and shields 0 + 0.5 (mined, not irrigated);
// swamp food 1; ocean food 1, trade 2.
TEST(Fertility, RatingEveryTileOfAGeneratedMap)
{
    const Civ2TerrainType stripes[7] = {OCEAN, GRASSLAND, GRASSLAND, HILLS, SWAMP, GRASSLAND, GRASSLAND};
    Civ2Rules rules;
    Civ2Map map(20, 20, 200, false, 0, true, rules);
    for (int y = 0; y < 20; ++y)
        for (int x = y % 2; x < 20; x += 2) {
            map.setTerrainType(x, y, stripes[y % 7]);
            map.setOwnership(x, y, static_cast<Civ2Map::Civilization>((x + y) % 16));
        }
    for (int y = 0; y < 20; ++y)
        for (int x = y % 2; x < 20; x += 2) {
            map.calcFertility(x, y);
            EXPECT_GE(map.getFertility(x, y), 8);
            EXPECT_LE(map.getFertility(x, y), 15);
            EXPECT_EQ(map.getOwnership(x, y), (x + y) % 16);
        }

    // (0, 0), ocean, the corner: 7 tiles. Self: ocean. Inner: (2, 0) ocean,
    // (1, 1) and (0, 2) grassland, no shield: food 1 + g + g = 6.3333335.
    // Outer: (3, 1) grassland, (2, 2) grassland with shield, (1, 3) hills:
    // food g + g + 1 = 6.3333335, shields 1.5.
    // F = 4 + 12.666667 + 6.3333335 = 23, S = 1.5, T = 8 + 4 = 12;
    // R = (69 + 3 + 12) / 16 = 5.25, v = 5, raised to 8.
    EXPECT_EQ(map.getFertility(0, 0), 8);

    // (9, 1), grassland without shield, two rows cut off above. Self: food g.
    // Inner: (10, 0) ocean, (11, 1) g, (10, 2) g + shield, (9, 3) hills,
    // (8, 2) g, (7, 1) g + shield, (8, 0) ocean: food 3 + 4g, shields 2.5,
    // trade 4. Outer: (12, 0) ocean, (12, 2) g + shield, (11, 3) hills,
    // (10, 4) swamp, (8, 4) swamp, (7, 3) hills, (6, 2) g, (6, 0) ocean:
    // food 6 + 2g, shields 2, trade 4.
    // F = 49.333336 (exactly 49 1/3 but for the rounding of g), S = 5 + 2 = 7,
    // T = 8 + 4 = 12; R = (148 + 14 + 12) / 16 = 10.875, v = 11, less 1 for
    // the missing shield: 10.
    EXPECT_EQ(map.getFertility(9, 1), 10);

    // (9, 3), hills. Self: food 1, shields 0.5. Inner, in walk order: (9, 1)
    // g, (10, 2) g + shield, (11, 3) hills, (10, 4) swamp, (9, 5) g + shield,
    // (8, 4) swamp, (7, 3) hills, (8, 2) g: food 4 + 4g = 14.666667, shields
    // 3. Outer: two ocean in row 0, two swamp and eight grassland (four with
    // the shield): food 4 + 8g = 25.333332, shields 4, trade 4.
    // F = 4 + 29.333334 + 25.333332 = 58.666664, S = 2 + 6 + 4 = 12, T = 4;
    // R = (175.99999 + 24 + 4) / 16 = 12.75, v = 13.
    EXPECT_EQ(map.getFertility(9, 3), 13);

    // (11, 7), ocean, where single precision decides. Self: food 1, trade 2.
    // Inner: six grassland (two with the shield) and the ocean tiles
    // (13, 7) and (9, 7): food 2 + 6g, which the walk's order of additions
    // brings to exactly 18, shields 2, trade 4. Outer: (10, 4) and (12, 4)
    // swamp, then grassland (13, 5), (14, 6), (14, 8), (13, 9), hills
    // (12, 10), (10, 10), grassland (9, 9), (8, 8), (8, 6), (9, 5): food
    // 1, 2, 4.666667, 7.333334, 10.000001, 12.666668, 13.666668, 14.666668,
    // 17.333334, 20, 22.666666, 25.333332 (not 25 1/3), shields 5 + 1 = 6.
    // F = 4 + 36 + 25.333332 = 65.33333 (65.3333282), S = 4 + 6 = 10,
    // T = 8 + 8 = 16; 3F + 2S + T = 231.99998 (not 232), R = 14.499999, v = 14.
    // With exact sums R would be 14.5 and v 15.
    EXPECT_EQ(map.getFertility(11, 7), 14);
}

} // namespace
