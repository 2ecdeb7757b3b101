#include "civ2sav.h"

#include <climits>
#include <cstdint>
#include <fstream>
#include <stdexcept>

// Records are read and written straight from memory, which is the files'
// little-endian byte order only on a little-endian host.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The map library reads and writes records in host byte order and needs a little-endian host."
#endif

static_assert(sizeof(Civ2SavedGame::MapHeader) == 14, "the map header is 14 bytes in a file");
static_assert(sizeof(Civ2SavedGame::StartPositions) == 84, "the start positions are 84 bytes in a file");
static_assert(sizeof(Civ2Map::TerrainCell) == 6, "a tile record is 6 bytes in a file");

namespace {

[[maybe_unused]] const int NORMAL = 0;
const int DEBUG = 1;

const unsigned short CIC_VERSION = 39;
const unsigned short FW_VERSION = 40;
const unsigned short MGE13_VERSION = 44;
const unsigned short TOT10_VERSION = 49;
const unsigned short TOT11_VERSION = 50;

const std::int32_t CIC_MAP_HEADER_OFFSET = 0x3478;
const std::int32_t MGE_MAP_HEADER_OFFSET = 0x3586;
const std::int32_t TOT10_TRANSPORTERS_OFFSET = 0x7420;
const std::int32_t TOT11_TRANSPORTERS_OFFSET = 0x74C8;

const std::int32_t VERSION_OFFSET = 10;
const std::int64_t TRANSPORTER_RECORD_SIZE = 14;
const std::streamsize TRANSPORTER_COUNT_SIZE = 4;
const unsigned short MAX_SECONDARY_MAPS = 0xffff;

// Reads exactly size bytes into destination; false when fewer arrive.
bool readWhole(std::istream& in, void* destination, std::streamsize size)
{
    in.read(static_cast<char*>(destination), size);
    return in.gcount() == size;
}

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

} // namespace

Civ2SavedGame::Civ2SavedGame()
    : map_only(false), version(0), map_header_offset(0), num_secondary_maps(0), pre_map_size(0),
      post_map_size(0)
{
}

Civ2SavedGame::~Civ2SavedGame()
{
    destroyMaps();
}

// ---------------------------------------------------------------------------
// Loading

bool Civ2SavedGame::isMPFile(std::string fileName)
{
    std::string lowerName = MorvelUtil::copy_to_lower(fileName);
    std::string::size_type dot = lowerName.rfind('.');
    if (dot == std::string::npos)
        return false;
    return lowerName.compare(dot, std::string::npos, ".mp") == 0;
}

void Civ2SavedGame::load(const std::string& fileName)
{
    // Testing the name and opening the file allocate too (a lower-case copy
    // of the name, the stream's buffer). Running out of memory there is
    // reported like any other allocation failure of loading, but without the
    // prefix, since the file is not open yet.
    std::ifstream in;
    try {
        map_only = isMPFile(fileName);
        in.open(fileName.c_str(), std::ios::in | std::ios::binary);
        if (!in.is_open())
            fail("Could not open file: " + fileName);
    } catch (const std::bad_alloc&) {
        fail("Insufficient Memory.");
    }
    try {
        loadOpenedFile(in);
    } catch (const std::bad_alloc&) {
        fail("File: " + fileName + " Insufficient Memory.");
    } catch (const std::exception& error) {
        fail("File: " + fileName + " " + error.what());
    }
}

