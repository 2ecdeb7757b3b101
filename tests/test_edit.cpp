// Creating map-only files and editing games in memory: createMP, createSAV,
// seeds, start positions, and adding and removing the maps of ToT games.

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "civ2sav.h"
#include "fixture.h"

namespace {

using fixture::Bytes;
using fixture::FileLayout;
using fixture::MapBlocks;
using fixture::loadLayout;
using fixture::saveAndRead;
using fixture::failureOf;

void put16(Bytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
}

// The file a freshly created map-only file is written as: header, 42 start
// positions of 0xFFFF, and area default tiles.
Bytes createdFile(unsigned width, unsigned height, unsigned area, unsigned locatorX, unsigned locatorY)
{
    Bytes out;
    for (unsigned value : {width, height, area, 0u, 1u, locatorX, locatorY})
        put16(out, value);
    out.insert(out.end(), 84, 0xFF);
    for (unsigned tile = 0; tile < area; ++tile)
        out.insert(out.end(), {0x0A, 0x00, 0x00, 0x00, 0x00, 0xF0});
    return out;
}

// A map as addMap makes it in a saved game: zeroed views, default tiles, seed 1.
MapBlocks newMapBlocks(int area)
{
    MapBlocks map;
    map.civView.assign(static_cast<std::size_t>(7 * area), 0);
    for (int tile = 0; tile < area; ++tile)
        map.terrain.insert(map.terrain.end(), {0x0A, 0x00, 0x00, 0x00, 0x00, 0xF0});
    map.seed = 1;
    return map;
}

// The low two bits of a map's index, as the body-counter setter stores them.
int indexBitsOf(Civ2Map* map)
{
    map->setBodyCounter(0, 0, 0);
    return map->getBodyCounter(0, 0) >> 6;
}

// ---------------------------------------------------------------------------
// createMP and createSAV

TEST(CreateMP, FortyByTwentyGivesTheDocumentedFile)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    game.createMP(40, 20);

    EXPECT_EQ(game.getWidth(), 40);
    EXPECT_EQ(game.getHeight(), 20);
    EXPECT_EQ(game.getSeed(), 1);
    EXPECT_FALSE(game.isFlatEarth());
    EXPECT_EQ(game.getNumMaps(), 1);
    EXPECT_TRUE(game.isMapOnly());
    EXPECT_STREQ(game.getVersionString(), "Unknown Version");
    EXPECT_EQ(game.getMap(0)->getSeed(), 1);
    EXPECT_EQ(failureOf([&] { game.getMap(0)->getCivView(0, 0, Civ2Map::WHITE); }), "No map loaded");

    const Bytes written = saveAndRead(game, dir);
    ASSERT_EQ(written.size(), 2498u);
    EXPECT_EQ(written, createdFile(40, 20, 400, 10, 5));
}

TEST(CreateMP, HeaderFieldsFollowTheDimensions)
{
    struct Case {
        int width, height;
        unsigned area, locatorX, locatorY;
    } cases[] = {
        {40, 20, 400, 10, 5},
        {50, 30, 750, 13, 8},
        {7, 5, 17, 2, 2}, // 35 / 2 cut toward zero
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        fixture::TempDir dir;
        Civ2SavedGame game;
        game.createMP(c.width, c.height);
        EXPECT_EQ(saveAndRead(game, dir),
                  createdFile(static_cast<unsigned>(c.width), static_cast<unsigned>(c.height), c.area, c.locatorX,
                              c.locatorY));
    }
}

// No check is made on the dimensions: each either builds a map whose file
// matches its header, or fails with a runtime_error from the map, never by
// crashing or by allocating beyond what the 16-bit area needs.
TEST(CreateMP, OddDimensionsBuildOrFailCleanly)
{
    const int cases[][2] = {{0, 0},     {0, 20},       {20, 0},          {1, 1},          {3, 3},
                            {-2, 4},    {-40, -20},    {INT_MIN, 2},     {2, INT_MIN},    {INT_MAX, INT_MAX},
                            {1000, 1000}, {65535, 65535}, {65536, 2}, {131072, 131072}, {2, 65535}};
    for (const auto& dims : cases) {
        SCOPED_TRACE(std::to_string(dims[0]) + "x" + std::to_string(dims[1]));
        fixture::TempDir dir;
        Civ2SavedGame game;
        try {
            game.createMP(dims[0], dims[1]);
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "Invalid x,y coordinates: out of bounds.");
            EXPECT_EQ(game.getNumMaps(), 0);
            continue;
        }
        EXPECT_EQ(game.getNumMaps(), 1);
        const Bytes written = saveAndRead(game, dir);
        ASSERT_GE(written.size(), 98u);
        const unsigned area = written[4] | (written[5] << 8);
        EXPECT_EQ(written.size(), 98u + 6 * area);
    }
}

