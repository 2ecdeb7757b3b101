// civ2fert run as a process: the summary it prints, the picture it draws
// (decoded again with libpng), refresh checked tile by tile against the
// library's own rating, and its refusals, which must leave files untouched.

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "FertilityColours.h"
#include "civ2map.h"
#include "civ2sav.h"
#include "fixture.h"
#include "run_program.h"

void PrintTo(const Rgb& colour, std::ostream* os)
{
    *os << "rgb(" << int(colour.red) << ", " << int(colour.green) << ", " << int(colour.blue) << ")";
}

namespace {

using fixture::Bytes;
using fixture::FileLayout;
using fixture::MapBlocks;
using fixture::RunResult;

const int PLAINS_CODE = 1;
const int OCEAN_CODE = 10;
const int ANIMATED_OCEAN_CODE = 0x2A; // ToT: ocean with the animation flag in bit 5
const std::uint8_t CITY = 0x02;

RunResult civ2fert(const std::vector<std::string>& args)
{
    return fixture::runProgram(CIV2FERT_PATH, args);
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> listDirectory(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

// Calls visit(x, y) for every tile of a width x height map.
template <class Visit>
void forEachTile(int width, int height, Visit visit)
{
    for (int y = 0; y < height; ++y)
        for (int x = y % 2; x < width; x += 2)
            visit(x, y);
}

// ---------------------------------------------------------------------------
// Pictures

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    Rgb at(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 3;
        return Rgb{rgb.at(i), rgb.at(i + 1), rgb.at(i + 2)};
    }
};

Picture decodePng(const std::string& path)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "cannot read " << path << ": " << image.message;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << "cannot decode " << path << ": " << image.message;
        picture = Picture();
    }
    return picture;
}

// The pixel at (dx, dy) within tile (x, y), whose two columns x and x + 1
// are each scale pixels wide; the right half of the last tile of an odd row
// lies in column 0.
Rgb tilePixel(const Picture& picture, int mapWidth, int scale, int x, int y, int dx, int dy)
{
    return picture.at((x * scale + dx) % (mapWidth * scale), y * scale + dy);
}

const int PICTURE_WIDTH = 60;
const int PICTURE_HEIGHT = 10;

int patternFertility(int x, int y)
{
    return (x / 2 + y) % 16;
}

// Every tile plains without improvements, fertility patternFertility, except
// a few tiles the picture tests look at.
FileLayout pictureLayout(int version = fixture::MAP_ONLY, int flatEarth = 0)
{
    FileLayout layout = fixture::makeLayout(version, PICTURE_WIDTH, PICTURE_HEIGHT);
    layout.flatEarth = static_cast<std::uint16_t>(flatEarth);
    MapBlocks& map = layout.maps[0];
    forEachTile(PICTURE_WIDTH, PICTURE_HEIGHT, [&](int x, int y) {
        fixture::setTerrainByte(map, PICTURE_WIDTH, x, y, 0, PLAINS_CODE);
        fixture::setTerrainByte(map, PICTURE_WIDTH, x, y, 1, 0);
        fixture::setFertility(map, PICTURE_WIDTH, x, y, static_cast<std::uint8_t>(patternFertility(x, y)));
    });
    fixture::setTerrainByte(map, PICTURE_WIDTH, 6, 2, 0, OCEAN_CODE);
    fixture::setTerrainByte(map, PICTURE_WIDTH, 8, 2, 0, ANIMATED_OCEAN_CODE);
    fixture::setTerrainByte(map, PICTURE_WIDTH, 10, 4, 1, CITY);
    return layout;
}

struct TileColourCase {
    int x;
    int y;
    Rgb colour;
};

