#include "FertilitySummary.h"

#include <iomanip>

#include "MapTiles.h"

long FertilitySummary::possibleCitySites() const
{
    long sites = 0;
    for (int value = HIGHEST_NON_SITE_FERTILITY + 1; value < NUM_FERTILITY_VALUES; ++value)
        sites += tilesByFertility[static_cast<std::size_t>(value)];
    return sites;
}

FertilitySummary summarise(Civ2SavedGame& game, int mapIndex)
{
    const Civ2Map& map = *game.getMap(mapIndex);
    FertilitySummary summary;
    summary.edition = game.getVersionString();
    summary.mapOnly = game.isMapOnly();
    summary.width = map.getWidth();
    summary.height = map.getHeight();
    summary.numMaps = game.getNumMaps();
    summary.mapIndex = mapIndex;
    summary.flat = map.isFlat();
    forEachTile(summary.width, summary.height, [&](int x, int y) {
        ++summary.tiles;
        ++summary.tilesByFertility[map.getFertility(x, y)];
        if (map.getImprovements(x, y).hasCity())
            ++summary.cities;
    });
    return summary;
}

bool holdsTile(int width, int height, int x, int y)
{
    return x >= 0 && y >= 0 && x < width && y < height && (x + y) % 2 == 0;
}

long countDifferences(const Civ2Map& map, const Civ2Map& other)
{
    long differences = 0;
    forEachTile(map.getWidth(), map.getHeight(), [&](int x, int y) {
        if (holdsTile(other.getWidth(), other.getHeight(), x, y) &&
            map.getFertility(x, y) != other.getFertility(x, y))
            ++differences;
    });
    return differences;
}

void printSummary(std::ostream& out, const std::string& fileName, const FertilitySummary& summary)
{
    out << "File: " << fileName << "\n";
    out << "Edition: " << summary.edition;
    if (summary.mapOnly)
        out << " (map-only file)";
    out << "\n";
    out << "Size: " << summary.width << " x " << summary.height << " (game coordinates), " << summary.tiles
        << " tiles\n";
    out << "Maps: " << summary.numMaps << " (showing map " << summary.mapIndex << ")\n";
    out << "Shape: " << (summary.flat ? "flat" : "round") << "\n";
    out << "Fertility  Tiles\n";
    for (int value = 0; value < NUM_FERTILITY_VALUES; ++value)
        out << std::setw(9) << value << "  " << std::setw(5)
            << summary.tilesByFertility[static_cast<std::size_t>(value)] << "\n";
    out << "Possible city sites (fertility above " << HIGHEST_NON_SITE_FERTILITY
        << "): " << summary.possibleCitySites() << "\n";
    out << "Tiles with a city: " << summary.cities << "\n";
}