void Civ2SavedGame::loadOpenedFile(std::istream& in)
{
    if (map_only) {
        version = 0;
        map_header_offset = 0;
        num_secondary_maps = 0;
        in.seekg(0);
        if (in.fail())
            fail("Error accessing file");
    } else {
        loadMapHeaderOffset(in);
        if (!supportsMultiMaps())
            num_secondary_maps = 0;
        pre_map_size = readDataBlock(in, pre_map_data, 0, map_header_offset);
        if (pre_map_size == -1 || in.fail())
            fail("Error reading pre-Map data from file.");
    }

    loadMapHeader(in);
    if (map_only)
        loadStartPositions(in);

    destroyMaps();
    for (int index = 0; index <= num_secondary_maps; ++index) {
        MorvelUtil::SmartPointer<Civ2Map, false> map(
            new Civ2Map(map_header->x_dimension, map_header->y_dimension, map_header->map_area, !map_only, index,
                        map_header->flat_earth != 0, rules));
        maps.push_back(map.get());
        Civ2Map* loaded = map.releaseControl();
        loaded->load(in);
        if (supportsMultiMaps()) {
            loaded->setSeed(loadMapSpecificSeed(in));
            MorvelUtil::LogOutput::log(DEBUG) << "Map " << index + 1 << " seed is " << loaded->getSeed()
                                               << std::endl;
        } else {
            loaded->setSeed(map_header->map_seed);
        }
    }

    if (!map_only) {
        std::streampos start = in.tellg();
        in.seekg(0, std::ios::end);
        std::streampos end = in.tellg();
        post_map_size = readDataBlock(in, post_map_data, start, end);
        if (post_map_size == -1)
            fail("Error reading post-Map data from file.");
    }
}

void Civ2SavedGame::loadMapHeaderOffset(std::istream& in)
{
    in.seekg(VERSION_OFFSET);
    if (in.fail())
        fail("Read error.");
    if (!readWhole(in, &version, sizeof(version)))
        fail("Read error.");

    std::int32_t transportersOffset = 0;
    switch (version) {
    case CIC_VERSION:
        map_header_offset = CIC_MAP_HEADER_OFFSET;
        return;
    case FW_VERSION:
    case MGE13_VERSION:
        map_header_offset = MGE_MAP_HEADER_OFFSET;
        return;
    case TOT10_VERSION:
        transportersOffset = TOT10_TRANSPORTERS_OFFSET;
        break;
    case TOT11_VERSION:
        transportersOffset = TOT11_TRANSPORTERS_OFFSET;
        break;
    default:
        fail("Unrecognized savegame/scenario version number: " + std::to_string(version));
    }

    in.seekg(transportersOffset);
    if (in.fail())
        fail("Read error.");
    std::uint32_t transporterCount = 0;
    if (!readWhole(in, &transporterCount, TRANSPORTER_COUNT_SIZE))
        fail("Read error.");
    // The count is untrusted: computed wide, a header position past what a
    // 32-bit offset holds is kept at the largest one, which no file reaches,
    // so reading the pre-map block fails on the file's size.
    std::int64_t headerOffset =
        transportersOffset + TRANSPORTER_COUNT_SIZE + TRANSPORTER_RECORD_SIZE * static_cast<std::int64_t>(transporterCount);
    map_header_offset = headerOffset > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(headerOffset);
}

void Civ2SavedGame::loadMapHeader(std::istream& in)
{
    MorvelUtil::SmartPointer<MapHeader, false> header(MorvelUtil::newObjectOrNull<MapHeader>());
    if (header.isNull())
        fail("Insufficient Memory.");
    if (!readWhole(in, header.get(), sizeof(MapHeader)))
        fail("Read error.");
    map_header = header.releaseControl();

    if (supportsMultiMaps()) {
        unsigned short secondaryMaps = 0;
        if (!readWhole(in, &secondaryMaps, sizeof(secondaryMaps)))
            fail("Read error.");
        num_secondary_maps = secondaryMaps;
    }

    std::ostream& log = MorvelUtil::LogOutput::log(DEBUG);
    log << "X Dimension is: " << map_header->x_dimension << std::endl;
    log << "Y Dimension is: " << map_header->y_dimension << std::endl;
    log << "Map Area is: " << map_header->map_area << std::endl;
    log << "Flat Earth is: " << map_header->flat_earth << std::endl;
    log << "Map Seed is: " << map_header->map_seed << std::endl;
    log << "locator x dim is: " << map_header->locator_x_dim << std::endl;
    log << "locator y dim is: " << map_header->locator_y_dim << std::endl;
    if (supportsMultiMaps())
        log << "Secondary Maps: " << num_secondary_maps << std::endl;
}

