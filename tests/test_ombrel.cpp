// The probe program: every line it can print, its exit statuses, the
// coordinates it reads, and files of every version, whole, cut or random.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fixture.h"
#include "run_program.h"

namespace {

using fixture::Bytes;
using fixture::FileLayout;
using fixture::RunResult;

RunResult ombrel(const std::vector<std::string>& args)
{
    return fixture::runProgram(OMBREL_PATH, args);
}

// Everything goes to standard output; standard error stays empty.
void expectRun(const RunResult& run, const std::string& out, int status)
{
    EXPECT_EQ(out, run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(status, run.status);
}

std::string fertilityLine(int value)
{
    const char* const digits = "0123456789abcdef";
    return std::string("Fertility is: ") + digits[value] + "\n";
}

bool isToT(int version)
{
    return version == fixture::TOT10 || version == fixture::TOT11;
}

// An MGE game of 8 x 4 whose tile (x, y) has fertility (x / 2 + 4y) & 15.
class OmbrelTest : public ::testing::Test {
protected:
    static const int WIDTH = 8;
    static const int HEIGHT = 4;

    void SetUp() override
    {
        layout = fixture::makeLayout(fixture::MGE, WIDTH, HEIGHT);
        game = fixture::writeLayout(dir, "game.sav", layout);
    }

    fixture::TempDir dir;
    FileLayout layout;
    std::string game;
};

TEST_F(OmbrelTest, UsageUnlessExactlyThreeArguments)
{
    const std::string usage = "Need three and only three arguments.\n<file> <x> <y> (in civ2 coords)";
    const std::vector<std::vector<std::string>> wrongCounts = {
        {}, {game}, {game, "0"}, {game, "0", "0", "0"}, {"", "", "", "", ""}};
    for (const auto& args : wrongCounts) {
        SCOPED_TRACE(args.size());
        expectRun(ombrel(args), usage, 1);
    }
}

TEST_F(OmbrelTest, EveryRowOfTheOutputTable)
{
    Bytes unknownVersion = fixture::build(layout);
    unknownVersion[10] = 41;
    const std::string badVersion = dir.path("bad.sav");
    fixture::writeFile(badVersion, unknownVersion);
    const std::string missing = dir.path("missing.sav");

    struct Case {
        const char* name;
        std::string file;
        std::string x;
        std::string y;
        std::string out;
        int status;
    };
    const Case cases[] = {
        {"fertility 0", game, "0", "0", fertilityLine(0), 0},
        {"fertility 12 in hex", game, "1", "3", fertilityLine(12), 0},
        {"fertility 15", game, "7", "3", fertilityLine(15), 0},
        {"file cannot be opened", missing, "0", "0", "Could not open file: " + missing + "\n", 1},
        {"load failure before bad coordinates", missing, "-5", "99", "Could not open file: " + missing + "\n", 1},
        {"load failure with prefix", badVersion, "0", "0",
         "File: " + badVersion + " Unrecognized savegame/scenario version number: 41\n", 1},
        {"x equal to the width", game, "8", "0", "X Value: 8 is invalid\n", 1},
        {"x negative", game, "-1", "1", "X Value: -1 is invalid\n", 1},
        {"y equal to the height", game, "0", "4", "Y Value: 4 is invalid\n", 1},
        {"y negative", game, "2", "-2", "Y Value: -2 is invalid\n", 1},
        {"both out of range: only x", game, "-3", "-3", "X Value: -3 is invalid\n", 1},
        {"x + y odd", game, "3", "2", "Invalid x,y coordinates, x+y must be even.\n", 1},
        {"x + y odd on the last tile", game, "7", "0", "Invalid x,y coordinates, x+y must be even.\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectRun(ombrel({c.file, c.x, c.y}), c.out, c.status);
    }
}

// Coordinates are read as atoi reads them; numbers beyond int are held at
// its ends.
TEST_F(OmbrelTest, CoordinatesAreReadLikeAtoi)
{
    struct Case {
        const char* x;
        const char* y;
        std::string out;
    };
    const Case cases[] = {
        {"abc", "0", fertilityLine(0)},
        {"", "", fertilityLine(0)},
        {"6px", "2", fertilityLine(11)},
        {"  +4", "\t2", fertilityLine(10)},
        {"-0", "0x3", fertilityLine(0)},
        {"2.9", "0", fertilityLine(1)},
        {"12px", "0", "X Value: 12 is invalid\n"},
        {" -7 ", "0", "X Value: -7 is invalid\n"},
        {"2147483647", "0", "X Value: 2147483647 is invalid\n"},
        {"2147483648", "0", "X Value: 2147483647 is invalid\n"},
        {"4294967296", "0", "X Value: 2147483647 is invalid\n"}, // not wrapped to 0
        {"99999999999999999999999", "0", "X Value: 2147483647 is invalid\n"},
        {"-2147483648", "0", "X Value: -2147483648 is invalid\n"},
        {"-2147483649", "0", "X Value: -2147483648 is invalid\n"},
        {"-99999999999999999999999", "0", "X Value: -2147483648 is invalid\n"},
        {"0", "4294967298", "Y Value: 2147483647 is invalid\n"},
        {"0", "-4294967296", "Y Value: -2147483648 is invalid\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("'") + c.x + "' '" + c.y + "'");
        expectRun(ombrel({game, c.x, c.y}), c.out, c.out.rfind("Fertility", 0) == 0 ? 0 : 1);
    }
}

// Every tile of map 0, against the fertility the fixture wrote there. In ToT
// files the later maps hold other values, so probing them by mistake shows.
TEST(OmbrelFilesTest, EveryTileOfEveryVersion)
{
    struct Case {
        const char* name;
        int version;
        int numMaps;
        std::uint32_t transporters;
        const char* fileName;
    };
    const Case cases[] = {
        {"CIC", fixture::CIC, 1, 0, "game.sav"},
        {"FW", fixture::FW, 1, 0, "game.sav"},
        {"MGE", fixture::MGE, 1, 0, "scenario.scn"},
        {"ToT 1.0", fixture::TOT10, 3, 5, "game.sav"},
        {"ToT 1.1", fixture::TOT11, 3, 2, "game.SAV"},
        {"map-only", fixture::MAP_ONLY, 1, 0, "world.mp"},
        {"map-only, upper case", fixture::MAP_ONLY, 1, 0, "WORLD.MP"},
    };
    const int width = 8;
    const int height = 4;
    fixture::TempDir dir;
    for (const Case& c : cases) {
        FileLayout layout = fixture::makeLayout(c.version, width, height, c.numMaps);
        layout.transporters = c.transporters;
        const std::string path = fixture::writeLayout(dir, c.fileName, layout);
        for (int y = 0; y < height; ++y) {
            for (int x = y % 2; x < width; x += 2) {
                SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(x) + "," + std::to_string(y));
                const int stored = fixture::fertilityOf(layout.maps[0], width, x, y);
                expectRun(ombrel({path, std::to_string(x), std::to_string(y)}), fertilityLine(stored), 0);
            }
        }
    }
}

// Cut or random files never crash or hang the program: it ends with status
// 1 and one line of message on standard output.
void expectOneLineFailure(const RunResult& run)
{
    EXPECT_EQ(1, run.status) << run.out;
    EXPECT_EQ("", run.err);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ('\n', run.out.back());
    EXPECT_EQ(run.out.size() - 1, run.out.find('\n')) << run.out;
}

TEST(OmbrelFilesTest, TruncatedFilesOfEveryVersionFailWithAMessage)
{
    fixture::TempDir dir;
    for (int version : {fixture::CIC, fixture::FW, fixture::MGE, fixture::TOT10, fixture::TOT11, fixture::MAP_ONLY}) {
        FileLayout layout = fixture::makeLayout(version, 8, 4, isToT(version) ? 2 : 1);
        layout.transporters = isToT(version) ? 3 : 0;
        const Bytes whole = fixture::build(layout);
        const std::size_t header = fixture::headerOffset(version, layout.transporters);
        const std::size_t mapsEnd = whole.size() - layout.postMap.size();
        const std::string path = dir.path(version == fixture::MAP_ONLY ? "cut.mp" : "cut.sav");
        for (std::size_t length : {std::size_t{0}, std::size_t{11}, header > 0 ? header - 1 : 5, header + 7,
                                   header + 40, (header + mapsEnd) / 2, mapsEnd - 1}) {
            SCOPED_TRACE(std::to_string(version) + " cut to " + std::to_string(length));
            fixture::writeFile(path, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
            const RunResult run = ombrel({path, "0", "0"});
            expectOneLineFailure(run);
            EXPECT_EQ(0u, run.out.rfind("File: " + path + " ", 0)) << run.out;
        }
    }
}

TEST(OmbrelFilesTest, RandomFilesFailWithAMessage)
{
    fixture::TempDir dir;
    std::mt19937 random(20240611);
    for (int version : {fixture::CIC, fixture::FW, fixture::MGE, fixture::TOT10, fixture::TOT11, fixture::MAP_ONLY, -1}) {
        for (int round = 0; round < 4; ++round) {
            // Sizes from nothing to past a ToT header, so every reading step
            // meets random bytes somewhere.
            const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 40000)(random);
            Bytes bytes(size);
            for (std::uint8_t& byte : bytes)
                byte = static_cast<std::uint8_t>(random());
            if (version > 0 && size >= 12) {
                bytes[10] = static_cast<std::uint8_t>(version);
                bytes[11] = 0;
            }
            SCOPED_TRACE(std::to_string(version) + ", " + std::to_string(size) + " bytes");
            const std::string path = dir.path(version == fixture::MAP_ONLY ? "random.mp" : "random.sav");
            fixture::writeFile(path, bytes);
            expectOneLineFailure(ombrel({path, "2", "0"}));
        }
    }
}

} // namespace
