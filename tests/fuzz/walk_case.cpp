#include "walk_case.h"

#include <algorithm>

namespace fuzz {

namespace {

const int MAX_AREA = 0xffff; // a file's area is 16 bits

const std::uint8_t FAMILY_MASK = 0x03;
const std::uint8_t NARROW = 0;
const std::uint8_t ORDINARY = 1;
const std::uint8_t WIDE = 2;
const std::uint8_t TALL = 3;
const std::uint8_t FLAT_FLAG = 0x04;
const std::uint8_t ANY_PARITY_FLAG = 0x08;

int tallestForWidth(int width)
{
    return width >= 2 ? std::max(0, MAX_AREA / (width / 2) - 1) : 0xffff;
}

int widestForHeight(int height)
{
    return height > 0 ? std::max(1, 2 * (MAX_AREA / height)) : 0xffff;
}

// A walk from far away passes rings of 8 x distance steps before it meets
// the map, so centres stay within a few map sizes of it.
int centreMargin(int width, int height)
{
    return std::min(3 * std::min(width, height) + 8, 200);
}

void put(Bytes& out, int value, int low, int high)
{
    const long long span = static_cast<long long>(high) - low + 1;
    const unsigned long long raw = static_cast<unsigned long long>(static_cast<long long>(value) - low);
    const int size = span <= 0x10000 ? 2 : 4;
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>((raw >> (8 * i)) & 0xff));
}

} // namespace

WalkCase readWalkCase(ByteReader& input)
{
    WalkCase c;
    const std::uint8_t shape = input.byte();
    c.flat = (shape & FLAT_FLAG) != 0;
    switch (shape & FAMILY_MASK) {
    case NARROW:
        c.width = input.inRange(0, 8);
        c.height = input.inRange(0, 40);
        break;
    case ORDINARY:
        c.width = input.inRange(0, 120);
        c.height = input.inRange(0, 120);
        break;
    case WIDE:
        c.width = input.inRange(0, 0xffff);
        c.height = input.inRange(0, tallestForWidth(c.width));
        break;
    default:
        c.height = input.inRange(0, 0xffff);
        c.width = input.inRange(0, widestForHeight(c.height));
        break;
    }
    const int margin = centreMargin(c.width, c.height);
    c.centreX = input.inRange(-margin, c.width + margin);
    c.centreY = input.inRange(-margin, c.height + margin);
    if ((shape & ANY_PARITY_FLAG) == 0 && (c.centreX + c.centreY) % 2 != 0)
        ++c.centreY;
    return c;
}

Bytes encodeWalkCase(const WalkCase& c)
{
    std::uint8_t family = TALL;
    if (c.width <= 8 && c.height <= 40)
        family = NARROW;
    else if (c.width <= 120 && c.height <= 120)
        family = ORDINARY;
    else if (c.width > c.height)
        family = WIDE;
    Bytes out{static_cast<std::uint8_t>(family | (c.flat ? FLAT_FLAG : 0) | ANY_PARITY_FLAG)};
    switch (family) {
    case NARROW:
        put(out, c.width, 0, 8);
        put(out, c.height, 0, 40);
        break;
    case ORDINARY:
        put(out, c.width, 0, 120);
        put(out, c.height, 0, 120);
        break;
    case WIDE:
        put(out, c.width, 0, 0xffff);
        put(out, c.height, 0, tallestForWidth(c.width));
        break;
    default:
        put(out, c.height, 0, 0xffff);
        put(out, c.width, 0, widestForHeight(c.height));
        break;
    }
    const int margin = centreMargin(c.width, c.height);
    put(out, c.centreX, -margin, c.width + margin);
    put(out, c.centreY, -margin, c.height + margin);
    return out;
}

} // namespace fuzz
