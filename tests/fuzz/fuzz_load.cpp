// Any bytes, loaded as a saved game and as a map-only file. Loading either
// succeeds or fails with one of its own std::runtime_error messages; what
// loads can be read and rated tile by tile without failing.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "civ2map.h"
#include "civ2sav.h"
#include "fuzz_support.h"

namespace {

// Maps and tiles rated per loaded file: enough to walk real terrain near the
// edges and corners, few enough to keep each run quick.
const int MAX_MAPS_RATED = 4;
const int MAX_TILES_RATED = 24;

std::string describe(const Civ2SavedGame& game, int mapIndex, int x, int y)
{
    return std::string(game.isMapOnly() ? "map-only" : game.getVersionString()) + " map " +
           std::to_string(mapIndex) + " tile (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

// Rates one tile and lowers it near cities; the results must stay in the
// ranges the two operations promise.
void rateTile(Civ2SavedGame& game, Civ2Map& map, int mapIndex, int x, int y)
{
    try {
        map.calcFertility(x, y);
        const int rated = map.getFertility(x, y);
        if (rated < 8 || rated > 15)
            fuzz::fail(describe(game, mapIndex, x, y) + " rated " + std::to_string(rated));
        map.adjustFertility(x, y);
        const int adjusted = map.getFertility(x, y);
        if (adjusted != rated && adjusted != rated - 8)
            fuzz::fail(describe(game, mapIndex, x, y) + " adjusted from " + std::to_string(rated) + " to " +
                       std::to_string(adjusted));
    } catch (const std::runtime_error& error) {
        // The rules exist for map slots 0 to 3 only, and a round map of odd
        // width wraps onto tiles of the wrong parity; anything else is a
        // tile the walk should never have reported.
        const bool expected = mapIndex >= 4 || (map.getWidth() % 2 != 0 && !map.isFlat());
        if (!expected)
            fuzz::fail(describe(game, mapIndex, x, y) + " failed to rate: " + error.what());
    }
}

// Rates the first tiles of each map, row by row, with the tile offsets the
// file's area allows.
void rateSomeTiles(Civ2SavedGame& game)
{
    const int width = game.getWidth();
    const int height = game.getHeight();
    const int maps = game.getNumMaps();
    if (maps < 1)
        fuzz::fail("a loaded file reports no maps");
    for (int index = 0; index < maps && index < MAX_MAPS_RATED; ++index) {
        Civ2Map* map = game.getMap(index);
        if (map == nullptr || map->getWidth() != width || map->getHeight() != height)
            fuzz::fail("map " + std::to_string(index) + " does not match the header");
        int rated = 0;
        for (int y = 0; y < height && rated < MAX_TILES_RATED; ++y)
            for (int x = y % 2; x < width && rated < MAX_TILES_RATED; x += 2, ++rated) {
                try {
                    map->XYtoOffset(x, y);
                } catch (const std::runtime_error&) {
                    break; // the rest of the row lies beyond the area
                }
                rateTile(game, *map, index, x, y);
            }
    }
}

void loadAndUse(Civ2SavedGame& game, const std::string& path)
{
    if (fuzz::loadsCleanly(path, [&] { game.load(path); }))
        rateSomeTiles(game);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string savedGamePath = fuzz::scratchPath("input.sav");
    const std::string mapOnlyPath = fuzz::scratchPath("input.mp");
    fuzz::writeFile(savedGamePath, data, size);
    fuzz::writeFile(mapOnlyPath, data, size);

    // The same object takes both loads, so the second replaces whatever the
    // first left behind, a half-loaded game included.
    {
        Civ2SavedGame game;
        loadAndUse(game, savedGamePath);
        loadAndUse(game, mapOnlyPath);
        loadAndUse(game, savedGamePath);
    }

    fuzz::removeFile(savedGamePath);
    fuzz::removeFile(mapOnlyPath);
    return 0;
}