TEST(Civ2FertPicture, ColoursEveryTileByFertilityInItsPlaceOnTheStaggeredGrid)
{
    fixture::TempDir dir;
    const std::string input = fixture::writeLayout(dir, "world.mp", pictureLayout());
    const std::string png = dir.path("world.png");
    const int scale = 4;

    RunResult result = civ2fert({"show", input, "--png", png, "--scale", "4"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "Picture: " + png + " (240 x 78 pixels)")) << result.out;
    const Picture picture = decodePng(png);
    ASSERT_EQ(picture.width, 240);

    const TileColourCase tiles[] = {
        {0, 0, landColour(patternFertility(0, 0))},
        {1, 1, landColour(patternFertility(1, 1))},
        {30, 6, landColour(patternFertility(30, 6))},
        {6, 2, oceanColour(patternFertility(6, 2))},
        {8, 2, oceanColour(patternFertility(8, 2))},
        {59, 9, landColour(patternFertility(59, 9))}, // right half wraps to column 0
    };
    for (const TileColourCase& tile : tiles) {
        SCOPED_TRACE("tile " + std::to_string(tile.x) + "," + std::to_string(tile.y));
        EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, tile.x, tile.y, 0, 0), tile.colour);
        EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, tile.x, tile.y, 2 * scale - 1, scale - 1), tile.colour);
    }
    // Neighbours on the grid really differ, so the checks above place tiles.
    EXPECT_NE(landColour(patternFertility(0, 0)), landColour(patternFertility(2, 0)));
    EXPECT_NE(landColour(patternFertility(6, 2)), oceanColour(patternFertility(6, 2)));

    // A city is marked in the middle of its tile; its corner keeps its colour.
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 10, 4, scale, scale / 2), CITY_MARK_COLOUR);
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 10, 4, 0, 0), landColour(patternFertility(10, 4)));
    // The legend strip starts below the map.
    EXPECT_EQ(picture.at(0, PICTURE_HEIGHT * scale), BACKGROUND_COLOUR);
}

TEST(Civ2FertPicture, FlatMapLeavesTheOddRowsFirstHalfColumnEmpty)
{
    fixture::TempDir dir;
    const std::string input = fixture::writeLayout(dir, "flat.mp", pictureLayout(fixture::MAP_ONLY, 1));
    const std::string png = dir.path("flat.png");
    ASSERT_EQ(civ2fert({"show", input, "--png", png}).status, 0);
    const Picture picture = decodePng(png);
    EXPECT_EQ(picture.at(0, 1 * 4), BACKGROUND_COLOUR);
    EXPECT_EQ(picture.at(0, 0), landColour(patternFertility(0, 0)));
}

struct SizeCase {
    int scale;
    int width;
    int height;
};

TEST(Civ2FertPicture, IsTheMapTimesTheScaleWithALegendStripBelow)
{
    // 60 x 10 map: width x scale, at least the legend's 200 units wide; the
    // legend is 38 units high, a unit growing to half the scale while the
    // map's width leaves room.
    const SizeCase cases[] = {{1, 200, 48}, {4, 240, 78}, {8, 480, 156}, {32, 1920, 662}};
    fixture::TempDir dir;
    const std::string input = fixture::writeLayout(dir, "world.mp", pictureLayout());
    for (const SizeCase& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        const std::string png = dir.path("scale" + std::to_string(c.scale) + ".png");
        RunResult result = civ2fert({"show", input, "--png", png, "--scale=" + std::to_string(c.scale)});
        ASSERT_EQ(result.status, 0) << result.err;
        const Picture picture = decodePng(png);
        EXPECT_EQ(picture.width, c.width);
        EXPECT_EQ(picture.height, c.height);
        // The last tile of row 0 ends at the map's right edge.
        EXPECT_EQ(picture.at(PICTURE_WIDTH * c.scale - 1, 0), landColour(patternFertility(58, 0)));
    }
}

