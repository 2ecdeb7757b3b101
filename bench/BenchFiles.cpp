#include "BenchFiles.h"

#include <cstdint>

#include "SavedGameShell.h"
#include "civ2map.h"
#include "civ2sav.h"

namespace bench {

namespace {

// A fixed hash of the tile's position, so the terrain is varied but the
// same on every run.
std::uint32_t tileHash(int x, int y, int mapIndex)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9e3779b1u ^ static_cast<std::uint32_t>(y) * 0x85ebca77u ^
                      static_cast<std::uint32_t>(mapIndex) * 0xc2b2ae3du;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    return h;
}

template <class Visit>
void forEachTile(Civ2Map& map, Visit visit)
{
    for (int y = 0; y < map.getHeight(); ++y)
        for (int x = y % 2; x < map.getWidth(); x += 2)
            visit(x, y);
}

// Cities on a coarse lattice; offset shifts the lattice for the extra cities.
void foundCities(Civ2Map& map, int offset)
{
    for (int y = 20 + offset; y < map.getHeight() - 20; y += 60)
        for (int x = 40 + 2 * offset + y % 2; x < map.getWidth() - 40; x += 100) {
            Improvements improvements = map.getImprovements(x, y);
            improvements.setCity(true);
            map.setImprovements(x, y, improvements);
        }
}

void adjustEveryTile(Civ2Map& map)
{
    forEachTile(map, [&](int x, int y) { map.adjustFertility(x, y); });
}

} // namespace

void writeLargeGame(const std::string& path)
{
    shell::ShellLayout layout;
    layout.version = shell::TOT11;
    layout.width = WIDTH;
    layout.height = HEIGHT;
    layout.seed = 77;
    layout.numMaps = NUM_MAPS;
    layout.transporters = 4;
    shell::writeShell(path, layout);

    Civ2SavedGame game;
    game.load(path);
    for (int index = 0; index < game.getNumMaps(); ++index) {
        Civ2Map& map = *game.getMap(index);
        forEachTile(map, [&](int x, int y) {
            const std::uint32_t h = tileHash(x, y, index);
            // About half the tiles ocean, the rest spread over the land types.
            const int code = (h % 16 < 8) ? static_cast<int>(OCEAN) : static_cast<int>((h >> 4) % 10);
            map.setTerrainType(x, y, static_cast<Civ2TerrainType>(code));
            map.setRiver(x, y, (h >> 8) % 13 == 0);
        });
        forEachTile(map, [&](int x, int y) { map.calcFertility(x, y); });
        foundCities(map, 0);
        adjustEveryTile(map);
        map.setSeed(static_cast<unsigned short>(1000 + index));
    }
    game.save(path);
}

void writeLargeGameWithMoreCities(const std::string& source, const std::string& path)
{
    Civ2SavedGame game;
    game.load(source);
    Civ2Map& map = *game.getMap(0);
    foundCities(map, 30);
    adjustEveryTile(map);
    game.save(path);
}

} // namespace bench
