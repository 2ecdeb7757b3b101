#include "FertilityRefresh.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "MapTiles.h"

namespace {

MapRefresh refreshMap(Civ2Map& map, int mapIndex)
{
    const int width = map.getWidth();
    const int height = map.getHeight();
    std::vector<unsigned char> before;
    forEachTile(width, height, [&](int x, int y) { before.push_back(map.getFertility(x, y)); });

    // Rate every tile, then lower the fresh ratings near cities.
    forEachTile(width, height, [&](int x, int y) { map.calcFertility(x, y); });
    forEachTile(width, height, [&](int x, int y) { map.adjustFertility(x, y); });

    MapRefresh result;
    result.mapIndex = mapIndex;
    std::size_t tile = 0;
    forEachTile(width, height, [&](int x, int y) {
        if (map.getFertility(x, y) != before[tile++])
            ++result.changed;
    });
    result.tiles = static_cast<long>(before.size());
    return result;
}

} // namespace

std::vector<MapRefresh> refreshFertility(Civ2SavedGame& game, bool allMaps, int mapIndex)
{
    std::vector<MapRefresh> results;
    if (!allMaps) {
        results.push_back(refreshMap(*game.getMap(mapIndex), mapIndex));
        return results;
    }
    for (int index = 0; index < game.getNumMaps(); ++index)
        results.push_back(refreshMap(*game.getMap(index), index));
    return results;
}

void keepBytesAfterMap(const std::string& input, const std::string& output)
{
    std::error_code error;
    const std::uintmax_t inputSize = std::filesystem::file_size(input, error);
    const std::uintmax_t outputSize = error ? 0 : std::filesystem::file_size(output, error);
    const std::string failure = "Could not copy the bytes after the map from " + input;
    if (error)
        throw std::runtime_error(failure);
    if (inputSize <= outputSize)
        return;

    std::ifstream in(input, std::ios::binary);
    std::ofstream out(output, std::ios::binary | std::ios::app);
    if (!in.is_open() || !out.is_open() || !in.seekg(static_cast<std::streamoff>(outputSize)))
        throw std::runtime_error(failure);
    char buffer[65536];
    std::uintmax_t left = inputSize - outputSize;
    while (left > 0) {
        const std::streamsize wanted =
            static_cast<std::streamsize>(left < sizeof buffer ? left : sizeof buffer);
        if (!in.read(buffer, wanted) || !out.write(buffer, wanted))
            throw std::runtime_error(failure);
        left -= static_cast<std::uintmax_t>(wanted);
    }
    out.close();
    if (out.fail())
        throw std::runtime_error(failure);
}
