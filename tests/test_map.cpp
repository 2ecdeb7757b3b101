// The map grid: construction, coordinates, the per-tile accessors, the
// civilisation views, the resource pattern and the two blocks in a file.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "civ2map.h"
#include "civ2sav.h"
#include "fixture.h"

namespace {

using fixture::failureOf;

using Bytes = std::string;

const int WIDTH = 8; // four tiles a row
const int HEIGHT = 4;
const int AREA = 16;

Bytes terrainBlockOf(const Civ2Map& map)
{
    std::ostringstream out;
    map.saveTerrainMap(out);
    return out.str();
}

Bytes civViewBlockOf(const Civ2Map& map)
{
    std::ostringstream out;
    map.saveCivViewMap(out);
    return out.str();
}

// A terrain block whose every byte differs from its neighbours.
Bytes patternedTerrain(int area)
{
    Bytes block;
    for (int i = 0; i < 6 * area; ++i)
        block.push_back(static_cast<char>((i * 37 + 11) & 0xff));
    return block;
}

void loadTerrain(Civ2Map& map, const Bytes& block)
{
    std::istringstream in(block);
    map.loadTerrainMap(in);
}

class MapTest : public ::testing::Test {
protected:
    Civ2Rules rules;
};

// ---------------------------------------------------------------------------
// Construction

TEST_F(MapTest, NewMapHoldsDefaultTiles)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    EXPECT_EQ(WIDTH, map.getWidth());
    EXPECT_EQ(HEIGHT, map.getHeight());
    EXPECT_FALSE(map.isFlat());
    EXPECT_EQ(1, map.getSeed());

    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = y % 2; x < WIDTH; x += 2) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            EXPECT_EQ(OCEAN, map.getTerrainType(x, y));
            EXPECT_FALSE(map.isRiver(x, y));
            EXPECT_FALSE(map.isResourceHidden(x, y));
            EXPECT_EQ(0, map.getImprovements(x, y).getByte());
            EXPECT_EQ(Civ2Map::RED, map.getCityRadius(x, y));
            EXPECT_EQ(0, map.getBodyCounter(x, y));
            EXPECT_EQ(0, map.getVisibility(x, y).getByte());
            EXPECT_EQ(0, map.getFertility(x, y));
            EXPECT_EQ(15, map.getOwnership(x, y));
            for (int civ = Civ2Map::WHITE; civ <= Civ2Map::PURPLE; ++civ)
                EXPECT_EQ(0, map.getCivView(x, y, static_cast<Civ2Map::Civilization>(civ)).getByte());
        }
    }
    Bytes record("\x0a\x00\x00\x00\x00\xf0", 6);
    Bytes expected;
    for (int tile = 0; tile < AREA; ++tile)
        expected += record;
    EXPECT_EQ(expected, terrainBlockOf(map));
    EXPECT_EQ(Bytes(7 * AREA, '\0'), civViewBlockOf(map));
}

TEST_F(MapTest, SeedAndFlatnessAreKept)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, false, 1, true, rules);
    EXPECT_TRUE(map.isFlat());
    map.setSeed(0xBEEF);
    EXPECT_EQ(0xBEEF, map.getSeed());
}

// The walk that sets the resource pattern visits every tile inside width and
// height; one beyond the area ends construction.
TEST_F(MapTest, AreaSmallerThanTheGridFailsConstruction)
{
    EXPECT_EQ("Invalid x,y coordinates: out of bounds.",
              failureOf([&] { Civ2Map(WIDTH, HEIGHT, AREA - 1, true, 0, false, rules); }));
    // Huge dimensions with a small area fail at once, with arrays of the
    // area's size only.
    EXPECT_EQ("Invalid x,y coordinates: out of bounds.",
              failureOf([&] { Civ2Map(65535, 65535, 100, true, 0, false, rules); }));
    EXPECT_EQ("Invalid x,y coordinates: out of bounds.",
              failureOf([&] { Civ2Map(WIDTH, HEIGHT, 0, false, 0, false, rules); }));
}