TEST(Civ2FertPicture, OutlinesTilesWhoseFertilityDiffersWhereBothMapsHoldThem)
{
    fixture::TempDir dir;
    const std::string input = fixture::writeLayout(dir, "world.mp", pictureLayout());
    FileLayout changed = pictureLayout();
    fixture::setFertility(changed.maps[0], PICTURE_WIDTH, 4, 2, 15);
    const std::string other = fixture::writeLayout(dir, "changed.mp", changed);
    // A smaller map: only the tiles inside it are compared.
    FileLayout small = fixture::makeLayout(fixture::MAP_ONLY, 20, 4);
    forEachTile(20, 4, [&](int x, int y) {
        fixture::setFertility(small.maps[0], 20, x, y, static_cast<std::uint8_t>(patternFertility(x, y) ^ 1));
    });
    const std::string smaller = fixture::writeLayout(dir, "small.mp", small);
    const int scale = 4;

    const std::string png = dir.path("diff.png");
    RunResult result = civ2fert({"show", input, "--png", png, "--against", other});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "Tiles differing from " + other + ": 1\n")) << result.out;
    Picture picture = decodePng(png);
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 4, 2, 0, 0), DIFFERENCE_OUTLINE_COLOUR);
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 4, 2, 2 * scale - 1, scale - 1), DIFFERENCE_OUTLINE_COLOUR);
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 4, 2, scale, scale / 2), landColour(patternFertility(4, 2)));
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 2, 2, 0, 0), landColour(patternFertility(2, 2)));

    result = civ2fert({"show", input, "--png", png, "--against", smaller});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "Tiles differing from " + smaller + ": 40\n")) << result.out;
    picture = decodePng(png);
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 19, 3, 0, 0), DIFFERENCE_OUTLINE_COLOUR);
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 20, 0, 0, 0), landColour(patternFertility(20, 0)));
    EXPECT_EQ(tilePixel(picture, PICTURE_WIDTH, scale, 0, 4, 0, 0), landColour(patternFertility(0, 4)));
}

// ---------------------------------------------------------------------------
// Summary

std::string expectedTable(const std::map<int, long>& tilesByFertility)
{
    std::ostringstream out;
    out << "Fertility  Tiles\n";
    long sites = 0;
    for (int value = 0; value < 16; ++value) {
        const long count = tilesByFertility.count(value) ? tilesByFertility.at(value) : 0;
        out << std::setw(9) << value << "  " << std::setw(5) << count << "\n";
        if (value > 7)
            sites += count;
    }
    out << "Possible city sites (fertility above 7): " << sites << "\n";
    return out.str();
}

TEST(Civ2FertSummary, CountsTheTilesOfEachFertilityValue)
{
    fixture::TempDir dir;
    const std::string input = fixture::writeLayout(dir, "world.mp", pictureLayout(fixture::MAP_ONLY, 1));
    std::map<int, long> counts;
    forEachTile(PICTURE_WIDTH, PICTURE_HEIGHT, [&](int x, int y) { ++counts[patternFertility(x, y)]; });

    RunResult result = civ2fert({"show", input});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "File: " + input + "\n"
                          "Edition: Unknown Version (map-only file)\n"
                          "Size: 60 x 10 (game coordinates), 300 tiles\n"
                          "Maps: 1 (showing map 0)\n"
                          "Shape: flat\n" +
                              expectedTable(counts) + "Tiles with a city: 1\n");
}

TEST(Civ2FertSummary, ShowsTheChosenMapOfAToTGame)
{
    fixture::TempDir dir;
    const FileLayout layout = fixture::makeLayout(fixture::TOT11, 20, 8, 3);
    const std::string input = fixture::writeLayout(dir, "game.sav", layout);
    std::map<int, long> counts;
    long cities = 0;
    forEachTile(20, 8, [&](int x, int y) {
        ++counts[fixture::fertilityOf(layout.maps[1], 20, x, y)];
        if (layout.maps[1].terrain.at(6 * fixture::tileOffset(20, x, y) + 1) & CITY)
            ++cities;
    });
    ASSERT_GT(cities, 0);

    RunResult result = civ2fert({"show", "--map", "1", input});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "File: " + input + "\n"
                          "Edition: ToT 1.1\n"
                          "Size: 20 x 8 (game coordinates), 80 tiles\n"
                          "Maps: 3 (showing map 1)\n"
                          "Shape: round\n" +
                              expectedTable(counts) + "Tiles with a city: " + std::to_string(cities) + "\n");
}

// ---------------------------------------------------------------------------
// Refresh

// The file the library's own rating gives: loads a copy of path, rates every
// tile of the chosen maps with calcFertility, then adjusts every tile, and
// puts the results into layout, so that nothing else can differ.
FileLayout expectedRefresh(const std::string& path, FileLayout layout, const std::vector<int>& mapIndexes)
{
    Civ2SavedGame game;
    game.load(path);
    const int width = layout.xDim;
    const int height = layout.yDim;
    for (int index : mapIndexes) {
        Civ2Map& map = *game.getMap(index);
        forEachTile(width, height, [&](int x, int y) { map.calcFertility(x, y); });
        forEachTile(width, height, [&](int x, int y) { map.adjustFertility(x, y); });
        forEachTile(width, height, [&](int x, int y) {
            fixture::setFertility(layout.maps.at(static_cast<std::size_t>(index)), width, x, y, map.getFertility(x, y));
        });
    }
    return layout;
}