void Civ2SavedGame::loadStartPositions(std::istream& in)
{
    MorvelUtil::SmartPointer<StartPositions, false> positions(MorvelUtil::newObjectOrNull<StartPositions>());
    if (positions.isNull())
        fail("Insufficient Memory.");
    if (!readWhole(in, positions.get(), sizeof(StartPositions)))
        fail("Read error.");
    start_positions = positions.releaseControl();
    MorvelUtil::LogOutput::log(DEBUG) << "Loaded start positions." << std::endl;
}

unsigned short Civ2SavedGame::loadMapSpecificSeed(std::istream& in)
{
    unsigned short seed = 0;
    if (!readWhole(in, &seed, sizeof(seed)))
        fail("Read error.");
    return seed;
}

int Civ2SavedGame::readDataBlock(std::istream& in, MorvelUtil::SmartPointer<char, true>& block,
                                 std::streampos start, std::streampos end)
{
    block = nullptr;
    std::streamoff size = end - start;
    if (start < 0 || size < 0 || size > INT_MAX)
        return -1;

    // The range comes from the file's own bytes; check it against the file's
    // size before allocating, so a bogus header position costs nothing.
    in.seekg(0, std::ios::end);
    std::streampos fileEnd = in.tellg();
    if (in.fail() || fileEnd < end)
        return -1;

    block = MorvelUtil::newArrayOrNull<char>(static_cast<std::size_t>(size));
    if (block.isNull())
        return -1;
    in.seekg(start);
    if (in.fail())
        return -1;
    in.read(block.get(), size);
    if (in.fail() || in.gcount() != size)
        return -1;
    return static_cast<int>(size);
}

void Civ2SavedGame::destroyMaps()
{
    for (Civ2Map* map : maps)
        delete map;
    maps.clear();
}

// ---------------------------------------------------------------------------
// Read accessors

int Civ2SavedGame::getWidth() const
{
    if (map_header.isNull())
        fail("No map loaded.");
    return map_header->x_dimension;
}

int Civ2SavedGame::getHeight() const
{
    if (map_header.isNull())
        fail("No map loaded.");
    return map_header->y_dimension;
}

int Civ2SavedGame::getNumMaps() const
{
    // A game whose only map was removed (or that holds none yet) has no maps.
    if (maps.empty())
        return 0;
    return num_secondary_maps + 1;
}

Civ2Map* Civ2SavedGame::getMap(int index)
{
    if (index < 0 || index > num_secondary_maps)
        fail("Cannot get map, index " + std::to_string(index) + " is < 0 or > " +
             std::to_string(num_secondary_maps));
    if (static_cast<std::size_t>(index) >= maps.size() || maps[static_cast<std::size_t>(index)] == nullptr)
        fail("No map loaded.");
    return maps[static_cast<std::size_t>(index)];
}

const char* Civ2SavedGame::getVersionString() const
{
    switch (version) {
    case CIC_VERSION:
        return "CIC";
    case FW_VERSION:
        return "FW";
    case MGE13_VERSION:
        return "MGE";
    case TOT10_VERSION:
        return "ToT 1.0";
    case TOT11_VERSION:
        return "ToT 1.1";
    default:
        return "Unknown Version";
    }
}

bool Civ2SavedGame::isFlatEarth() const
{
    return !map_header.isNull() && map_header->flat_earth == 1;
}

bool Civ2SavedGame::supportsMultiMaps() const
{
    return version == TOT10_VERSION || version == TOT11_VERSION;
}

// ---------------------------------------------------------------------------
// Writing