// The old maps are gone at once; a map that cannot be built leaves the old
// header and kind in place.
TEST(CreateMP, ReplacesALoadedGameOrLeavesItWithoutMaps)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    loadLayout(game, dir, fixture::makeLayout(fixture::TOT11, 20, 10, 4));

    EXPECT_THROW(game.createMP(1000, 1000), std::runtime_error);
    EXPECT_EQ(game.getNumMaps(), 0);
    EXPECT_FALSE(game.isMapOnly());
    EXPECT_STREQ(game.getVersionString(), "ToT 1.1");
    EXPECT_EQ(game.getWidth(), 20);
    EXPECT_EQ(failureOf([&] { game.save(dir.path("none.sav")); }), "Cannot save a file with no maps");

    game.createMP(40, 20);
    EXPECT_EQ(game.getNumMaps(), 1);
    EXPECT_TRUE(game.isMapOnly());
    EXPECT_FALSE(game.supportsMultiMaps());
    EXPECT_STREQ(game.getVersionString(), "Unknown Version");
    EXPECT_EQ(failureOf([&] { game.getMap(1); }), "Cannot get map, index 1 is < 0 or > 0");
    EXPECT_EQ(saveAndRead(game, dir), createdFile(40, 20, 400, 10, 5));
}

TEST(CreateSAV, AlwaysFailsAndLeavesTheGameLoaded)
{
    fixture::TempDir dir;
    const FileLayout layout = fixture::makeLayout(fixture::MGE, 20, 10);
    Civ2SavedGame game;
    loadLayout(game, dir, layout);

    EXPECT_EQ(failureOf([&] { game.createSAV(40, 20, 0); }), "Cannot create a new .SAV file.");
    EXPECT_EQ(failureOf([&] { game.createSAV(-1, -1, -1); }), "Cannot create a new .SAV file.");

    EXPECT_EQ(game.getNumMaps(), 1);
    EXPECT_STREQ(game.getVersionString(), "MGE");
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

// ---------------------------------------------------------------------------
// Seeds and start positions

TEST(Seed, NeedsAHeader)
{
    Civ2SavedGame game;
    EXPECT_EQ(failureOf([&] { game.getSeed(); }), "No map loaded.");
    EXPECT_EQ(failureOf([&] { game.setSeed(7); }), "No map loaded.");
}

TEST(StartPositions, AreRefusedOnSavedGames)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    loadLayout(game, dir, fixture::makeLayout(fixture::MGE, 20, 10));
    const Civ2SavedGame::StartPositions positions{};

    EXPECT_EQ(failureOf([&] { game.getCivStart(); }), "Start positions are not defined on a .SAV file.");
    EXPECT_EQ(failureOf([&] { game.setCivStart(positions); }), "Start positions are not defined on a .SAV file.");

    Civ2SavedGame empty;
    EXPECT_EQ(failureOf([&] { empty.getCivStart(); }), "Start positions are not defined on a .SAV file.");
}

TEST(StartPositions, CreatedFileHoldsNoneAndWritesChangesMadeInPlace)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    game.createMP(40, 20);

    Civ2SavedGame::StartPositions& positions = game.getCivStart();
    for (int slot = 0; slot < 21; ++slot) {
        EXPECT_EQ(positions.x[slot], 0xFFFF);
        EXPECT_EQ(positions.y[slot], 0xFFFF);
    }
    positions.x[0] = 0x1234;
    positions.y[20] = 0x0056;

    Bytes expected = createdFile(40, 20, 400, 10, 5);
    expected[14] = 0x34;
    expected[15] = 0x12;
    expected[14 + 82] = 0x56;
    expected[14 + 83] = 0x00;
    EXPECT_EQ(saveAndRead(game, dir), expected);
}

