// What civ2fert show prints about one map: edition, size, shape and how many
// tiles hold each fertility value.
#ifndef CIV2FERT_FERTILITYSUMMARY_H
#define CIV2FERT_FERTILITYSUMMARY_H

#include <array>
#include <ostream>
#include <string>

#include "civ2map.h"
#include "civ2sav.h"

const int NUM_FERTILITY_VALUES = 16;
// Computer players found cities only on tiles whose fertility is above this.
const int HIGHEST_NON_SITE_FERTILITY = 7;

struct FertilitySummary {
    std::string edition;
    bool mapOnly = false;
    int width = 0;
    int height = 0;
    int numMaps = 0;
    int mapIndex = 0;
    bool flat = false;
    long tiles = 0;
    long cities = 0;
    std::array<long, NUM_FERTILITY_VALUES> tilesByFertility{};

    long possibleCitySites() const;
};

// Counts the tiles of map mapIndex of a loaded game. Throws the library's
// std::runtime_error when the map does not exist.
FertilitySummary summarise(Civ2SavedGame& game, int mapIndex);

// Whether the tile (x, y) of a map with these dimensions exists.
bool holdsTile(int width, int height, int x, int y);

// The number of tiles held by both maps whose stored fertility differs.
long countDifferences(const Civ2Map& map, const Civ2Map& other);

void printSummary(std::ostream& out, const std::string& fileName, const FertilitySummary& summary);

#endif