void Civ2SavedGame::save(const std::string& fileName)
{
    if (maps.empty())
        fail("Cannot save a file with no maps");
    if (maps.size() > 1 && !supportsMultiMaps())
        fail("Cannot save multiple maps into a non-ToT game");

    // Unbuffered: every block goes out in one write of its own, so a write
    // that fails shows at once, not later when a buffer is flushed.
    std::ofstream out;
    out.rdbuf()->pubsetbuf(nullptr, 0);
    out.open(fileName.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        fail("Could not open file: " + fileName);

    if (!map_only) {
        if (pre_map_size < 0 || (pre_map_size > 0 && pre_map_data.isNull()))
            fail("Error writing pre-Map data to: " + fileName);
        out.write(pre_map_data.get(), pre_map_size);
        if (out.fail())
            fail("Error writing pre-Map data to: " + fileName);
    }
    try {
        saveOpenedFile(out);
    } catch (const std::exception& error) {
        fail("File: " + fileName + " " + error.what());
    }
}

void Civ2SavedGame::saveOpenedFile(std::ostream& out)
{
    saveMapHeader(out);
    if (map_only)
        saveStartPositions(out);
    for (int index = 0; index <= num_secondary_maps; ++index) {
        if (static_cast<std::size_t>(index) >= maps.size() || maps[static_cast<std::size_t>(index)] == nullptr)
            fail("Cannot Save: No map allocated.");
        const Civ2Map* map = maps[static_cast<std::size_t>(index)];
        map->save(out);
        if (!map_only && supportsMultiMaps())
            saveMapSpecificSeed(out, map->getSeed());
    }
    if (!map_only) {
        if (post_map_size < 0 || (post_map_size > 0 && post_map_data.isNull()))
            fail("Failure writing post-Map data.");
        out.write(post_map_data.get(), post_map_size);
        if (out.fail())
            fail("Failure writing post-Map data.");
    }
    // A failure that shows only when the file is flushed is still a failure.
    out.flush();
    if (out.fail())
        fail("Write Error.");
}

void Civ2SavedGame::saveMapHeader(std::ostream& out) const
{
    if (map_header.isNull())
        fail("Cannot Save: No map loaded.");
    out.write(reinterpret_cast<const char*>(map_header.get()), sizeof(MapHeader));
    if (out.fail())
        fail("Write Error.");
    if (supportsMultiMaps()) {
        out.write(reinterpret_cast<const char*>(&num_secondary_maps), sizeof(num_secondary_maps));
        if (out.fail())
            fail("Write Error.");
    }
    MorvelUtil::LogOutput::log(DEBUG) << "Wrote header." << std::endl;
}

void Civ2SavedGame::saveStartPositions(std::ostream& out) const
{
    if (start_positions.isNull())
        fail("Cannot Save: No map loaded.");
    out.write(reinterpret_cast<const char*>(start_positions.get()), sizeof(StartPositions));
    if (out.fail())
        fail("Write Error.");
    MorvelUtil::LogOutput::log(DEBUG) << "Wrote starting positions." << std::endl;
}

void Civ2SavedGame::saveMapSpecificSeed(std::ostream& out, unsigned short seed)
{
    out.write(reinterpret_cast<const char*>(&seed), sizeof(seed));
    if (out.fail())
        fail("Write Error.");
}

// ---------------------------------------------------------------------------
// Creating and editing

namespace {

// x / 4 rounded up, for the locator dimensions of a new map.
unsigned short quarterRoundedUp(int value)
{
    return static_cast<unsigned short>(value / 4 + (value % 4 != 0 ? 1 : 0));
}

} // namespace

void Civ2SavedGame::createMP(int width, int height)
{
    destroyMaps();

    MorvelUtil::SmartPointer<MapHeader, false> header(MorvelUtil::newObjectOrNull<MapHeader>());
    if (header.isNull())
        fail("Insufficient memory.");
    header->x_dimension = static_cast<unsigned short>(width);
    header->y_dimension = static_cast<unsigned short>(height);
    // Computed wide so that no product overflows; the file keeps 16 bits.
    header->map_area = static_cast<unsigned short>(static_cast<long long>(width) * height / 2);
    header->flat_earth = 0;
    header->map_seed = 1;
    header->locator_x_dim = quarterRoundedUp(width);
    header->locator_y_dim = quarterRoundedUp(height);

    MorvelUtil::SmartPointer<StartPositions, false> positions(MorvelUtil::newObjectOrNull<StartPositions>());
    if (positions.isNull())
        fail("Insufficient memory.");
    for (int slot = 0; slot < 21; ++slot) {
        positions->x[slot] = 0xffff;
        positions->y[slot] = 0xffff;
    }

    try {
        MorvelUtil::SmartPointer<Civ2Map, false> map(new Civ2Map(header->x_dimension, header->y_dimension,
                                                                 header->map_area, false, 0, false, rules));
        maps.push_back(map.get());
        map.releaseControl();
    } catch (const std::bad_alloc&) {
        fail("Insufficient memory.");
    }

    map_only = true;
    map_header = header.releaseControl();
    start_positions = positions.releaseControl();
    num_secondary_maps = 0;
    version = 0;
    map_header_offset = 0;
}

void Civ2SavedGame::createSAV(int, int, int)
{
    fail("Cannot create a new .SAV file.");
}

unsigned short Civ2SavedGame::getSeed() const
{
    if (map_header.isNull())
        fail("No map loaded.");
    return map_header->map_seed;
}

void Civ2SavedGame::setSeed(unsigned short seed)
{
    if (map_header.isNull())
        fail("No map loaded.");
    map_header->map_seed = seed;
}

Civ2SavedGame::StartPositions& Civ2SavedGame::getCivStart()
{
    if (!map_only || start_positions.isNull())
        fail("Start positions are not defined on a .SAV file.");
    return *start_positions;
}

void Civ2SavedGame::setCivStart(const StartPositions& positions)
{
    if (!map_only)
        fail("Start positions are not defined on a .SAV file.");
    if (start_positions.isNull()) {
        StartPositions* created = MorvelUtil::newObjectOrNull<StartPositions>();
        if (created == nullptr)
            fail("Insufficient memory.");
        start_positions = created;
    }
    *start_positions = positions;
}

void Civ2SavedGame::addMap(int index)
{
    if (!supportsMultiMaps())
        fail("Cannot add a new map to a file that is not a ToT saved game");
    // The new map goes before one of the maps held or after the last. That
    // is num_secondary_maps + 1 places while the game holds all its maps; it
    // holds fewer after its only map was removed (none), after a failed
    // createMP (none) or after a load that failed part way, and counting the
    // maps actually held keeps every insertion inside the list.
    const int highestIndex = static_cast<int>(maps.size());
    if (index < 0 || index > highestIndex)
        fail("Cannot add new map, index " + std::to_string(index) + " is < 0 or > " + std::to_string(highestIndex));
    if (map_header.isNull())
        fail("No map loaded.");
    if (maps.size() > MAX_SECONDARY_MAPS)
        fail("Cannot add new map: a game holds at most 65536 maps.");

    try {
        MorvelUtil::SmartPointer<Civ2Map, false> map(new Civ2Map(map_header->x_dimension, map_header->y_dimension,
                                                                 map_header->map_area, !map_only, index,
                                                                 map_header->flat_earth != 0, rules));
        maps.insert(maps.begin() + index, map.get());
        map.releaseControl();
    } catch (const std::bad_alloc&) {
        fail("Insufficient memory.");
    }
    num_secondary_maps = static_cast<unsigned short>(maps.size() - 1);
}

void Civ2SavedGame::removeMap(int index)
{
    if (index < 0 || index > num_secondary_maps)
        fail("Cannot remove map, index " + std::to_string(index) + " is < 0 or > " +
             std::to_string(num_secondary_maps));
    if (static_cast<std::size_t>(index) >= maps.size())
        fail("No map loaded.");

    const bool heldSeveral = maps.size() > 1;
    delete maps[static_cast<std::size_t>(index)];
    maps.erase(maps.begin() + index);
    if (heldSeveral)
        --num_secondary_maps;
}