TEST_F(MapTest, AreaLargerThanTheGridAddressesTilesBeyondTheLastRow)
{
    Civ2Map map(WIDTH, 2, 12, true, 0, false, rules);
    EXPECT_EQ(8, map.XYtoOffset(0, 2));
    EXPECT_EQ(11, map.XYtoOffset(6, 2));
    map.setFertility(6, 2, 9);
    EXPECT_EQ(9, map.getFertility(6, 2));
    EXPECT_EQ("Invalid x,y coordinates: out of bounds.", failureOf([&] { map.XYtoOffset(0, 4); }));

    std::istringstream in(Bytes(13 * 12, '\x01') + "after");
    map.load(in);
    EXPECT_EQ(13 * 12, in.tellg());
}

TEST_F(MapTest, EmptyMapHasNoTiles)
{
    Civ2Map map(0, 0, 0, true, 0, false, rules);
    EXPECT_EQ("Invalid x,y coordinates: out of bounds.", failureOf([&] { map.getFertility(0, 0); }));
    EXPECT_EQ("", terrainBlockOf(map));
    std::istringstream in("");
    EXPECT_NO_THROW(map.load(in));
}

// ---------------------------------------------------------------------------
// Coordinates

TEST_F(MapTest, OffsetsAndTheOrderOfChecks)
{
    struct Case {
        int x;
        int y;
        int offset; // -1: fails
        const char* message;
    };
    const char* const PARITY = "Invalid x,y coordinates, x+y must be even.";
    const char* const BOUNDS = "Invalid x,y coordinates: out of bounds.";
    const Case cases[] = {
        {0, 0, 0, ""},
        {2, 0, 1, ""},
        {6, 0, 3, ""},
        {1, 1, 4, ""},
        {7, 3, 15, ""},
        {-1, 1, 4, ""},   // x/2 rounds toward zero
        {WIDTH, 0, 4, ""}, // runs into the next row
        {1, 0, -1, PARITY},
        {1, -2, -1, PARITY}, // parity before bounds
        {-1, 0, -1, PARITY},
        {-2, 0, -1, BOUNDS},
        {0, HEIGHT, -1, BOUNDS},
        {0, -2, -1, BOUNDS},
        {INT_MAX, 1, -1, BOUNDS},
        {INT_MAX, INT_MAX, -1, BOUNDS},
        {INT_MIN, INT_MIN, -1, BOUNDS},
        {INT_MIN, 0, -1, BOUNDS},
        {INT_MAX, 0, -1, PARITY},
        {0, INT_MAX - 1, -1, BOUNDS},
    };
    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        if (c.offset >= 0) {
            EXPECT_EQ(c.offset, map.XYtoOffset(c.x, c.y));
            EXPECT_EQ(c.offset + 2 * AREA, map.XYtoCivViewOffset(c.x, c.y, Civ2Map::BLUE));
        } else {
            EXPECT_EQ(c.message, failureOf([&] { map.XYtoOffset(c.x, c.y); }));
            EXPECT_EQ(c.message, failureOf([&] { map.getFertility(c.x, c.y); }));
            EXPECT_EQ(c.message, failureOf([&] { map.XYtoCivViewOffset(c.x, c.y, Civ2Map::WHITE); }));
        }
    }
}

TEST_F(MapTest, CivViewOffsetChecksTheCivilisationFirst)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    EXPECT_EQ(5, map.XYtoCivViewOffset(3, 1, Civ2Map::WHITE));
    EXPECT_EQ(5 + 6 * AREA, map.XYtoCivViewOffset(3, 1, Civ2Map::PURPLE));

    const std::string barbarians = "Barbarians do not have civ view info.";
    EXPECT_EQ(barbarians, failureOf([&] { map.XYtoCivViewOffset(1, 0, Civ2Map::RED); }));
    EXPECT_EQ(barbarians, failureOf([&] { map.getCivView(-100, 0, Civ2Map::RED); }));
    EXPECT_EQ(barbarians, failureOf([&] { map.setCivView(0, 0, Civ2Map::RED, Improvements(1)); }));

    // No plane exists for ALL_CIVS or values beyond 8: refused, never an
    // index outside the views.
    for (int civ : {8, 9, 15, -1, INT_MAX}) {
        SCOPED_TRACE(civ);
        const auto each = static_cast<Civ2Map::Civilization>(civ);
        const std::string message = "Civilization " + std::to_string(civ) + " has no civ view info.";
        EXPECT_EQ(message, failureOf([&] { map.XYtoCivViewOffset(0, 0, each); }));
        EXPECT_EQ(message, failureOf([&] { map.XYtoCivViewOffset(1, 0, each); }));
        EXPECT_EQ(message, failureOf([&] { map.getCivView(0, 0, each); }));
        if (civ != Civ2Map::ALL_CIVS) {
            EXPECT_EQ(message, failureOf([&] { map.setCivView(0, 0, each, Improvements(1)); }));
        }
    }
    EXPECT_EQ(Bytes(7 * AREA, '\0'), civViewBlockOf(map));
}