long changedTiles(const FileLayout& before, const FileLayout& after)
{
    long changed = 0;
    for (std::size_t m = 0; m < before.maps.size(); ++m)
        forEachTile(before.xDim, before.yDim, [&](int x, int y) {
            if (fixture::fertilityOf(before.maps[m], before.xDim, x, y) !=
                fixture::fertilityOf(after.maps[m], after.xDim, x, y))
                ++changed;
        });
    return changed;
}

FileLayout withBytesAfterMap(FileLayout layout)
{
    layout.trailing = {1, 2, 3, 4, 5, 6, 7};
    return layout;
}

FileLayout withTransporters(FileLayout layout)
{
    layout.transporters = 3;
    return layout;
}

struct RefreshCase {
    const char* name;
    FileLayout layout;
    std::string inputName;
    std::vector<std::string> mapOption; // empty: every map
    std::vector<int> refreshedMaps;
    bool inPlace;
};

// Test listings show a case by its name rather than by its bytes.
void PrintTo(const RefreshCase& c, std::ostream* os)
{
    *os << c.name;
}

class Civ2FertRefresh : public ::testing::TestWithParam<RefreshCase> {};

TEST_P(Civ2FertRefresh, WritesExactlyTheLibrarysRatingAndNothingElse)
{
    const RefreshCase& c = GetParam();
    fixture::TempDir dir;
    const std::string input = fixture::writeLayout(dir, c.inputName, c.layout);
    const Bytes original = fixture::readFile(input);
    const std::string out = c.inPlace ? input : dir.path("refreshed-" + c.inputName);
    const FileLayout expected = expectedRefresh(input, c.layout, c.refreshedMaps);
    ASSERT_GT(changedTiles(c.layout, expected), 0) << "the fixture must have values to refresh";

    std::vector<std::string> args = {"refresh", input, out};
    args.insert(args.end(), c.mapOption.begin(), c.mapOption.end());
    RunResult result = civ2fert(args);

    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(fixture::readFile(out), fixture::build(expected));
    if (!c.inPlace) {
        EXPECT_EQ(fixture::readFile(input), original);
    }
    // Nothing but the input and the output is left in the directory.
    std::vector<std::string> files = {std::filesystem::path(input).filename().string(),
                                      std::filesystem::path(out).filename().string()};
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    EXPECT_EQ(listDirectory(dir.root()), files);

    EXPECT_TRUE(contains(result.out, std::to_string(changedTiles(c.layout, expected)) + " tiles changed; wrote " + out))
        << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Civ2FertRefresh,
    ::testing::Values(
        RefreshCase{"EveryMapOfAToTGame", withTransporters(fixture::makeLayout(fixture::TOT11, 20, 8, 3)), "game.sav",
                    {}, {0, 1, 2}, false},
        RefreshCase{"OneMapOfAToTGame", fixture::makeLayout(fixture::TOT10, 20, 8, 2), "game.sav", {"--map", "1"},
                    {1}, false},
        RefreshCase{"CicGame", fixture::makeLayout(fixture::CIC, 24, 10), "game.sav", {}, {0}, false},
        RefreshCase{"MgeScenarioInPlace", fixture::makeLayout(fixture::MGE, 20, 10), "scenario.scn", {"--map=0"}, {0},
                    true},
        RefreshCase{"MapOnlyFileInPlaceKeepsBytesAfterTheMap",
                    withBytesAfterMap(fixture::makeLayout(fixture::MAP_ONLY, 30, 12)), "world.mp", {}, {0}, true}),
    [](const ::testing::TestParamInfo<RefreshCase>& info) { return info.param.name; });

