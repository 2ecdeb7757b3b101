// civ2fert refresh: recomputes the stored fertility of the tiles of a map
// and lowers it near cities, as the game's own rating does.
#ifndef CIV2FERT_FERTILITYREFRESH_H
#define CIV2FERT_FERTILITYREFRESH_H

#include <string>
#include <vector>

#include "civ2sav.h"

struct MapRefresh {
    int mapIndex = 0;
    long tiles = 0;
    long changed = 0; // tiles whose stored fertility is not what it was
};

// Rates every tile of map mapIndex, or of every map when allMaps, with
// calcFertility, then applies adjustFertility to every tile. Throws the
// library's std::runtime_error; the game is then partly refreshed and must
// not be saved.
std::vector<MapRefresh> refreshFertility(Civ2SavedGame& game, bool allMaps, int mapIndex);

// The library writes a map-only file as header, start positions and terrain
// block and drops whatever followed the terrain block in the file it read.
// Appends those bytes of input to output, so that the refreshed file differs
// from the input in fertility values only. Throws std::runtime_error.
void keepBytesAfterMap(const std::string& input, const std::string& output);

#endif