TEST_F(MapTest, MapWithoutViewsRefusesEveryViewAccess)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, false, 0, false, rules);
    EXPECT_EQ("No map loaded", failureOf([&] { map.getCivView(0, 0, Civ2Map::WHITE); }));
    // The missing array is reported before the civilisation or coordinates.
    EXPECT_EQ("No map loaded", failureOf([&] { map.getCivView(1, 0, Civ2Map::RED); }));
    EXPECT_EQ("No map loaded", failureOf([&] { map.setCivView(0, 0, Civ2Map::ALL_CIVS, Improvements(1)); }));
    EXPECT_EQ("Cannot load civ view map because it is not allowed.", failureOf([&] {
                  std::istringstream in(Bytes(7 * AREA, '\0'));
                  map.loadCivViewMap(in);
              }));
    EXPECT_EQ("Cannot Save: No map loaded.", failureOf([&] { civViewBlockOf(map); }));
}

// ---------------------------------------------------------------------------
// Per-tile accessors

TEST_F(MapTest, QueriesReadTheirBitsOfTheRecord)
{
    struct Case {
        const char* name;
        int byteIndex;
        unsigned char raw;
        std::function<int(const Civ2Map&)> read; // at (3, 1)
        int expected;
    };
    const Case cases[] = {
        {"river set", 0, 0x80, [](const Civ2Map& m) { return m.isRiver(3, 1); }, 1},
        {"river clear", 0, 0x7f, [](const Civ2Map& m) { return m.isRiver(3, 1); }, 0},
        {"hidden set", 0, 0x40, [](const Civ2Map& m) { return m.isResourceHidden(3, 1); }, 1},
        {"hidden clear", 0, 0xbf, [](const Civ2Map& m) { return m.isResourceHidden(3, 1); }, 0},
        {"terrain type", 0, 0xe3, [](const Civ2Map& m) { return m.getTerrainType(3, 1); }, 0x23},
        {"improvements", 1, 0xa5, [](const Civ2Map& m) { return m.getImprovements(3, 1).getByte(); }, 0xa5},
        {"city radius", 2, 0xbf, [](const Civ2Map& m) { return m.getCityRadius(3, 1); }, 5},
        {"body counter", 3, 0xc5, [](const Civ2Map& m) { return m.getBodyCounter(3, 1); }, 0xc5},
        {"visibility", 4, 0x81, [](const Civ2Map& m) { return m.getVisibility(3, 1).getByte(); }, 0x81},
        {"fertility", 5, 0xa3, [](const Civ2Map& m) { return m.getFertility(3, 1); }, 3},
        {"ownership", 5, 0xa3, [](const Civ2Map& m) { return m.getOwnership(3, 1); }, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Civ2Map map(WIDTH, HEIGHT, AREA, false, 0, false, rules);
        Bytes block = patternedTerrain(AREA);
        block[6 * 5 + c.byteIndex] = static_cast<char>(c.raw);
        loadTerrain(map, block);
        EXPECT_EQ(c.expected, c.read(map));
    }
}

// Each setter writes one field of one tile: the block afterwards differs from
// the block before in at most one byte.
TEST_F(MapTest, SettersChangeOnlyTheirBits)
{
    struct Case {
        const char* name;
        int mapIndex;
        int byteIndex;
        unsigned char before;
        unsigned char after;
        std::function<void(Civ2Map&)> write; // at (3, 1)
    };
    const Case cases[] = {
        {"river on", 0, 0, 0x4a, 0xca, [](Civ2Map& m) { m.setRiver(3, 1, true); }},
        {"river off", 0, 0, 0xca, 0x4a, [](Civ2Map& m) { m.setRiver(3, 1, false); }},
        {"hidden on", 0, 0, 0x8a, 0xca, [](Civ2Map& m) { m.setResourceHidden(3, 1, true); }},
        {"hidden off", 0, 0, 0xca, 0x8a, [](Civ2Map& m) { m.setResourceHidden(3, 1, false); }},
        {"terrain keeps flags", 0, 0, 0xca, 0xc2, [](Civ2Map& m) { m.setTerrainType(3, 1, GRASSLAND); }},
        {"terrain low six bits", 0, 0, 0x80, 0x85,
         [](Civ2Map& m) { m.setTerrainType(3, 1, static_cast<Civ2TerrainType>(0x45)); }},
        {"improvements", 0, 1, 0x12, 0xa5, [](Civ2Map& m) { m.setImprovements(3, 1, Improvements(0xa5)); }},
        {"city radius clears low bits", 0, 2, 0x1f, 0xa0, [](Civ2Map& m) { m.setCityRadius(3, 1, Civ2Map::CYAN); }},
        {"city radius cut to a byte", 0, 2, 0x00, 0x20,
         [](Civ2Map& m) { m.setCityRadius(3, 1, static_cast<Civ2Map::Civilization>(9)); }},
        {"body counter on map 0", 0, 3, 0xff, 0x05, [](Civ2Map& m) { m.setBodyCounter(3, 1, 0xc5); }},
        {"body counter on map 2", 2, 3, 0x00, 0x85, [](Civ2Map& m) { m.setBodyCounter(3, 1, 0xc5); }},
        {"body counter on map 3", 3, 3, 0x00, 0xfa, [](Civ2Map& m) { m.setBodyCounter(3, 1, 0x3a); }},
        {"body counter, index cut to a byte", 258, 3, 0x00, 0x81, [](Civ2Map& m) { m.setBodyCounter(3, 1, 1); }},
        {"visibility", 0, 4, 0x00, 0x81, [](Civ2Map& m) { m.setVisibility(3, 1, WhichCivs(0x81)); }},
        {"fertility keeps ownership", 0, 5, 0xa3, 0xaf, [](Civ2Map& m) { m.setFertility(3, 1, 0x1f); }},
        {"ownership keeps fertility", 0, 5, 0xa3, 0xc3,
         [](Civ2Map& m) { m.setOwnership(3, 1, static_cast<Civ2Map::Civilization>(0x1c)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Civ2Map map(WIDTH, HEIGHT, AREA, false, c.mapIndex, false, rules);
        Bytes block = patternedTerrain(AREA);
        block[6 * 5 + c.byteIndex] = static_cast<char>(c.before);
        loadTerrain(map, block);
        c.write(map);
        block[6 * 5 + c.byteIndex] = static_cast<char>(c.after);
        EXPECT_EQ(block, terrainBlockOf(map));
    }
}

TEST_F(MapTest, SetterReadsBackThroughItsQuery)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, false, 2, false, rules);
    map.setBodyCounter(3, 1, 0xc5);
    EXPECT_EQ(0x85, map.getBodyCounter(3, 1));
    map.setCityRadius(3, 1, static_cast<Civ2Map::Civilization>(9));
    EXPECT_EQ(Civ2Map::WHITE, map.getCityRadius(3, 1));
    map.setFertility(3, 1, 0x1f);
    EXPECT_EQ(15, map.getFertility(3, 1));
    EXPECT_EQ(15, map.getOwnership(3, 1));
    map.setOwnership(3, 1, Civ2Map::BLUE);
    EXPECT_EQ(Civ2Map::BLUE, map.getOwnership(3, 1));
    EXPECT_EQ(15, map.getFertility(3, 1));
}

TEST_F(MapTest, FailedSetterChangesNothing)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    loadTerrain(map, patternedTerrain(AREA));
    const Bytes terrain = terrainBlockOf(map);
    const Bytes views = civViewBlockOf(map);

    const std::function<void()> badWrites[] = {
        [&] { map.setRiver(1, 0, true); },
        [&] { map.setTerrainType(0, HEIGHT, DESERT); },
        [&] { map.setImprovements(-2, 0, Improvements(0xff)); },
        [&] { map.setFertility(1, 0, 7); },
        [&] { map.setOwnership(0, 100, Civ2Map::RED); },
        [&] { map.setBodyCounter(3, 0, 1); },
        [&] { map.setCivView(1, 0, Civ2Map::ALL_CIVS, Improvements(0xff)); },
        [&] { map.setCivView(0, HEIGHT, Civ2Map::ALL_CIVS, Improvements(0xff)); },
        [&] { map.setCivView(0, HEIGHT, Civ2Map::GREEN, Improvements(0xff)); },
    };
    for (const auto& write : badWrites)
        EXPECT_THROW(write(), std::runtime_error);
    EXPECT_EQ(terrain, terrainBlockOf(map));
    EXPECT_EQ(views, civViewBlockOf(map));
}

// ---------------------------------------------------------------------------
// Civilisation views

TEST_F(MapTest, CivViewsReadAndWriteTheirOwnPlane)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    Bytes views;
    for (int i = 0; i < 7 * AREA; ++i)
        views.push_back(static_cast<char>(i));
    std::istringstream in(views);
    map.loadCivViewMap(in);
    for (int civ = 1; civ <= 7; ++civ)
        EXPECT_EQ((civ - 1) * AREA + 5, map.getCivView(3, 1, static_cast<Civ2Map::Civilization>(civ)).getByte());

    map.setCivView(3, 1, Civ2Map::CYAN, Improvements(0xee));
    views[4 * AREA + 5] = '\xee';
    EXPECT_EQ(views, civViewBlockOf(map));

    map.setCivView(2, 2, Civ2Map::ALL_CIVS, Improvements(0x99));
    for (int plane = 0; plane < 7; ++plane)
        views[plane * AREA + 9] = '\x99';
    EXPECT_EQ(views, civViewBlockOf(map));
    EXPECT_EQ(0x99, map.getCivView(2, 2, Civ2Map::WHITE).getByte());
}