TEST(Civ2FertRefresh, ThroughASymbolicLinkReplacesTheFileItPointsTo)
{
    fixture::TempDir dir;
    const FileLayout layout = fixture::makeLayout(fixture::MGE, 20, 10);
    const std::string real = fixture::writeLayout(dir, "real.sav", layout);
    const std::string link = dir.path("link.sav");
    std::filesystem::create_symlink(real, link);
    const Bytes expected = fixture::build(expectedRefresh(real, layout, {0}));

    RunResult result = civ2fert({"refresh", link, link});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fixture::readFile(real), expected);
    EXPECT_EQ(listDirectory(dir.root()), (std::vector<std::string>{"link.sav", "real.sav"}));
}

// ---------------------------------------------------------------------------
// Refusals: nothing is written, an existing OUT is left as it was.

Bytes truncatedSave()
{
    Bytes bytes = fixture::build(fixture::makeLayout(fixture::MGE, 20, 10));
    bytes.resize(fixture::headerOffset(fixture::MGE) + 14 + 7 * 100 + 3 * 100);
    return bytes;
}

Bytes unknownVersion()
{
    Bytes bytes = fixture::build(fixture::makeLayout(fixture::MGE, 20, 10));
    bytes[10] = 41;
    return bytes;
}

// ToT maps beyond the fourth have no terrain rules to rate them by.
Bytes fiveMapToT()
{
    return fixture::build(fixture::makeLayout(fixture::TOT11, 20, 8, 5));
}

Bytes plainSave()
{
    return fixture::build(fixture::makeLayout(fixture::MGE, 20, 10));
}

struct RefusalCase {
    const char* name;
    Bytes (*input)(); // written as in.sav; null: no input file
    std::vector<std::string> args; // "IN" and "OUT" stand for the paths
    std::string outName;
    int status;
    std::string errorPart;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class Civ2FertRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Civ2FertRefusal, WritesNothing)
{
    const RefusalCase& c = GetParam();
    for (bool outExists : {false, true}) {
        SCOPED_TRACE(outExists ? "OUT exists" : "no OUT");
        fixture::TempDir dir;
        const std::string in = dir.path("in.sav");
        const std::string out = dir.path(c.outName);
        if (c.input != nullptr)
            fixture::writeFile(in, c.input());
        const Bytes previous = {'k', 'e', 'e', 'p'};
        if (outExists)
            fixture::writeFile(out, previous);
        const std::vector<std::string> before = listDirectory(dir.root());

        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(arg == "IN" ? in : arg == "OUT" ? out : arg);
        RunResult result = civ2fert(args);

        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(contains(result.err, c.errorPart)) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(listDirectory(dir.root()), before);
        if (outExists) {
            EXPECT_EQ(fixture::readFile(out), previous);
        }
    }
}

const char* const USAGE = "Usage: civ2fert";

