// Writes the outline of a saved game: synthetic bytes for the game state
// before and after the maps, which the map library keeps but never reads,
// around a map header and maps of the default tile. Loading such a file gives
// a saved game whose maps can then be painted and written back with the
// library itself; this is how the example and benchmark files are made, since
// the library creates map-only files but not saved games.
#ifndef SAVED_GAME_SHELL_H
#define SAVED_GAME_SHELL_H

#include <cstdint>
#include <string>

namespace shell {

const std::uint16_t CIC = 39;
const std::uint16_t FW = 40;
const std::uint16_t MGE = 44;
const std::uint16_t TOT10 = 49;
const std::uint16_t TOT11 = 50;

struct ShellLayout {
    std::uint16_t version = MGE;
    std::uint16_t width = 0;        // x dimension: two columns per tile
    std::uint16_t height = 0;       // y dimension: rows
    std::uint16_t seed = 1;         // the header's map seed
    int numMaps = 1;                // more than one for ToT only
    std::uint32_t transporters = 0; // ToT only: records before the header
};

// Writes the file; throws std::runtime_error when the layout cannot be held
// by the file format or the file cannot be written.
void writeShell(const std::string& path, const ShellLayout& layout);

} // namespace shell

#endif