// ---------------------------------------------------------------------------
// Resource pattern

// The pattern is read through the grassland shield of grassland tiles.
std::vector<int> shieldRow(Civ2Map& map, int y)
{
    std::vector<int> row;
    for (int x = y % 2; x < map.getWidth(); x += 2) {
        map.setTerrainType(x, y, GRASSLAND);
        row.push_back(map.hasGrasslandShield(x, y) ? 1 : 0);
    }
    return row;
}

TEST_F(MapTest, ResourcePatternOfWidthSixteen)
{
    Civ2Map map(16, 6, 48, false, 0, false, rules);
    const std::vector<std::vector<int>> expected = {
        {1, 1, 0, 0, 1, 1, 0, 0}, {0, 0, 1, 1, 0, 0, 1, 1}, {0, 1, 1, 0, 0, 1, 1, 0},
        {1, 0, 0, 1, 1, 0, 0, 1}, {0, 0, 1, 1, 0, 0, 1, 1}, {1, 1, 0, 0, 1, 1, 0, 0},
    };
    for (int y = 0; y < 6; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(expected[static_cast<std::size_t>(y)], shieldRow(map, y));
    }
}

TEST_F(MapTest, ResourcePatternFollowsTheCoordinatesOnEveryShape)
{
    struct Shape {
        int width;
        int height;
    };
    for (const Shape& shape : {Shape{16, 6}, Shape{10, 9}, Shape{2, 5}, Shape{40, 3}}) {
        SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
        Civ2Map map(shape.width, shape.height, shape.width / 2 * shape.height, false, 0, false, rules);
        for (int y = 0; y < shape.height; ++y) {
            std::vector<int> row = shieldRow(map, y);
            for (std::size_t i = 0; i < row.size(); ++i) {
                const int x = y % 2 + 2 * static_cast<int>(i);
                const int phase = (x + 3 * y) % 8;
                EXPECT_EQ(phase == 0 || phase == 2 ? 1 : 0, row[i]) << x << "," << y;
            }
        }
        // Only grassland has the shield.
        map.setTerrainType(0, 0, PLAINS);
        EXPECT_FALSE(map.hasGrasslandShield(0, 0));
    }
}

