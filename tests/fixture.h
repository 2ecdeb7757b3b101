// Test fixtures: saved games, scenarios and map-only files written byte by
// byte from the documented file layout, independent of the library's writer.
#ifndef TESTS_FIXTURE_H
#define TESTS_FIXTURE_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Civ2SavedGame;

namespace fixture {

using Bytes = std::vector<std::uint8_t>;

const int CIC = 39;
const int FW = 40;
const int MGE = 44;
const int TOT10 = 49;
const int TOT11 = 50;
const int MAP_ONLY = 0; // no version: a ".mp" file

// One map's two blocks as they stand in the file.
struct MapBlocks {
    Bytes civView; // 7 x area bytes; unused for map-only files
    Bytes terrain; // 6 x area bytes
    std::uint16_t seed = 0; // written after the map in ToT files only
};

// Everything a file holds. Fields left empty are filled by build().
struct FileLayout {
    int version = MGE;
    std::uint16_t xDim = 0;
    std::uint16_t yDim = 0;
    std::uint16_t area = 0;
    std::uint16_t flatEarth = 0;
    std::uint16_t mapSeed = 0;
    std::uint16_t locatorX = 0;
    std::uint16_t locatorY = 0;
    std::uint32_t transporters = 0; // ToT only: records of 14 bytes before the header
    std::vector<MapBlocks> maps;    // ToT: the secondary-map count is maps.size() - 1
    Bytes startPositions;           // map-only files: 84 bytes (default: a pattern)
    Bytes postMap;                  // saved games: bytes after the last map
    Bytes trailing;                 // map-only files: bytes after the terrain block
};

// The map header's position for a version (and ToT transporter count).
std::size_t headerOffset(int version, std::uint32_t transporters = 0);

// The whole file, byte by byte.
Bytes build(const FileLayout& layout);

// A file of the given version and size whose maps hold a recognisable
// pattern: every tile a different terrain and fertility per map.
// area defaults to (width / 2) x height.
FileLayout makeLayout(int version, int width, int height, int numMaps = 1, int area = -1);

// Tile access inside a map's terrain block, in game coordinates.
std::size_t tileOffset(int width, int x, int y);
void setFertility(MapBlocks& map, int width, int x, int y, std::uint8_t fertility);
std::uint8_t fertilityOf(const MapBlocks& map, int width, int x, int y);
void setTerrainByte(MapBlocks& map, int width, int x, int y, int byteIndex, std::uint8_t value);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const;
    const std::string& root() const { return dir; }

private:
    std::string dir;
};

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);

// Writes the layout's file into dir under name and returns its path.
std::string writeLayout(const TempDir& dir, const std::string& name, const FileLayout& layout);

// Loads the layout's file, written into dir; the name's extension (".mp" for
// map-only layouts) decides how it is read.
void loadLayout(Civ2SavedGame& game, const TempDir& dir, const FileLayout& layout);

// Saves game into dir and returns the bytes written.
Bytes saveAndRead(Civ2SavedGame& game, const TempDir& dir);

// The message of the std::runtime_error that action throws, or
// "(no failure)" when it throws none.
std::string failureOf(const std::function<void()>& action);

} // namespace fixture

#endif
