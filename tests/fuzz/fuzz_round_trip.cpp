// Whatever loads is written back and loaded again. A saved game comes out
// byte for byte as it went in; a map-only file comes out as the part of the
// input that was read (header, start positions, terrain block). Every tile
// probes to the same fertility in both loads, and to the fertility nibble
// at the tile's place in the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "civ2map.h"
#include "civ2sav.h"
#include "fuzz_support.h"

namespace {

const std::size_t VERSION_POSITION = 10;
const std::size_t HEADER_SIZE = 14;
const std::size_t START_POSITIONS_SIZE = 84;
const std::size_t TILE_SIZE = 6;
const std::size_t CIV_VIEW_PLANES = 7;
const std::size_t FERTILITY_BYTE = 5;

bool isToT(unsigned version)
{
    return version == 49 || version == 50;
}

unsigned read16(const std::uint8_t* data, std::size_t at)
{
    return data[at] | (data[at + 1] << 8);
}

std::uint64_t read32(const std::uint8_t* data, std::size_t at)
{
    return read16(data, at) | (static_cast<std::uint64_t>(read16(data, at + 2)) << 16);
}

// Where the terrain blocks of a loaded file lie in its bytes, worked out
// from the documented layout independently of the library.
struct Layout {
    std::size_t firstTerrain = 0; // file position of map 0's terrain block
    std::size_t mapStride = 0;    // distance from one map's terrain block to the next
    std::size_t area = 0;
    int width = 0;
};

Layout layoutOf(const std::uint8_t* data, bool mapOnly)
{
    Layout layout;
    std::size_t header = 0;
    bool tot = false;
    if (!mapOnly) {
        const unsigned version = read16(data, VERSION_POSITION);
        tot = isToT(version);
        if (version == 39)
            header = 0x3478;
        else if (version == 40 || version == 44)
            header = 0x3586;
        else {
            const std::size_t countAt = version == 49 ? 0x7420 : 0x74C8;
            header = countAt + 4 + 14 * static_cast<std::size_t>(read32(data, countAt));
        }
    }
    layout.width = static_cast<int>(read16(data, header));
    layout.area = read16(data, header + 4);
    const std::size_t mapsStart = header + HEADER_SIZE + (tot ? 2 : 0) + (mapOnly ? START_POSITIONS_SIZE : 0);
    const std::size_t viewBlock = mapOnly ? 0 : CIV_VIEW_PLANES * layout.area;
    layout.firstTerrain = mapsStart + viewBlock;
    layout.mapStride = viewBlock + TILE_SIZE * layout.area + (tot ? 2 : 0);
    return layout;
}

// The fertility of every tile the coordinates reach, row by row, each row
// up to the first tile beyond the area; -1 where the probe fails. Rows that
// start beyond the area end the walk, so the probes stay about as many as
// the tiles.
std::vector<int> probeAll(Civ2Map& map)
{
    std::vector<int> fertility;
    const int width = map.getWidth();
    const int height = map.getHeight();
    for (int y = 0; y < height; ++y) {
        bool rowStarted = false;
        for (int x = y % 2; x < width; x += 2) {
            try {
                fertility.push_back(map.getFertility(x, y));
                rowStarted = true;
            } catch (const std::runtime_error&) {
                fertility.push_back(-1);
                break;
            }
        }
        if (!rowStarted && width >= 2)
            break;
    }
    return fertility;
}

// Checks each probed tile against the fertility nibble in the input bytes.
void checkAgainstInput(Civ2Map& map, const std::uint8_t* data, const Layout& layout, int mapIndex)
{
    const int width = map.getWidth();
    const int height = map.getHeight();
    const std::size_t terrain = layout.firstTerrain + layout.mapStride * static_cast<std::size_t>(mapIndex);
    for (int y = 0; y < height; ++y) {
        const long long rowStart = static_cast<long long>(width / 2) * y;
        if (width >= 2 && rowStart >= static_cast<long long>(layout.area))
            break;
        for (int x = y % 2; x < width; x += 2) {
            const long long offset = x / 2 + rowStart;
            if (offset >= static_cast<long long>(layout.area))
                break;
            const int expected = data[terrain + TILE_SIZE * static_cast<std::size_t>(offset) + FERTILITY_BYTE] & 0x0f;
            const int probed = map.getFertility(x, y);
            if (probed != expected)
                fuzz::fail("map " + std::to_string(mapIndex) + " tile (" + std::to_string(x) + ", " +
                           std::to_string(y) + ") probes " + std::to_string(probed) + ", the file holds " +
                           std::to_string(expected));
        }
    }
}

void roundTrip(const std::uint8_t* data, std::size_t size, const std::string& inputPath,
               const std::string& outputPath)
{
    Civ2SavedGame first;
    if (!fuzz::loadsCleanly(inputPath, [&] { first.load(inputPath); }))
        return;
    const bool mapOnly = first.isMapOnly();
    const Layout layout = layoutOf(data, mapOnly);

    try {
        first.save(outputPath);
    } catch (const std::exception& error) {
        fuzz::fail(std::string("a loaded file failed to save: ") + error.what());
    }
    const fuzz::Bytes written = fuzz::readFile(outputPath);
    if (mapOnly) {
        const std::size_t expectedSize = HEADER_SIZE + START_POSITIONS_SIZE + TILE_SIZE * layout.area;
        if (written.size() != expectedSize || !std::equal(written.begin(), written.end(), data))
            fuzz::fail("a map-only file did not save as the first " + std::to_string(expectedSize) +
                       " bytes of its input (wrote " + std::to_string(written.size()) + ")");
    } else if (written.size() != size || !std::equal(written.begin(), written.end(), data)) {
        fuzz::fail("a saved game did not save byte for byte (" + std::to_string(size) + " bytes in, " +
                   std::to_string(written.size()) + " out)");
    }

    Civ2SavedGame second;
    if (!fuzz::loadsCleanly(outputPath, [&] { second.load(outputPath); }))
        fuzz::fail("a file written from a loaded one does not load");
    if (second.getNumMaps() != first.getNumMaps() || second.getWidth() != first.getWidth() ||
        second.getHeight() != first.getHeight())
        fuzz::fail("the reloaded file differs in maps or dimensions");
    for (int index = 0; index < first.getNumMaps(); ++index) {
        Civ2Map& before = *first.getMap(index);
        Civ2Map& after = *second.getMap(index);
        if (before.getSeed() != after.getSeed())
            fuzz::fail("map " + std::to_string(index) + " has another seed after reloading");
        if (probeAll(before) != probeAll(after))
            fuzz::fail("map " + std::to_string(index) + " probes differently after reloading");
        checkAgainstInput(after, data, layout, index);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string savedGame = fuzz::scratchPath("round-trip-in.sav");
    const std::string savedGameOut = fuzz::scratchPath("round-trip-out.sav");
    const std::string mapOnly = fuzz::scratchPath("round-trip-in.mp");
    const std::string mapOnlyOut = fuzz::scratchPath("round-trip-out.mp");
    fuzz::writeFile(savedGame, data, size);
    fuzz::writeFile(mapOnly, data, size);

    roundTrip(data, size, savedGame, savedGameOut);
    roundTrip(data, size, mapOnly, mapOnlyOut);

    for (const std::string& path : {savedGame, savedGameOut, mapOnly, mapOnlyOut})
        fuzz::removeFile(path);
    return 0;
}
