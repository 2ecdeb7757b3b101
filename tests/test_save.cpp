// Writing saved games and map-only files back: byte-identical round trips,
// which seed reaches the file, and the failures with their exact messages.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "civ2sav.h"
#include "fixture.h"

namespace {

using fixture::Bytes;
using fixture::FileLayout;
using fixture::loadLayout;
using fixture::saveAndRead;
using fixture::failureOf;

struct RoundTripCase {
    const char* name;
    FileLayout layout;
};

FileLayout withTransporters(FileLayout layout, std::uint32_t count)
{
    layout.transporters = count;
    return layout;
}

FileLayout withoutPostMap(FileLayout layout)
{
    layout.postMap.clear();
    return layout;
}

// Test listings show a case by its name rather than by its bytes.
void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.name;
}

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, WritesBackTheSameBytes)
{
    fixture::TempDir dir;
    const FileLayout& layout = GetParam().layout;
    Civ2SavedGame game;
    loadLayout(game, dir, layout);
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
    // Writing changes nothing, so a second write gives the same file again.
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

INSTANTIATE_TEST_SUITE_P(
    EveryVersion, RoundTrip,
    ::testing::Values(RoundTripCase{"CIC", fixture::makeLayout(fixture::CIC, 20, 10)},
                      RoundTripCase{"FW", fixture::makeLayout(fixture::FW, 12, 6)},
                      RoundTripCase{"MGE", fixture::makeLayout(fixture::MGE, 20, 10)},
                      RoundTripCase{"ToT10WithTransporters",
                                    withTransporters(fixture::makeLayout(fixture::TOT10, 20, 10), 3)},
                      RoundTripCase{"ToT11ThreeSecondaryMaps",
                                    withTransporters(fixture::makeLayout(fixture::TOT11, 16, 8, 4), 2)},
                      RoundTripCase{"MGEEmptyPostMap", withoutPostMap(fixture::makeLayout(fixture::MGE, 20, 10))},
                      RoundTripCase{"ToT10EmptyPostMap", withoutPostMap(fixture::makeLayout(fixture::TOT10, 8, 4, 2))},
                      RoundTripCase{"MapOnly", fixture::makeLayout(fixture::MAP_ONLY, 20, 10)}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

TEST(Save, MapOnlyFileDropsTheBytesAfterItsTerrain)
{
    fixture::TempDir dir;
    FileLayout layout = fixture::makeLayout(fixture::MAP_ONLY, 20, 10);
    layout.trailing = {1, 2, 3, 4, 5, 6, 7};
    Civ2SavedGame game;
    loadLayout(game, dir, layout);

    Bytes written = saveAndRead(game, dir);

    Bytes expected = fixture::build(layout);
    expected.resize(expected.size() - layout.trailing.size());
    EXPECT_EQ(written, expected);
}

// Changes made in memory show in exactly the bytes that hold them: the
// expected file is the fixture with the same change made byte by byte.
TEST(Save, ChangedTilesChangeExactlyTheirBytes)
{
    fixture::TempDir dir;
    FileLayout layout = fixture::makeLayout(fixture::TOT11, 20, 10, 4);
    Civ2SavedGame game;
    loadLayout(game, dir, layout);

    game.getMap(0)->setFertility(12, 4, 9);
    game.getMap(2)->setTerrainType(5, 7, Civ2TerrainType(3));
    game.getMap(3)->setCivView(0, 0, Civ2Map::PURPLE, Improvements(0x5A));

    fixture::setFertility(layout.maps[0], 20, 12, 4, 9);
    fixture::setTerrainByte(layout.maps[2], 20, 5, 7, 0, 3);
    layout.maps[3].civView.at(6 * layout.area + fixture::tileOffset(20, 0, 0)) = 0x5A;
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

TEST(Save, ToTWritesEachMapsOwnSeed)
{
    fixture::TempDir dir;
    FileLayout layout = fixture::makeLayout(fixture::TOT10, 20, 10, 4);
    Civ2SavedGame game;
    loadLayout(game, dir, layout);

    game.getMap(2)->setSeed(0xBEEF);

    layout.maps[2].seed = 0xBEEF;
    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

TEST(Save, NonToTIgnoresTheMapsOwnSeed)
{
    fixture::TempDir dir;
    const FileLayout layout = fixture::makeLayout(fixture::MGE, 20, 10);
    Civ2SavedGame game;
    loadLayout(game, dir, layout);

    game.getMap(0)->setSeed(0xBEEF);

    EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
}

TEST(Save, GameSeedReachesTheHeader)
{
    for (int version : {fixture::MGE, fixture::TOT11, fixture::MAP_ONLY}) {
        SCOPED_TRACE(version);
        fixture::TempDir dir;
        FileLayout layout = fixture::makeLayout(version, 20, 10, version == fixture::TOT11 ? 2 : 1);
        Civ2SavedGame game;
        loadLayout(game, dir, layout);

        game.setSeed(7);

        EXPECT_EQ(game.getSeed(), 7);
        EXPECT_EQ(game.getMap(0)->getSeed(), version == fixture::TOT11 ? layout.maps[0].seed : layout.mapSeed);
        layout.mapSeed = 7;
        EXPECT_EQ(saveAndRead(game, dir), fixture::build(layout));
    }
}

// ---------------------------------------------------------------------------
// Failures

const Bytes KEEP_ME = {'k', 'e', 'e', 'p'};

TEST(SaveFailure, NeverLoadedObjectCreatesNoFile)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    const std::string fresh = dir.path("fresh.sav");
    const std::string existing = dir.path("existing.sav");
    fixture::writeFile(existing, KEEP_ME);

    EXPECT_EQ(failureOf([&] { game.save(fresh); }), "Cannot save a file with no maps");
    EXPECT_EQ(failureOf([&] { game.save(existing); }), "Cannot save a file with no maps");

    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(fixture::readFile(existing), KEEP_ME);
}

// A ToT game's maps stay in place when a later load fails before it
// rebuilds them, leaving several maps under a single-map version.
TEST(SaveFailure, SeveralMapsUnderANonToTVersionLeaveTheFileAlone)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    loadLayout(game, dir, fixture::makeLayout(fixture::TOT11, 20, 10, 3));
    Bytes truncatedMge = fixture::build(fixture::makeLayout(fixture::MGE, 20, 10));
    truncatedMge.resize(100);
    fixture::writeFile(dir.path("short.sav"), truncatedMge);
    EXPECT_THROW(game.load(dir.path("short.sav")), std::runtime_error);
    const std::string existing = dir.path("existing.sav");
    fixture::writeFile(existing, KEEP_ME);

    EXPECT_EQ(failureOf([&] { game.save(existing); }), "Cannot save multiple maps into a non-ToT game");
    EXPECT_EQ(fixture::readFile(existing), KEEP_ME);
}

TEST(SaveFailure, DirectoryAsTargetIsNotPrefixed)
{
    fixture::TempDir dir;
    Civ2SavedGame game;
    loadLayout(game, dir, fixture::makeLayout(fixture::MGE, 20, 10));

    EXPECT_EQ(failureOf([&] { game.save(dir.root()); }), "Could not open file: " + dir.root());
}

// /dev/full refuses the first write: a saved game's pre-map block (not
// prefixed), or a map-only file's header (prefixed). The object stays fit
// for a later write.
TEST(SaveFailure, FullDeviceGivesTheMessageOfTheFirstBlock)
{
    struct Case {
        FileLayout layout;
        std::string message;
    } cases[] = {
        {fixture::makeLayout(fixture::MGE, 20, 10), "Error writing pre-Map data to: /dev/full"},
        {fixture::makeLayout(fixture::TOT11, 20, 10, 2), "Error writing pre-Map data to: /dev/full"},
        {fixture::makeLayout(fixture::MAP_ONLY, 20, 10), "File: /dev/full Write Error."},
    };
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        fixture::TempDir dir;
        Civ2SavedGame game;
        loadLayout(game, dir, c.layout);
        EXPECT_EQ(failureOf([&] { game.save("/dev/full"); }), c.message);
        EXPECT_EQ(saveAndRead(game, dir), fixture::build(c.layout));
    }

    Civ2SavedGame created;
    created.createMP(40, 20);
    EXPECT_EQ(failureOf([&] { created.save("/dev/full"); }), "File: /dev/full Write Error.");
}

// Limits the size of files this process may write while it lives, with
// the signal that would otherwise end the process ignored, so that a write
// past the limit fails with the bytes before it on disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved{};
    void (*previousHandler)(int) = SIG_DFL;
};

// A write that fails part way through: every block after the pre-map block
// carries the "File: " prefix, and the file holds what went out before.
TEST(SaveFailure, WriteFailingMidwayGivesTheMessageOfItsBlock)
{
    // ToT 1.0, 20 x 10, no transporters, two maps: where each block starts.
    const std::size_t header = fixture::headerOffset(fixture::TOT10);
    const std::size_t area = 100;
    const std::size_t firstMap = header + 16;
    const std::size_t firstSeed = firstMap + 13 * area;
    const std::size_t secondMapTerrain = firstSeed + 2 + 7 * area;
    const std::size_t postMap = firstSeed + 2 + 13 * area + 2;
    struct Case {
        std::size_t limit;
        std::string message;
    } cases[] = {
        {header / 2, "Error writing pre-Map data to: @"},
        {header + 3, "File: @ Write Error."},                     // header record
        {header + 15, "File: @ Write Error."},                    // secondary-map count
        {firstMap + 10, "File: @ Write Error."},                  // civilisation views
        {secondMapTerrain + 6, "File: @ Write Error."},           // terrain
        {firstSeed + 1, "File: @ Write Error."},                  // map-specific seed
        {postMap + 1, "File: @ Failure writing post-Map data."},
    };
    fixture::TempDir dir;
    const FileLayout layout = fixture::makeLayout(fixture::TOT10, 20, 10, 2);
    Civ2SavedGame game;
    loadLayout(game, dir, layout);
    const Bytes whole = fixture::build(layout);
    const std::string target = dir.path("limited.sav");

    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        std::string message;
        {
            FileSizeLimit limit(c.limit);
            message = failureOf([&] { game.save(target); });
        }
        std::string expected = c.message;
        expected.replace(expected.find('@'), 1, target);
        EXPECT_EQ(message, expected);
        EXPECT_EQ(fixture::readFile(target), Bytes(whole.begin(), whole.begin() + static_cast<long>(c.limit)));
    }
}

} // namespace
