#include "fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "civ2sav.h"

namespace fixture {

namespace {

void put16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}


void append(Bytes& out, const Bytes& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

bool isToT(int version)
{
    return version == TOT10 || version == TOT11;
}

std::size_t transporterCountOffset(int version)
{
    return version == TOT10 ? 0x7420 : 0x74C8;
}

} // namespace

std::size_t headerOffset(int version, std::uint32_t transporters)
{
    switch (version) {
    case CIC:
        return 0x3478;
    case FW:
    case MGE:
        return 0x3586;
    case TOT10:
    case TOT11:
        return transporterCountOffset(version) + 4 + 14 * static_cast<std::size_t>(transporters);
    default:
        return 0;
    }
}

Bytes build(const FileLayout& layout)
{
    Bytes out;
    const bool mapOnly = layout.version == MAP_ONLY;
    if (!mapOnly) {
        // Pre-map filler, the version at 10, and for ToT the transporter
        // count and records, all up to the header.
        const std::size_t header = headerOffset(layout.version, layout.transporters);
        for (std::size_t i = 0; i < header; ++i)
            out.push_back(static_cast<std::uint8_t>((i * 7 + 3) & 0xff));
        out[10] = static_cast<std::uint8_t>(layout.version & 0xff);
        out[11] = static_cast<std::uint8_t>(layout.version >> 8);
        if (isToT(layout.version)) {
            std::size_t at = transporterCountOffset(layout.version);
            for (int shift = 0; shift < 32; shift += 8)
                out[at++] = static_cast<std::uint8_t>((layout.transporters >> shift) & 0xff);
        }
    }

    put16(out, layout.xDim);
    put16(out, layout.yDim);
    put16(out, layout.area);
    put16(out, layout.flatEarth);
    put16(out, layout.mapSeed);
    put16(out, layout.locatorX);
    put16(out, layout.locatorY);
    if (isToT(layout.version))
        put16(out, static_cast<std::uint16_t>(layout.maps.size() - 1));

    if (mapOnly) {
        Bytes positions = layout.startPositions;
        if (positions.empty())
            for (int i = 0; i < 84; ++i)
                positions.push_back(static_cast<std::uint8_t>(0xA0 + i));
        append(out, positions);
    }

    for (const MapBlocks& map : layout.maps) {
        if (!mapOnly)
            append(out, map.civView);
        append(out, map.terrain);
        if (isToT(layout.version))
            put16(out, map.seed);
    }

    append(out, mapOnly ? layout.trailing : layout.postMap);
    return out;
}

FileLayout makeLayout(int version, int width, int height, int numMaps, int area)
{
    FileLayout layout;
    layout.version = version;
    layout.xDim = static_cast<std::uint16_t>(width);
    layout.yDim = static_cast<std::uint16_t>(height);
    layout.area = static_cast<std::uint16_t>(area >= 0 ? area : (width / 2) * height);
    layout.flatEarth = 0;
    layout.mapSeed = 0x1234;
    layout.locatorX = static_cast<std::uint16_t>((width + 3) / 4);
    layout.locatorY = static_cast<std::uint16_t>((height + 3) / 4);
    for (int m = 0; m < numMaps; ++m) {
        MapBlocks map;
        for (int i = 0; i < 7 * layout.area; ++i)
            map.civView.push_back(static_cast<std::uint8_t>((i * 13 + m) & 0xff));
        for (int tile = 0; tile < layout.area; ++tile) {
            map.terrain.push_back(static_cast<std::uint8_t>((tile + m) % 11));         // terrain
            map.terrain.push_back(static_cast<std::uint8_t>((tile * 3) & 0xff));       // improvements
            map.terrain.push_back(static_cast<std::uint8_t>((tile & 7) << 5));         // city radius
            map.terrain.push_back(static_cast<std::uint8_t>(tile & 0x3f));             // body counter
            map.terrain.push_back(static_cast<std::uint8_t>((tile * 5) & 0xff));       // visibility
            map.terrain.push_back(static_cast<std::uint8_t>(0x70 | ((tile + 5 * m) & 0x0f))); // fertility
        }
        map.seed = static_cast<std::uint16_t>(0x0100 + m);
        layout.maps.push_back(map);
    }
    if (version != MAP_ONLY)
        for (int i = 0; i < 37; ++i)
            layout.postMap.push_back(static_cast<std::uint8_t>(0xF0 ^ i));
    return layout;
}

std::size_t tileOffset(int width, int x, int y)
{
    return static_cast<std::size_t>(x / 2 + (width / 2) * y);
}

void setFertility(MapBlocks& map, int width, int x, int y, std::uint8_t fertility)
{
    std::uint8_t& byte = map.terrain.at(6 * tileOffset(width, x, y) + 5);
    byte = static_cast<std::uint8_t>((byte & 0xf0) | (fertility & 0x0f));
}

std::uint8_t fertilityOf(const MapBlocks& map, int width, int x, int y)
{
    return map.terrain.at(6 * tileOffset(width, x, y) + 5) & 0x0f;
}

void setTerrainByte(MapBlocks& map, int width, int x, int y, int byteIndex, std::uint8_t value)
{
    map.terrain.at(6 * tileOffset(width, x, y) + static_cast<std::size_t>(byteIndex)) = value;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "civ2maps-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    dir = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::string TempDir::path(const std::string& name) const
{
    return dir + "/" + name;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write fixture " + path);
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string writeLayout(const TempDir& dir, const std::string& name, const FileLayout& layout)
{
    std::string path = dir.path(name);
    writeFile(path, build(layout));
    return path;
}

void loadLayout(Civ2SavedGame& game, const TempDir& dir, const FileLayout& layout)
{
    game.load(writeLayout(dir, layout.version == MAP_ONLY ? "in.mp" : "in.sav", layout));
}

Bytes saveAndRead(Civ2SavedGame& game, const TempDir& dir)
{
    const std::string path = dir.path("out.bin");
    game.save(path);
    return readFile(path);
}

std::string failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(no failure)";
}

} // namespace fixture
