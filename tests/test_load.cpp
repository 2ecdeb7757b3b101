// Loading saved games, scenarios and map-only files of every version: what
// ends up in memory, and the exact message of every way loading can fail.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "civ2sav.h"
#include "fixture.h"

namespace {

using fixture::Bytes;
using fixture::FileLayout;
using fixture::failureOf;

const int WIDTH = 8;
const int HEIGHT = 4;
const int AREA = WIDTH / 2 * HEIGHT;

std::string loadFailure(Civ2SavedGame& game, const std::string& path)
{
    return failureOf([&] { game.load(path); });
}

bool isToT(int version)
{
    return version == fixture::TOT10 || version == fixture::TOT11;
}

// The map's two blocks as it would write them, to compare with the fixture's.
Bytes blocksOf(const Civ2Map& map)
{
    std::ostringstream out;
    map.save(out);
    const std::string text = out.str();
    return Bytes(text.begin(), text.end());
}

Bytes expectedBlocks(const FileLayout& layout, std::size_t mapIndex)
{
    const fixture::MapBlocks& map = layout.maps[mapIndex];
    Bytes blocks = layout.version == fixture::MAP_ONLY ? Bytes() : map.civView;
    blocks.insert(blocks.end(), map.terrain.begin(), map.terrain.end());
    return blocks;
}

void expectLoadedAsLayout(Civ2SavedGame& game, const FileLayout& layout)
{
    ASSERT_EQ(static_cast<int>(layout.maps.size()), game.getNumMaps());
    EXPECT_EQ(layout.xDim, game.getWidth());
    EXPECT_EQ(layout.yDim, game.getHeight());
    for (std::size_t m = 0; m < layout.maps.size(); ++m) {
        SCOPED_TRACE("map " + std::to_string(m));
        Civ2Map* map = game.getMap(static_cast<int>(m));
        ASSERT_NE(nullptr, map);
        EXPECT_EQ(layout.xDim, map->getWidth());
        EXPECT_EQ(layout.yDim, map->getHeight());
        EXPECT_EQ(expectedBlocks(layout, m), blocksOf(*map));
        // ToT maps carry their own seed; every other file's map the header's.
        EXPECT_EQ(isToT(layout.version) ? layout.maps[m].seed : layout.mapSeed, map->getSeed());
    }
}

// ---------------------------------------------------------------------------
// Every version

struct VersionCase {
    const char* name;
    int version;
    const char* versionString;
    int numMaps;
    std::uint32_t transporters;
};

const VersionCase VERSIONS[] = {
    {"CIC", fixture::CIC, "CIC", 1, 0},
    {"FW", fixture::FW, "FW", 1, 0},
    {"MGE", fixture::MGE, "MGE", 1, 0},
    {"ToT10 one map, no transporters", fixture::TOT10, "ToT 1.0", 1, 0},
    {"ToT10 four maps", fixture::TOT10, "ToT 1.0", 4, 3},
    {"ToT11 two maps", fixture::TOT11, "ToT 1.1", 2, 1},
    {"ToT11 four maps", fixture::TOT11, "ToT 1.1", 4, 250},
};

TEST(LoadTest, EveryVersionLoadsItsMapsAndSeeds)
{
    fixture::TempDir dir;
    for (const VersionCase& c : VERSIONS) {
        SCOPED_TRACE(c.name);
        FileLayout layout = fixture::makeLayout(c.version, WIDTH, HEIGHT, c.numMaps);
        layout.transporters = c.transporters;
        Civ2SavedGame game;
        game.load(fixture::writeLayout(dir, "game.sav", layout));
        EXPECT_STREQ(c.versionString, game.getVersionString());
        EXPECT_FALSE(game.isMapOnly());
        EXPECT_EQ(isToT(c.version), game.supportsMultiMaps());
        expectLoadedAsLayout(game, layout);

        const int last = c.numMaps - 1;
        EXPECT_EQ("Cannot get map, index " + std::to_string(c.numMaps) + " is < 0 or > " + std::to_string(last),
                  failureOf([&] { game.getMap(c.numMaps); }));
        EXPECT_EQ("Cannot get map, index -1 is < 0 or > " + std::to_string(last),
                  failureOf([&] { game.getMap(-1); }));
    }
}

TEST(LoadTest, SavedGameEndingRightAfterItsLastMapLoads)
{
    fixture::TempDir dir;
    for (int version : {fixture::CIC, fixture::TOT11}) {
        SCOPED_TRACE(version);
        FileLayout layout = fixture::makeLayout(version, WIDTH, HEIGHT, isToT(version) ? 2 : 1);
        layout.postMap.clear();
        Civ2SavedGame game;
        EXPECT_NO_THROW(game.load(fixture::writeLayout(dir, "game.sav", layout)));
        expectLoadedAsLayout(game, layout);
    }
}

TEST(LoadTest, MapOnlyFilesOfAnyCaseLoadWithoutViews)
{
    fixture::TempDir dir;
    for (const char* name : {"map.mp", "MAP.MP", "map.Mp"}) {
        SCOPED_TRACE(name);
        FileLayout layout = fixture::makeLayout(fixture::MAP_ONLY, WIDTH, HEIGHT);
        layout.trailing = {1, 2, 3, 4, 5}; // bytes after the terrain block are not read
        Civ2SavedGame game;
        game.load(fixture::writeLayout(dir, name, layout));
        EXPECT_TRUE(game.isMapOnly());
        EXPECT_STREQ("Unknown Version", game.getVersionString());
        EXPECT_FALSE(game.supportsMultiMaps());
        expectLoadedAsLayout(game, layout);
        EXPECT_EQ("No map loaded", failureOf([&] { game.getMap(0)->getCivView(0, 0, Civ2Map::WHITE); }));

        const Bytes file = fixture::build(layout);
        const auto* positions = reinterpret_cast<const std::uint8_t*>(&game.getCivStart());
        EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 98), Bytes(positions, positions + 84));
    }
}