INSTANTIATE_TEST_SUITE_P(
    Cases, Civ2FertRefusal,
    ::testing::Values(
        RefusalCase{"TruncatedFile", truncatedSave, {"refresh", "IN", "OUT"}, "out.sav", 1,
                    "Read Error."},
        RefusalCase{"UnknownVersion", unknownVersion, {"refresh", "IN", "OUT"}, "out.sav", 1,
                    "Unrecognized savegame/scenario version number: 41"},
        RefusalCase{"MissingFile", nullptr, {"refresh", "IN", "OUT"}, "out.sav", 1, "Could not open file: "},
        RefusalCase{"MapNotInFile", plainSave, {"refresh", "IN", "OUT", "--map", "3"}, "out.sav", 1,
                    "Cannot get map, index 3 is < 0 or > 0"},
        RefusalCase{"MapWithoutTerrainRules", fiveMapToT, {"refresh", "IN", "OUT"}, "out.sav", 1,
                    "No terrain rules for map 4 are defined."},
        RefusalCase{"NegativeMap", plainSave, {"refresh", "IN", "OUT", "--map", "-1"}, "out.sav", 2, USAGE},
        RefusalCase{"NonNumericMap", plainSave, {"refresh", "IN", "OUT", "--map", "one"}, "out.sav", 2, USAGE},
        RefusalCase{"MissingOut", plainSave, {"refresh", "IN"}, "out.sav", 2, USAGE},
        RefusalCase{"ExtraArgument", plainSave, {"refresh", "IN", "OUT", "more"}, "out.sav", 2, USAGE},
        RefusalCase{"PictureOptionOnRefresh", plainSave, {"refresh", "IN", "OUT", "--png", "OUT"}, "out.sav", 2,
                    "unknown option '--png'"},
        RefusalCase{"SavedGameIntoMapOnlyName", plainSave, {"refresh", "IN", "OUT"}, "out.mp", 2, USAGE},
        RefusalCase{"PictureOfAMissingMap", plainSave, {"show", "IN", "--map", "1", "--png", "OUT"}, "out.png", 1,
                    "Cannot get map, index 1 is < 0 or > 0"},
        RefusalCase{"PictureAgainstAMissingFile", plainSave, {"show", "IN", "--png", "OUT", "--against", "nowhere"},
                    "out.png", 1, "Could not open file: nowhere"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(Civ2FertRefusal, TargetsThatAreNotRegularFilesAreLeftAsTheyWere)
{
    fixture::TempDir dir;
    const std::string in = dir.path("in.sav");
    fixture::writeFile(in, plainSave());
    const std::string directory = dir.path("folder.sav");
    std::filesystem::create_directory(directory);
    fixture::writeFile(directory + "/inside", {1});
    const std::string pipe = dir.path("pipe.sav");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::string> before = listDirectory(dir.root());

    for (const std::string& target : {directory, pipe, dir.path("no-such-dir/out.sav")}) {
        SCOPED_TRACE(target);
        RunResult result = civ2fert({"refresh", in, target});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(contains(result.err, target)) << result.err;
        EXPECT_EQ(listDirectory(dir.root()), before);
    }
    EXPECT_TRUE(exists(directory + "/inside"));
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

TEST(Civ2FertRefusal, PictureTooLargeIsNotWritten)
{
    fixture::TempDir dir;
    // 40000 game columns at 32 pixels each is beyond any PNG viewer.
    const std::string input = fixture::writeLayout(dir, "wide.mp", fixture::makeLayout(fixture::MAP_ONLY, 40000, 2));
    const std::string png = dir.path("wide.png");
    RunResult result = civ2fert({"show", input, "--png", png, "--scale", "32"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "too large")) << result.err;
    EXPECT_FALSE(exists(png));
}

// ---------------------------------------------------------------------------
// Command line

TEST(Civ2FertCommandLine, UsageErrorsExitWithTwoAndTheUsageOnStandardError)
{
    fixture::TempDir dir;
    const std::string input = fixture::writeLayout(dir, "world.mp", pictureLayout());
    const std::string png = dir.path("p.png");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"draw", input},
        {"show"},
        {"show", input, input},
        {"show", input, "--colour"},
        {"show", input, "-x"},
        {"show", input, "--map"},
        {"show", input, "--map", "-1"},
        {"show", input, "--map", "1x"},
        {"show", input, "--map", "99999999999"},
        {"show", input, "--png", png, "--scale", "0"},
        {"show", input, "--png", png, "--scale", "33"},
        {"show", input, "--png", png, "--scale", "four"},
        {"show", input, "--png", png, "--scale", ""},
        {"show", input, "--scale", "4"},
        {"show", input, "--png", png, "--png", png},
        {"show", input, "--png="},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& arg : args)
            shown += " [" + arg + "]";
        SCOPED_TRACE("civ2fert" + shown);
        RunResult result = civ2fert(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(contains(result.err, USAGE)) << result.err;
    }
    EXPECT_FALSE(exists(png));
}

TEST(Civ2FertCommandLine, HelpAndVersionGoToStandardOutput)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--help"}, USAGE},
        {{"show", "--help"}, USAGE},
        {{"refresh", "a.sav", "--help"}, USAGE},
        {{"--version"}, "civ2fert 1."},
    };
    for (const auto& [args, expected] : cases) {
        SCOPED_TRACE(args.back());
        RunResult result = civ2fert(args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(contains(result.out, expected)) << result.out;
    }
}

TEST(Civ2FertCommandLine, NamesAfterDoubleDashAreOperands)
{
    RunResult result = civ2fert({"show", "--", "--help"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "Could not open file: --help")) << result.err;
}

} // namespace