TEST(StartPositions, LoadedMapOnlyFileGivesAndTakesTheWholeRecord)
{
    fixture::TempDir dir;
    FileLayout layout = fixture::makeLayout(fixture::MAP_ONLY, 20, 10);
    Civ2SavedGame game;
    loadLayout(game, dir, layout);

    const Civ2SavedGame::StartPositions& loaded = game.getCivStart();
    const Bytes loadedBytes(reinterpret_cast<const std::uint8_t*>(&loaded),
                            reinterpret_cast<const std::uint8_t*>(&loaded) + 84);
    const Bytes file = fixture::build(layout);
    EXPECT_EQ(loadedBytes, Bytes(file.begin() + 14, file.begin() + 98));

    Civ2SavedGame::StartPositions replacement{};
    Bytes replacementBytes;
    for (int i = 0; i < 21; ++i) {
        replacement.x[i] = static_cast<unsigned short>(0x0100 * i + 3);
        replacement.y[i] = static_cast<unsigned short>(0x8000 + i);
    }
    for (int i = 0; i < 21; ++i)
        put16(replacementBytes, replacement.x[i]);
    for (int i = 0; i < 21; ++i)
        put16(replacementBytes, replacement.y[i]);
    game.setCivStart(replacement);

    const Civ2SavedGame::StartPositions& now = game.getCivStart();
    EXPECT_EQ(Bytes(reinterpret_cast<const std::uint8_t*>(&now), reinterpret_cast<const std::uint8_t*>(&now) + 84),
              replacementBytes);
    layout.startPositions = replacementBytes;
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

// ---------------------------------------------------------------------------
// Adding and removing maps

class FourMapToT : public ::testing::Test {
protected:
    void SetUp() override
    {
        layout = fixture::makeLayout(fixture::TOT11, 20, 10, 4);
        loadLayout(game, dir, layout);
    }

    fixture::TempDir dir;
    FileLayout layout;
    Civ2SavedGame game;
};

TEST_F(FourMapToT, OutOfRangeIndicesChangeNothing)
{
    EXPECT_EQ(failureOf([&] { game.addMap(5); }), "Cannot add new map, index 5 is < 0 or > 4");
    EXPECT_EQ(failureOf([&] { game.addMap(-1); }), "Cannot add new map, index -1 is < 0 or > 4");
    EXPECT_EQ(failureOf([&] { game.removeMap(4); }), "Cannot remove map, index 4 is < 0 or > 3");
    EXPECT_EQ(failureOf([&] { game.removeMap(-1); }), "Cannot remove map, index -1 is < 0 or > 3");

    EXPECT_EQ(game.getNumMaps(), 4);
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

TEST_F(FourMapToT, AddMapAtTheEnd)
{
    game.addMap(4);

    EXPECT_EQ(game.getNumMaps(), 5);
    EXPECT_EQ(game.getMap(4)->getFertility(0, 0), 0);
    EXPECT_EQ(game.getMap(4)->getSeed(), 1);
    layout.maps.push_back(newMapBlocks(layout.area));
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

// The new map takes the place asked for; the maps after it move up and keep
// the index they were built with.
TEST_F(FourMapToT, AddMapInFrontKeepsTheIndicesOfMapsThatMove)
{
    game.addMap(0);

    EXPECT_EQ(game.getNumMaps(), 5);
    EXPECT_EQ(indexBitsOf(game.getMap(0)), 0);
    EXPECT_EQ(indexBitsOf(game.getMap(1)), 0);
    EXPECT_EQ(indexBitsOf(game.getMap(2)), 1);
    EXPECT_EQ(indexBitsOf(game.getMap(3)), 2);
    EXPECT_EQ(indexBitsOf(game.getMap(4)), 3);
}

TEST_F(FourMapToT, AddedMapIsWrittenInItsPlaceWithItsSeed)
{
    game.addMap(2);
    game.getMap(2)->setFertility(3, 1, 6);
    game.getMap(4)->setSeed(0x0777);

    MapBlocks added = newMapBlocks(layout.area);
    fixture::setFertility(added, 20, 3, 1, 6);
    layout.maps.insert(layout.maps.begin() + 2, added);
    layout.maps[4].seed = 0x0777;
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

TEST_F(FourMapToT, RemoveLastAndFirstMaps)
{
    game.removeMap(3);
    EXPECT_EQ(game.getNumMaps(), 3);

    game.removeMap(0);
    EXPECT_EQ(game.getNumMaps(), 2);
    EXPECT_EQ(game.getMap(0)->getSeed(), layout.maps[1].seed);
    EXPECT_EQ(indexBitsOf(game.getMap(0)), 1);
    EXPECT_EQ(failureOf([&] { game.getMap(2); }), "Cannot get map, index 2 is < 0 or > 1");

    layout.maps.erase(layout.maps.begin() + 3);
    layout.maps.erase(layout.maps.begin());
    // The body counter written by indexBitsOf is part of the file now.
    fixture::setTerrainByte(layout.maps[0], 20, 0, 0, 3, 0x40);
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

TEST_F(FourMapToT, RemoveAMiddleMap)
{
    game.removeMap(1);

    layout.maps.erase(layout.maps.begin() + 1);
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

TEST(AddMap, RefusedOnGamesOtherThanToT)
{
    fixture::TempDir dir;
    for (int version : {fixture::CIC, fixture::FW, fixture::MGE, fixture::MAP_ONLY}) {
        SCOPED_TRACE(version);
        Civ2SavedGame game;
        loadLayout(game, dir, fixture::makeLayout(version, 20, 10));
        EXPECT_EQ(failureOf([&] { game.addMap(1); }), "Cannot add a new map to a file that is not a ToT saved game");
        EXPECT_EQ(game.getNumMaps(), 1);
    }
    Civ2SavedGame empty;
    EXPECT_EQ(failureOf([&] { empty.addMap(0); }), "Cannot add a new map to a file that is not a ToT saved game");
}

// With its only map removed a game has none; every reader answers with a
// runtime_error, and a ToT game takes a new first map.
TEST(RemoveMap, OnlyMapLeavesAGameWithoutMaps)
{
    for (int version : {fixture::MGE, fixture::TOT10, fixture::MAP_ONLY}) {
        SCOPED_TRACE(version);
        fixture::TempDir dir;
        FileLayout layout = fixture::makeLayout(version, 20, 10);
        Civ2SavedGame game;
        loadLayout(game, dir, layout);
        const std::string existing = dir.path("existing.sav");
        fixture::writeFile(existing, {'k', 'e', 'e', 'p'});

        game.removeMap(0);

        EXPECT_EQ(game.getNumMaps(), 0);
        EXPECT_THROW(game.getMap(0), std::runtime_error);
        EXPECT_EQ(failureOf([&] { game.getMap(1); }), "Cannot get map, index 1 is < 0 or > 0");
        EXPECT_EQ(game.getWidth(), 20);
        EXPECT_EQ(game.getHeight(), 10);
        EXPECT_EQ(failureOf([&] { game.save(existing); }), "Cannot save a file with no maps");
        EXPECT_EQ(fixture::readFile(existing), Bytes({'k', 'e', 'e', 'p'}));
        EXPECT_THROW(game.removeMap(0), std::runtime_error);
        EXPECT_EQ(failureOf([&] { game.removeMap(1); }), "Cannot remove map, index 1 is < 0 or > 0");

        if (version != fixture::TOT10) {
            EXPECT_EQ(failureOf([&] { game.addMap(0); }),
                      "Cannot add a new map to a file that is not a ToT saved game");
            continue;
        }
        EXPECT_EQ(failureOf([&] { game.addMap(1); }), "Cannot add new map, index 1 is < 0 or > 0");
        game.addMap(0);
        EXPECT_EQ(game.getNumMaps(), 1);
        layout.maps[0] = newMapBlocks(layout.area);
        EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
    }
}

// A failed createMP leaves a ToT game's version and secondary-map count
// but no maps; a map added then is the game's only one.
TEST(AddMap, AfterAFailedCreateTheNewMapIsTheOnlyOne)
{
    fixture::TempDir dir;
    FileLayout layout = fixture::makeLayout(fixture::TOT11, 20, 10, 4);
    Civ2SavedGame game;
    loadLayout(game, dir, layout);
    EXPECT_THROW(game.createMP(1000, 1000), std::runtime_error);

    game.addMap(0);

    EXPECT_EQ(game.getNumMaps(), 1);
    layout.maps.assign(1, newMapBlocks(layout.area));
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

// A ToT load that fails in its third map keeps the maps built so far under
// the file's count of four; adding or removing maps must stay inside them.
TEST(AddMap, AfterAFailedLoadStaysInsideTheMapsThatExist)
{
    fixture::TempDir dir;
    Bytes truncated = fixture::build(fixture::makeLayout(fixture::TOT11, 20, 10, 4));
    truncated.resize(fixture::headerOffset(fixture::TOT11) + 16 + 2 * (13 * 100 + 2) + 50);
    fixture::writeFile(dir.path("short.sav"), truncated);
    Civ2SavedGame game;
    EXPECT_THROW(game.load(dir.path("short.sav")), std::runtime_error);

    EXPECT_THROW(game.addMap(4), std::runtime_error);
    EXPECT_THROW(game.removeMap(3), std::runtime_error);
    EXPECT_THROW(game.getMap(3), std::runtime_error);
    EXPECT_THROW(game.save(dir.path("out.sav")), std::runtime_error);
}

} // namespace