TEST(LoadTest, MapOnlyFileOfExactSizeLoadsAndOneByteLessFails)
{
    fixture::TempDir dir;
    const FileLayout layout = fixture::makeLayout(fixture::MAP_ONLY, WIDTH, HEIGHT);
    Bytes bytes = fixture::build(layout);
    ASSERT_EQ(98u + 6u * AREA, bytes.size());
    const std::string path = dir.path("exact.mp");
    fixture::writeFile(path, bytes);
    Civ2SavedGame game;
    EXPECT_NO_THROW(game.load(path));

    bytes.pop_back();
    fixture::writeFile(path, bytes);
    EXPECT_EQ("File: " + path + " Read Error.", loadFailure(game, path));
}

TEST(LoadTest, FlatEarthFlag)
{
    struct Case {
        std::uint16_t flatEarth;
        bool isFlatEarth;
        bool mapsFlat;
    };
    fixture::TempDir dir;
    for (const Case& c : {Case{0, false, false}, Case{1, true, true}, Case{2, false, true}, Case{0x8000, false, true}}) {
        SCOPED_TRACE(c.flatEarth);
        FileLayout layout = fixture::makeLayout(fixture::TOT10, WIDTH, HEIGHT, 2);
        layout.flatEarth = c.flatEarth;
        Civ2SavedGame game;
        game.load(fixture::writeLayout(dir, "game.sav", layout));
        EXPECT_EQ(c.isFlatEarth, game.isFlatEarth());
        EXPECT_EQ(c.mapsFlat, game.getMap(0)->isFlat());
        EXPECT_EQ(c.mapsFlat, game.getMap(1)->isFlat());
    }
}

TEST(LoadTest, ReloadingReplacesEverythingByTheNewFile)
{
    fixture::TempDir dir;
    const FileLayout tot = fixture::makeLayout(fixture::TOT11, WIDTH, HEIGHT, 4);
    const FileLayout mge = fixture::makeLayout(fixture::MGE, 6, 2);
    const FileLayout mp = fixture::makeLayout(fixture::MAP_ONLY, 4, 6);
    const std::string totPath = fixture::writeLayout(dir, "tot.sav", tot);
    const std::string mgePath = fixture::writeLayout(dir, "mge.sav", mge);
    const std::string mpPath = fixture::writeLayout(dir, "small.mp", mp);

    Civ2SavedGame game;
    game.load(totPath);
    game.load(mpPath);
    EXPECT_TRUE(game.isMapOnly());
    EXPECT_STREQ("Unknown Version", game.getVersionString());
    expectLoadedAsLayout(game, mp);
    EXPECT_EQ("Cannot get map, index 1 is < 0 or > 0", failureOf([&] { game.getMap(1); }));

    game.load(totPath);
    expectLoadedAsLayout(game, tot);
    game.load(mgePath);
    EXPECT_FALSE(game.isMapOnly());
    EXPECT_STREQ("MGE", game.getVersionString());
    expectLoadedAsLayout(game, mge);

    // A failed load leaves an object that loads again cleanly.
    EXPECT_NE("(no failure)", loadFailure(game, dir.path("missing.sav")));
    fixture::writeFile(dir.path("short.sav"), Bytes(5, 0));
    EXPECT_NE("(no failure)", loadFailure(game, dir.path("short.sav")));
    game.load(totPath);
    expectLoadedAsLayout(game, tot);
}

