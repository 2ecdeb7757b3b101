// tillany run as a process: its command line, the difference lines in walk
// order, the count line, the failures and their exit statuses.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "fixture.h"
#include "run_program.h"

namespace {

using fixture::FileLayout;
using fixture::MapBlocks;

const char* const MISSING_NAMES = "Must specify two file names on command line.\nUsage: tillany file1 file2\n";
const char* const OUT_OF_BOUNDS = "Invalid x,y coordinates: out of bounds.\n";

// Every tile of every map at fertility 0, so that only the tiles a case sets
// can differ, whatever the two maps' shapes.
void clearFertility(FileLayout& layout)
{
    for (MapBlocks& map : layout.maps)
        for (std::size_t cell = 0; cell < map.terrain.size(); cell += 6)
            map.terrain[cell + 5] &= 0xf0;
}

FileLayout plainLayout(int version, int width, int height, int numMaps = 1)
{
    FileLayout layout = fixture::makeLayout(version, width, height, numMaps);
    clearFertility(layout);
    return layout;
}

struct Setting {
    int x;
    int y;
    std::uint8_t fertility;
};

FileLayout withFertility(FileLayout layout, const std::vector<Setting>& settings)
{
    for (const Setting& s : settings)
        fixture::setFertility(layout.maps.at(0), layout.xDim, s.x, s.y, s.fertility);
    return layout;
}

// A file a case writes: its name (".mp" makes it a map-only file) and bytes.
struct InputFile {
    std::string name;
    std::function<fixture::Bytes()> bytes; // null: no file written
};

InputFile file(const std::string& name, std::function<FileLayout()> layout)
{
    return {name, [layout] { return fixture::build(layout()); }};
}

const InputFile NO_FILE = {"", nullptr};

// The files a case writes, and the arguments it passes: "@1" and "@2" stand
// for the paths of the first and second file written.
struct TillanyCase {
    const char* name;
    InputFile first;
    InputFile second;
    std::vector<std::string> args;
    std::string expectedOut; // "@1" and "@2" replaced as in args
    int expectedStatus;
};

std::string substitute(std::string text, const std::string& first, const std::string& second)
{
    for (const auto& [token, path] : {std::pair<std::string, std::string>{"@1", first}, {"@2", second}}) {
        for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + path.size()))
            text.replace(at, token.size(), path);
    }
    return text;
}

// A saved game whose version field reads 41, which no edition uses.
fixture::Bytes unknownVersion()
{
    fixture::Bytes bytes = fixture::build(plainLayout(fixture::MGE, 20, 10));
    bytes[10] = 41;
    bytes[11] = 0;
    return bytes;
}

FileLayout plainMge()
{
    return plainLayout(fixture::MGE, 20, 10);
}