// ---------------------------------------------------------------------------
// Blocks in a file

TEST_F(MapTest, MapWithoutViewsReadsExactlyTheTerrainBlock)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, false, 0, false, rules);
    const Bytes terrain = patternedTerrain(AREA);
    std::istringstream in(terrain + "next");
    map.load(in);
    EXPECT_EQ(6 * AREA, in.tellg());
    EXPECT_EQ(terrain, terrainBlockOf(map));
}

TEST_F(MapTest, MapWithViewsReadsViewsThenTerrain)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    const Bytes views(7 * AREA, '\x21');
    const Bytes terrain = patternedTerrain(AREA);
    std::istringstream in(views + terrain + "next");
    map.load(in);
    EXPECT_EQ(13 * AREA, in.tellg());
    EXPECT_EQ(views, civViewBlockOf(map));
    EXPECT_EQ(terrain, terrainBlockOf(map));

    std::ostringstream out;
    map.save(out);
    EXPECT_EQ(views + terrain, out.str());
}

TEST_F(MapTest, ShortStreamIsAReadError)
{
    const Bytes views(7 * AREA, '\x21');
    const Bytes terrain = patternedTerrain(AREA);
    struct Case {
        const char* name;
        bool withViews;
        Bytes input;
    };
    const Case cases[] = {
        {"terrain one byte short", false, terrain.substr(0, terrain.size() - 1)},
        {"empty stream", false, ""},
        {"views one byte short", true, views.substr(0, views.size() - 1)},
        {"views whole, terrain short", true, views + terrain.substr(0, 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Civ2Map map(WIDTH, HEIGHT, AREA, c.withViews, 0, false, rules);
        std::istringstream in(c.input);
        EXPECT_EQ("Read Error.", failureOf([&] { map.load(in); }));
    }

    // What did arrive is kept; the rest of the array is as it was.
    Civ2Map map(WIDTH, HEIGHT, AREA, false, 0, false, rules);
    std::istringstream in(terrain.substr(0, 7));
    EXPECT_THROW(map.loadTerrainMap(in), std::runtime_error);
    Bytes expected = terrain.substr(0, 7) + Bytes("\0\0\0\0\xf0", 5);
    for (int tile = 2; tile < AREA; ++tile)
        expected += Bytes("\x0a\0\0\0\0\xf0", 6);
    EXPECT_EQ(expected, terrainBlockOf(map));
}

TEST_F(MapTest, WritingIntoAFailedStreamIsAWriteError)
{
    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_EQ("Write Error.", failureOf([&] { map.saveTerrainMap(out); }));
    EXPECT_EQ("Write Error.", failureOf([&] { map.saveCivViewMap(out); }));
    EXPECT_EQ("Write Error.", failureOf([&] { map.save(out); }));
}

TEST_F(MapTest, BlockOperationsLogAtDebugLevel)
{
    // The log keeps a pointer to its stream for the rest of the process.
    static std::ostringstream log;
    log.str("");
    MorvelUtil::LogOutput::setOutputStream(log);
    MorvelUtil::LogOutput::enableLevel(1);

    Civ2Map map(WIDTH, HEIGHT, AREA, true, 0, false, rules);
    std::istringstream in(Bytes(13 * AREA, '\x01'));
    map.load(in);
    std::ostringstream out;
    map.save(out);
    EXPECT_EQ("Read civ view map.\nRead terrain map\nWrote civ_view_map \nWrote terrain map.\n", log.str());
}

// ---------------------------------------------------------------------------
// Value types

struct BitCase {
    unsigned char mask;
    std::function<bool(const Improvements&)> has;
    std::function<void(Improvements&, bool)> set;
};

TEST(ImprovementsTest, EachBitHasItsQueryAndSetter)
{
    const BitCase bits[] = {
        {Improvements::UNIT_MASK, &Improvements::hasUnit, &Improvements::setUnit},
        {Improvements::CITY_MASK, &Improvements::hasCity, &Improvements::setCity},
        {Improvements::IRRIGATION_MASK, &Improvements::hasIrrigation, &Improvements::setIrrigation},
        {Improvements::MINING_MASK, &Improvements::hasMining, &Improvements::setMining},
        {Improvements::ROAD_MASK, &Improvements::hasRoad, &Improvements::setRoad},
        {Improvements::RAILROAD_MASK, &Improvements::hasRailroad, &Improvements::setRailroad},
        {Improvements::FORTRESS_MASK, &Improvements::hasFortress, &Improvements::setFortress},
        {Improvements::POLLUTION_MASK, &Improvements::hasPollution, &Improvements::setPollution},
    };
    for (int bit = 0; bit < 8; ++bit) {
        const BitCase& b = bits[bit];
        SCOPED_TRACE(bit);
        EXPECT_EQ(1 << bit, b.mask);
        Improvements value;
        EXPECT_FALSE(b.has(value));
        b.set(value, true);
        EXPECT_EQ(b.mask, value.getByte());
        EXPECT_TRUE(b.has(value));

        Improvements others(static_cast<unsigned char>(~b.mask));
        EXPECT_FALSE(b.has(others));
        b.set(others, true);
        EXPECT_EQ(0xff, others.getByte());
        b.set(others, false);
        EXPECT_EQ(static_cast<unsigned char>(~b.mask), others.getByte());
    }
    Improvements copy(Improvements(0x5a));
    Improvements assigned;
    assigned = copy;
    EXPECT_EQ(0x5a, assigned.getByte());
}

struct CivBitCase {
    unsigned char mask;
    std::function<bool(const WhichCivs&)> has;
    std::function<void(WhichCivs&, bool)> set;
};

TEST(WhichCivsTest, EachBitHasItsQueryAndSetter)
{
    const CivBitCase bits[] = {
        {WhichCivs::RED_MASK, &WhichCivs::hasRed, &WhichCivs::setRed},
        {WhichCivs::WHITE_MASK, &WhichCivs::hasWhite, &WhichCivs::setWhite},
        {WhichCivs::GREEN_MASK, &WhichCivs::hasGreen, &WhichCivs::setGreen},
        {WhichCivs::BLUE_MASK, &WhichCivs::hasBlue, &WhichCivs::setBlue},
        {WhichCivs::YELLOW_MASK, &WhichCivs::hasYellow, &WhichCivs::setYellow},
        {WhichCivs::CYAN_MASK, &WhichCivs::hasCyan, &WhichCivs::setCyan},
        {WhichCivs::ORANGE_MASK, &WhichCivs::hasOrange, &WhichCivs::setOrange},
        {WhichCivs::PURPLE_MASK, &WhichCivs::hasPurple, &WhichCivs::setPurple},
    };
    for (int bit = 0; bit < 8; ++bit) {
        const CivBitCase& b = bits[bit];
        SCOPED_TRACE(bit);
        EXPECT_EQ(1 << bit, b.mask);
        WhichCivs value;
        b.set(value, true);
        EXPECT_EQ(b.mask, value.getByte());
        EXPECT_TRUE(b.has(value));

        WhichCivs others(static_cast<unsigned char>(~b.mask));
        EXPECT_FALSE(b.has(others));
        b.set(others, true);
        EXPECT_EQ(0xff, others.getByte());
        b.set(others, false);
        EXPECT_EQ(static_cast<unsigned char>(~b.mask), others.getByte());
    }
    EXPECT_EQ(Civ2Map::CYAN, 5); // civilisation numbers match the bits
    EXPECT_EQ(1 << Civ2Map::CYAN, WhichCivs::CYAN_MASK);
}

} // namespace