TEST(LoadTest, ReadAccessorsOfAnEmptyGame)
{
    Civ2SavedGame game;
    EXPECT_EQ("No map loaded.", failureOf([&] { game.getWidth(); }));
    EXPECT_EQ("No map loaded.", failureOf([&] { game.getHeight(); }));
    EXPECT_EQ("No map loaded.", failureOf([&] { game.getMap(0); }));
    EXPECT_EQ("Cannot get map, index 1 is < 0 or > 0", failureOf([&] { game.getMap(1); }));
    EXPECT_EQ(0, game.getNumMaps());
    EXPECT_STREQ("Unknown Version", game.getVersionString());
    EXPECT_FALSE(game.isFlatEarth());
    EXPECT_FALSE(game.isMapOnly());
    EXPECT_FALSE(game.supportsMultiMaps());
}

TEST(LoadTest, LogsTheHeaderAndSeedsAtDebugLevel)
{
    static std::ostringstream log; // the log keeps its stream for the process
    log.str("");
    MorvelUtil::LogOutput::setOutputStream(log);
    MorvelUtil::LogOutput::enableLevel(1);

    fixture::TempDir dir;
    FileLayout layout = fixture::makeLayout(fixture::TOT10, WIDTH, HEIGHT, 2);
    layout.flatEarth = 1;
    Civ2SavedGame game;
    game.load(fixture::writeLayout(dir, "game.sav", layout));
    EXPECT_EQ("X Dimension is: 8\nY Dimension is: 4\nMap Area is: 16\nFlat Earth is: 1\nMap Seed is: 4660\n"
              "locator x dim is: 2\nlocator y dim is: 1\nSecondary Maps: 1\n"
              "Read civ view map.\nRead terrain map\nMap 1 seed is 256\n"
              "Read civ view map.\nRead terrain map\nMap 2 seed is 257\n",
              log.str());

    log.str("");
    game.load(fixture::writeLayout(dir, "map.mp", fixture::makeLayout(fixture::MAP_ONLY, WIDTH, HEIGHT)));
    EXPECT_EQ("X Dimension is: 8\nY Dimension is: 4\nMap Area is: 16\nFlat Earth is: 0\nMap Seed is: 4660\n"
              "locator x dim is: 2\nlocator y dim is: 1\nLoaded start positions.\nRead terrain map\n",
              log.str());
}

// ---------------------------------------------------------------------------
// Names

TEST(IsMPFileTest, OnlyTheLastExtensionCounts)
{
    struct Case {
        const char* name;
        bool mapOnly;
    };
    const Case cases[] = {
        {"map.mp", true},   {"MAP.MP", true},    {"x.Mp", true},       {"x.mP", true},
        {".mp", true},      {"dir/x.sav.mp", true}, {"a.b.c.MP", true}, {"x.mpx", false},
        {"x.mp.sav", false}, {"dir.mp/x", false}, {"noext", false},     {"", false},
        {"x.", false},      {"mp", false},       {"x.mp ", false},     {"x.m", false},
        {"x.sav", false},   {"x_mp", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.mapOnly, Civ2SavedGame::isMPFile(c.name)) << "'" << c.name << "'";
}

// ---------------------------------------------------------------------------
// Failures

TEST(LoadFailureTest, MissingFileIsNotPrefixed)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    for (const char* name : {"missing.sav", "missing.mp"}) {
        const std::string path = dir.path(name);
        EXPECT_EQ("Could not open file: " + path, loadFailure(game, path));
    }
    EXPECT_EQ("Could not open file: ", loadFailure(game, ""));
}