const std::vector<TillanyCase>& cases()
{
    static const std::vector<TillanyCase> all = {
        {"NoArguments", NO_FILE, NO_FILE, {}, MISSING_NAMES, 1},
        {"OneName", file("first.sav", plainMge), NO_FILE, {"@1"}, MISSING_NAMES, 1},
        {"EmptyFirstName", NO_FILE, file("second.sav", plainMge), {"", "@2"}, MISSING_NAMES, 1},
        {"EmptySecondName", file("first.sav", plainMge), NO_FILE, {"@1", ""}, MISSING_NAMES, 1},
        {"SlashQuestionMarkAlone", NO_FILE, NO_FILE, {"/?"}, MISSING_NAMES, 1},
        {"SlashQuestionMarkIsAFileName", NO_FILE, file("second.sav", plainMge), {"/?", "@2"},
         "Could not open file: /?\n", 1},
        {"SameFileTwice", file("first.sav", [] { return fixture::makeLayout(fixture::MGE, 20, 10); }), NO_FILE,
         {"@1", "@1"}, "0 differences found.\n", 0},
        {"FurtherArgumentsIgnored", file("first.sav", plainMge), file("second.sav", plainMge),
         {"@1", "@2", "no-such-file.sav", "/?"}, "0 differences found.\n", 0},
        {"OneDifference", file("first.sav", [] { return withFertility(plainMge(), {{12, 4, 3}}); }),
         file("second.sav", plainMge), {"@1", "@2"}, "12,4 3,0\n1 differences found.\n", 0},
        {"ManyDifferencesInWalkOrder",
         file("first.sav", [] { return withFertility(plainLayout(fixture::CIC, 20, 10), {{19, 9, 1}, {0, 0, 15}, {10, 2, 7}}); }),
         file("second.mp",
              [] {
                  return withFertility(plainLayout(fixture::MAP_ONLY, 20, 10),
                                       {{18, 0, 12}, {11, 1, 4}, {10, 2, 7}, {19, 9, 2}, {2, 0, 10}});
              }),
         {"@1", "@2"}, "0,0 15,0\n2,0 0,10\n18,0 0,12\n11,1 0,4\n19,9 1,2\n5 differences found.\n", 0},
        {"ToTPairDifferingOutsideMapZero", file("first.sav", [] { return fixture::makeLayout(fixture::TOT11, 20, 10, 3); }),
         file("second.sav",
              [] {
                  FileLayout layout = fixture::makeLayout(fixture::TOT11, 20, 10, 3);
                  fixture::setFertility(layout.maps[1], 20, 4, 2, 9);
                  fixture::setFertility(layout.maps[2], 20, 5, 3, 11);
                  layout.maps[2].seed = 0x4321;
                  return layout;
              }),
         {"@1", "@2"}, "0 differences found.\n", 0},
        // Rows come from the first file: the walk runs into the second
        // map's missing rows after printing the common rows' differences.
        {"FirstTaller", file("first.sav", [] { return withFertility(plainLayout(fixture::MGE, 20, 12), {{4, 2, 9}, {0, 10, 5}}); }),
         file("second.sav", [] { return withFertility(plainMge(), {{4, 2, 1}}); }), {"@1", "@2"},
         std::string("4,2 9,1\n") + OUT_OF_BOUNDS, 1},
        {"FirstShorter", file("first.sav", [] { return withFertility(plainLayout(fixture::MGE, 20, 8), {{3, 1, 6}}); }),
         file("second.sav", [] { return withFertility(plainMge(), {{1, 9, 2}, {0, 8, 3}}); }), {"@1", "@2"},
         "3,1 6,0\n1 differences found.\n", 0},
        // Each row stops at the second file's width.
        {"SecondNarrower", file("first.sav", [] { return withFertility(plainMge(), {{4, 0, 8}, {18, 0, 2}, {17, 9, 3}}); }),
         file("second.sav", [] { return plainLayout(fixture::MGE, 16, 10); }), {"@1", "@2"},
         "4,0 8,0\n1 differences found.\n", 0},
        // Positions past the first map's width fall into its next row: (16,0)
        // of a first map of width 16 is its tile (1,1), until the last row
        // runs off its end.
        {"SecondWider", file("first.sav", [] { return withFertility(plainLayout(fixture::MGE, 16, 10), {{1, 1, 7}}); }),
         file("second.sav", [] { return withFertility(plainMge(), {{16, 0, 5}}); }), {"@1", "@2"},
         std::string("16,0 7,5\n1,1 7,0\n") + OUT_OF_BOUNDS, 1},
        {"FirstCannotBeOpened", NO_FILE, NO_FILE, {"no-such-first.sav", "no-such-second.sav"},
         "Could not open file: no-such-first.sav\n", 1},
        {"SecondCannotBeOpened", file("first.sav", plainMge), NO_FILE, {"@1", "no-such-second.sav"},
         "Could not open file: no-such-second.sav\n", 1},
        {"FirstUnrecognisedVersion", {"first.sav", unknownVersion}, NO_FILE, {"@1", "no-such-second.sav"},
         "File: @1 Unrecognized savegame/scenario version number: 41\n", 1},
    };
    return all;
}

// Test listings show a case by its name rather than by its bytes.
void PrintTo(const TillanyCase& c, std::ostream* os)
{
    *os << c.name;
}

class TillanyRun : public ::testing::TestWithParam<TillanyCase> {};

TEST_P(TillanyRun, PrintsExactlyTheExpectedLines)
{
    const TillanyCase& c = GetParam();
    fixture::TempDir dir;
    std::string firstPath;
    std::string secondPath;
    if (c.first.bytes) {
        firstPath = dir.path(c.first.name);
        fixture::writeFile(firstPath, c.first.bytes());
    }
    if (c.second.bytes) {
        secondPath = dir.path(c.second.name);
        fixture::writeFile(secondPath, c.second.bytes());
    }
    std::vector<std::string> args;
    for (const std::string& arg : c.args)
        args.push_back(substitute(arg, firstPath, secondPath));

    fixture::RunResult result = fixture::runProgram(TILLANY_PATH, args);

    EXPECT_EQ(result.out, substitute(c.expectedOut, firstPath, secondPath));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, c.expectedStatus);
}

INSTANTIATE_TEST_SUITE_P(Cases, TillanyRun, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<TillanyCase>& info) { return info.param.name; });

// Every tile of two equal-sized maps is compared exactly once: with every
// fertility different, each tile gives exactly one line.
TEST(Tillany, ComparesEveryTileOnceOnEqualMaps)
{
    fixture::TempDir dir;
    FileLayout before = plainLayout(fixture::TOT10, 6, 4);
    before.transporters = 2;
    FileLayout after = plainLayout(fixture::MGE, 6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = y % 2; x < 6; x += 2)
            fixture::setFertility(after.maps[0], 6, x, y, static_cast<std::uint8_t>(1 + x + y));

    fixture::RunResult result = fixture::runProgram(
        TILLANY_PATH, {fixture::writeLayout(dir, "before.sav", before), fixture::writeLayout(dir, "after.sav", after)});

    EXPECT_EQ(result.out, "0,0 0,1\n2,0 0,3\n4,0 0,5\n"
                          "1,1 0,3\n3,1 0,5\n5,1 0,7\n"
                          "0,2 0,3\n2,2 0,5\n4,2 0,7\n"
                          "1,3 0,5\n3,3 0,7\n5,3 0,9\n"
                          "12 differences found.\n");
    EXPECT_EQ(result.status, 0);
}

} // namespace
