#include "SavedGameShell.h"

#include <fstream>
#include <stdexcept>
#include <vector>

namespace shell {

namespace {

using Bytes = std::vector<char>;

const std::size_t VERSION_OFFSET = 10;
const std::size_t CIC_HEADER_OFFSET = 0x3478;
const std::size_t MGE_HEADER_OFFSET = 0x3586;
const std::size_t TOT10_TRANSPORTERS_OFFSET = 0x7420;
const std::size_t TOT11_TRANSPORTERS_OFFSET = 0x74C8;
const std::size_t TRANSPORTER_RECORD_SIZE = 14;
const int CIV_VIEWS = 7;

// A new map's tile: ocean, no improvements, fertility 0, ownership 15.
const char DEFAULT_TILE[6] = {0x0a, 0, 0, 0, 0, static_cast<char>(0xf0)};

const char PRE_MAP_NOTE[] = "Synthetic game state: only the map data of this file means anything.";
const char POST_MAP_NOTE[] = "Synthetic game state after the maps, kept byte for byte.\n";

bool isToT(std::uint16_t version)
{
    return version == TOT10 || version == TOT11;
}

void put16(Bytes& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<char>(value & 0xff);
    out[at + 1] = static_cast<char>(value >> 8);
}

void append16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>(value >> 8));
}

void appendText(Bytes& out, const char* text)
{
    for (; *text != '\0'; ++text)
        out.push_back(*text);
}

// Everything before the map header: zeros with a note, the version, and for
// ToT the transporter count followed by that many records.
Bytes preMapBlock(const ShellLayout& layout)
{
    std::size_t transportersAt = 0;
    std::size_t headerAt = 0;
    switch (layout.version) {
    case CIC:
        headerAt = CIC_HEADER_OFFSET;
        break;
    case FW:
    case MGE:
        headerAt = MGE_HEADER_OFFSET;
        break;
    case TOT10:
    case TOT11:
        transportersAt = layout.version == TOT10 ? TOT10_TRANSPORTERS_OFFSET : TOT11_TRANSPORTERS_OFFSET;
        headerAt = transportersAt + 4 + TRANSPORTER_RECORD_SIZE * layout.transporters;
        break;
    default:
        throw std::runtime_error("No saved-game layout for version " + std::to_string(layout.version));
    }

    Bytes out(headerAt, 0);
    put16(out, VERSION_OFFSET, layout.version);
    std::size_t at = VERSION_OFFSET + 4;
    for (const char* note = PRE_MAP_NOTE; *note != '\0'; ++note)
        out[at++] = *note;
    if (isToT(layout.version)) {
        put16(out, transportersAt, static_cast<std::uint16_t>(layout.transporters & 0xffff));
        put16(out, transportersAt + 2, static_cast<std::uint16_t>(layout.transporters >> 16));
        // Each record numbered in its first byte, so the table is visible.
        for (std::uint32_t record = 0; record < layout.transporters; ++record)
            out[transportersAt + 4 + TRANSPORTER_RECORD_SIZE * record] = static_cast<char>(record + 1);
    }
    return out;
}

} // namespace

void writeShell(const std::string& path, const ShellLayout& layout)
{
    const long area = static_cast<long>(layout.width / 2) * layout.height;
    if (area <= 0 || area > 0xffff)
        throw std::runtime_error("A map of " + std::to_string(layout.width) + " x " +
                                 std::to_string(layout.height) + " does not fit a 16-bit area");
    if (layout.numMaps < 1 || layout.numMaps > 0x10000 || (layout.numMaps > 1 && !isToT(layout.version)))
        throw std::runtime_error("Only ToT games hold more than one map");

    Bytes out = preMapBlock(layout);
    append16(out, layout.width);
    append16(out, layout.height);
    append16(out, static_cast<std::uint16_t>(area));
    append16(out, 0); // round, like a new map-only file
    append16(out, layout.seed);
    append16(out, static_cast<std::uint16_t>((layout.width + 3) / 4));
    append16(out, static_cast<std::uint16_t>((layout.height + 3) / 4));
    if (isToT(layout.version))
        append16(out, static_cast<std::uint16_t>(layout.numMaps - 1));
    for (int map = 0; map < layout.numMaps; ++map) {
        out.insert(out.end(), static_cast<std::size_t>(CIV_VIEWS * area), 0);
        for (long tile = 0; tile < area; ++tile)
            out.insert(out.end(), DEFAULT_TILE, DEFAULT_TILE + sizeof(DEFAULT_TILE));
        if (isToT(layout.version))
            append16(out, 1);
    }
    appendText(out, POST_MAP_NOTE);

    std::ofstream file(path.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file)
        throw std::runtime_error("Could not write " + path);
}

} // namespace shell