TEST(LoadFailureTest, UnknownVersionsAreRefusedWithTheirNumber)
{
    fixture::TempDir dir;
    for (int version : {0, 1, 38, 41, 42, 43, 45, 46, 47, 48, 51, 0x2700, 0xffff}) {
        SCOPED_TRACE(version);
        FileLayout layout = fixture::makeLayout(fixture::MGE, WIDTH, HEIGHT);
        Bytes bytes = fixture::build(layout);
        bytes[10] = static_cast<std::uint8_t>(version & 0xff);
        bytes[11] = static_cast<std::uint8_t>(version >> 8);
        const std::string path = dir.path("game.sav");
        fixture::writeFile(path, bytes);
        Civ2SavedGame game;
        EXPECT_EQ("File: " + path + " Unrecognized savegame/scenario version number: " + std::to_string(version),
                  loadFailure(game, path));
        EXPECT_STREQ("Unknown Version", game.getVersionString());
    }
}

// The message a saved game or map-only file cut to length gives, by the part
// of the file the cut falls into.
std::string truncationMessage(const FileLayout& layout, std::size_t length)
{
    const bool mapOnly = layout.version == fixture::MAP_ONLY;
    const bool tot = isToT(layout.version);
    if (!mapOnly && length < 12)
        return "Read error.";
    // headerOffset with no transporters is where the transporter count ends.
    if (tot && length < fixture::headerOffset(layout.version, 0))
        return "Read error.";
    const std::size_t header = fixture::headerOffset(layout.version, layout.transporters);
    if (length < header)
        return "Error reading pre-Map data from file.";
    std::size_t at = header + 14 + (tot ? 2 : 0) + (mapOnly ? 84 : 0);
    if (length < at)
        return "Read error.";
    for (const fixture::MapBlocks& map : layout.maps) {
        at += (mapOnly ? 0 : 7 * map.terrain.size() / 6) + map.terrain.size();
        if (length < at)
            return "Read Error.";
        if (tot) {
            at += 2;
            if (length < at)
                return "Read error.";
        }
    }
    return "";
}

// Every cut inside the map part of a file, and a few in the pre-map block,
// fails with the message of the part it falls into; a cut inside the post-map
// block only shortens that block.
TEST(LoadFailureTest, TruncatedFilesOfEveryVersion)
{
    fixture::TempDir dir;
    const VersionCase cases[] = {
        {"CIC", fixture::CIC, "", 1, 0},          {"FW", fixture::FW, "", 1, 0},
        {"MGE", fixture::MGE, "", 1, 0},          {"ToT10", fixture::TOT10, "", 2, 2},
        {"ToT11", fixture::TOT11, "", 3, 0},      {"map-only", fixture::MAP_ONLY, "", 1, 0},
    };
    for (const VersionCase& c : cases) {
        FileLayout layout = fixture::makeLayout(c.version, 4, 2, c.numMaps);
        layout.transporters = c.transporters;
        const Bytes whole = fixture::build(layout);
        const std::size_t header = fixture::headerOffset(c.version, c.transporters);

        std::vector<std::size_t> lengths = {0, 1, 10, 11, 12, 100, header - 1};
        if (isToT(c.version)) {
            const std::size_t count = header - 4 - 14 * c.transporters;
            for (std::size_t length : {count, count + 3, count + 4})
                lengths.push_back(length);
        }
        const std::size_t mapsEnd = whole.size() - layout.postMap.size() - layout.trailing.size();
        for (std::size_t length = header; length <= mapsEnd + 1; ++length)
            lengths.push_back(length);
        lengths.push_back(whole.size());

        // Written once, then cut shorter and shorter.
        std::sort(lengths.rbegin(), lengths.rend());
        const std::string path = dir.path(c.version == fixture::MAP_ONLY ? "cut.mp" : "cut.sav");
        fixture::writeFile(path, whole);
        for (std::size_t length : lengths) {
            if (length > whole.size())
                continue;
            SCOPED_TRACE(std::string(c.name) + " cut to " + std::to_string(length));
            std::filesystem::resize_file(path, length);
            Civ2SavedGame game;
            const std::string expected = truncationMessage(layout, length);
            if (expected.empty()) {
                EXPECT_NO_THROW(game.load(path));
            } else {
                EXPECT_EQ("File: " + path + " " + expected, loadFailure(game, path));
            }
        }
    }
}

// A header whose dimensions hold more tiles than its area: the walk over the
// grid reaches a tile beyond the area and loading stops there, whatever the
// dimensions claim, before anything of their size is allocated.
TEST(LoadFailureTest, HeaderWithAreaTooSmallForItsDimensions)
{
    struct Case {
        int version;
        std::uint16_t xDim;
        std::uint16_t yDim;
        std::uint16_t area;
    };
    fixture::TempDir dir;
    for (const Case& c : {Case{fixture::MGE, WIDTH, HEIGHT, AREA - 1}, Case{fixture::MGE, 65535, 65535, 16},
                          Case{fixture::TOT11, 65535, 65535, 1}, Case{fixture::MAP_ONLY, 65535, 65535, 16},
                          Case{fixture::CIC, 65535, 2, 16}}) {
        SCOPED_TRACE(std::to_string(c.xDim) + "x" + std::to_string(c.yDim) + " area " + std::to_string(c.area));
        FileLayout layout = fixture::makeLayout(c.version, WIDTH, HEIGHT, 1);
        layout.xDim = c.xDim;
        layout.yDim = c.yDim;
        layout.area = c.area;
        const std::string path = fixture::writeLayout(dir, c.version == fixture::MAP_ONLY ? "big.mp" : "big.sav", layout);
        Civ2SavedGame game;
        EXPECT_EQ("File: " + path + " Invalid x,y coordinates: out of bounds.", loadFailure(game, path));
    }
}

TEST(LoadFailureTest, HeaderWithAreaLargerThanItsDimensionsLoads)
{
    fixture::TempDir dir;
    FileLayout layout = fixture::makeLayout(fixture::FW, WIDTH, HEIGHT, 1, AREA + 5);
    Civ2SavedGame game;
    game.load(fixture::writeLayout(dir, "game.sav", layout));
    expectLoadedAsLayout(game, layout);
}

// The transporter count decides where the header lies; a bogus one is checked
// against the file's size before any of it is allocated.
TEST(LoadFailureTest, TransporterCountBeyondTheFile)
{
    fixture::TempDir dir;
    for (int version : {fixture::TOT10, fixture::TOT11}) {
        for (std::uint32_t count : {0xFFFFFFFFu, 0x80000000u, 0x12492493u, 0x10000000u, 1000u}) {
            SCOPED_TRACE(std::to_string(version) + ": " + std::to_string(count));
            Bytes bytes = fixture::build(fixture::makeLayout(version, WIDTH, HEIGHT, 2));
            std::size_t at = version == fixture::TOT10 ? 0x7420 : 0x74C8;
            for (int shift = 0; shift < 32; shift += 8)
                bytes[at++] = static_cast<std::uint8_t>(count >> shift);
            const std::string path = dir.path("game.sav");
            fixture::writeFile(path, bytes);
            Civ2SavedGame game;
            EXPECT_EQ("File: " + path + " Error reading pre-Map data from file.", loadFailure(game, path));
        }
    }
}

// Keeps a FIFO open for writing, so that opening it for reading does not wait;
// a FIFO cannot be positioned.
class Fifo {
public:
    explicit Fifo(const std::string& path) : path(path)
    {
        if (mkfifo(path.c_str(), 0600) == 0)
            writer = open(path.c_str(), O_RDWR | O_NONBLOCK);
    }
    ~Fifo()
    {
        if (writer >= 0)
            close(writer);
    }
    bool ready() const { return writer >= 0; }

private:
    std::string path;
    int writer = -1;
};

TEST(LoadFailureTest, FileThatCannotBePositioned)
{
    fixture::TempDir dir;
    const std::string mapOnly = dir.path("pipe.mp");
    const std::string savedGame = dir.path("pipe.sav");
    Fifo mapOnlyFifo(mapOnly);
    Fifo savedGameFifo(savedGame);
    ASSERT_TRUE(mapOnlyFifo.ready());
    ASSERT_TRUE(savedGameFifo.ready());

    Civ2SavedGame game;
    EXPECT_EQ("File: " + mapOnly + " Error accessing file", loadFailure(game, mapOnly));
    EXPECT_EQ("File: " + savedGame + " Read error.", loadFailure(game, savedGame));
}

} // namespace
