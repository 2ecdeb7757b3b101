#include "civ2map.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

[[maybe_unused]] const int NORMAL = 0;
const int DEBUG = 1;

const unsigned char TERRAIN_TYPE_MASK = 0x3f;
const unsigned char NO_RESOURCE_FLAG = 0x40;
const unsigned char RIVER_FLAG = 0x80;

const unsigned char DEFAULT_TERRAIN = 0x0a;             // ocean, no flags
const unsigned char DEFAULT_OWNERSHIP_FERTILITY = 0xf0; // ownership 15, fertility 0
const unsigned char FERTILITY_MASK = 0x0f;
const unsigned char OWNERSHIP_MASK = 0xf0;

// Allocates an array of count entries, refusing counts that do not fit the
// address space, and turns every failure into message.
template <class T>
T* allocateArray(long long count, const char* message)
{
    if (count < 0 || static_cast<unsigned long long>(count) > SIZE_MAX / sizeof(T))
        throw std::runtime_error(message);
    T* array = MorvelUtil::newArrayOrNull<T>(static_cast<std::size_t>(count));
    if (array == nullptr)
        throw std::runtime_error(message);
    return array;
}

// Terrain codes above 10 stand for the terrain of their low four bits when
// that is a real one (ToT flags an animated resource in bit 5).
bool isGrassland(Civ2TerrainType type)
{
    int code = static_cast<int>(type);
    return code == GRASSLAND || (code > OCEAN && code <= TERRAIN_TYPE_MASK && (code & 0x0f) == GRASSLAND);
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

Civ2Map::Civ2Map(int width, int height, int area, bool civViewAllowed, int mapIndex, bool flat,
                 Civ2Rules& rules)
    : width(width), height(height), area(area), flat(flat), civ_view_allowed(civViewAllowed),
      seed(1), map_index(static_cast<unsigned char>(mapIndex & 0xff)), rules(rules)
{
    // Every tile offset is checked against area, so the first area records
    // are all the map ever touches. Sizing the arrays by area rather than by
    // width x height keeps memory bounded by the file's 16-bit area even when
    // a header claims larger dimensions.
    terrain_map = allocateArray<TerrainCell>(area, "Insufficient memory.");
    for (int offset = 0; offset < area; ++offset)
        terrain_map[offset] = TerrainCell{DEFAULT_TERRAIN, 0, 0, 0, 0, DEFAULT_OWNERSHIP_FERTILITY};
    if (civViewAllowed)
        civ_view_map = allocateArray<unsigned char>(static_cast<long long>(NUM_CIV_VIEWS) * area,
                                                    "Insufficient memory.");
    initResourceMap();
}

Civ2Map::~Civ2Map()
{
    resource_map = nullptr;
    civ_view_map = nullptr;
    terrain_map = nullptr;
}

// Bit 0 of each entry is the tile's grassland shield. Rows of each parity
// continue one counter, three further on per row; the flag is set while
// counter / 2 is even, which gives set exactly when (x + 3y) mod 8 is 0 or 2.
void Civ2Map::initResourceMap()
{
    resource_map = allocateArray<unsigned char>(area, "Could not allocate enough memory for resource_map.");
    long long evenRowCounter = 0;
    long long oddRowCounter = 2;
    for (int row = 0; row < height; ++row) {
        long long& counter = (row % 2 == 0) ? evenRowCounter : oddRowCounter;
        long long k = counter;
        counter += 3;
        const int firstCol = row % 2;
        if (firstCol >= width)
            continue;
        // Along a row the offset goes up by one a tile, so checking the first
        // and the last tile (through XYtoOffset, which fails construction
        // when a tile lies beyond area) checks every tile between them. This
        // runs for every map loaded, so it avoids a checked call per tile.
        const int lastCol = firstCol + (width - 1 - firstCol) / 2 * 2;
        const int firstOffset = XYtoOffset(firstCol, row);
        const int lastOffset = XYtoOffset(lastCol, row);
        unsigned char* pattern = resource_map.get();
        for (int offset = firstOffset; offset <= lastOffset; ++offset, ++k) {
            if ((k / 2) % 2 == 0)
                pattern[offset] |= 0x01;
            else
                pattern[offset] &= static_cast<unsigned char>(~0x01);
        }
    }
}

// ---------------------------------------------------------------------------
// Coordinates

int Civ2Map::XYtoOffset(int x, int y) const
{
    if ((static_cast<long long>(x) + y) % 2 != 0)
        throw std::runtime_error("Invalid x,y coordinates, x+y must be even.");
    long long offset = x / 2 + static_cast<long long>(width / 2) * y;
    if (offset < 0 || offset >= area)
        throw std::runtime_error("Invalid x,y coordinates: out of bounds.");
    return static_cast<int>(offset);
}

int Civ2Map::XYtoCivViewOffset(int x, int y, Civilization civ) const
{
    if (civ == RED)
        throw std::runtime_error("Barbarians do not have civ view info.");
    // Only civilisations 1 to 7 have a plane; anything else would index
    // outside the views.
    if (civ < WHITE || civ > PURPLE)
        throw std::runtime_error("Civilization " + std::to_string(static_cast<int>(civ)) +
                                 " has no civ view info.");
    return XYtoOffset(x, y) + (civ - 1) * area;
}

Civ2Map::TerrainCell& Civ2Map::cellAt(int x, int y)
{
    if (terrain_map.isNull())
        throw std::runtime_error("No map loaded");
    return terrain_map[XYtoOffset(x, y)];
}

const Civ2Map::TerrainCell& Civ2Map::cellAt(int x, int y) const
{
    if (terrain_map.isNull())
        throw std::runtime_error("No map loaded");
    return terrain_map[XYtoOffset(x, y)];
}

// ---------------------------------------------------------------------------
// Per-tile accessors

bool Civ2Map::isRiver(int x, int y) const
{
    return (cellAt(x, y).terrain & RIVER_FLAG) != 0;
}

void Civ2Map::setRiver(int x, int y, bool river)
{
    TerrainCell& cell = cellAt(x, y);
    cell.terrain = static_cast<unsigned char>(river ? (cell.terrain | RIVER_FLAG) : (cell.terrain & ~RIVER_FLAG));
}

bool Civ2Map::isResourceHidden(int x, int y) const
{
    return (cellAt(x, y).terrain & NO_RESOURCE_FLAG) != 0;
}

void Civ2Map::setResourceHidden(int x, int y, bool hidden)
{
    TerrainCell& cell = cellAt(x, y);
    cell.terrain = static_cast<unsigned char>(hidden ? (cell.terrain | NO_RESOURCE_FLAG)
                                                     : (cell.terrain & ~NO_RESOURCE_FLAG));
}

Civ2TerrainType Civ2Map::getTerrainType(int x, int y) const
{
    return static_cast<Civ2TerrainType>(cellAt(x, y).terrain & TERRAIN_TYPE_MASK);
}

void Civ2Map::setTerrainType(int x, int y, Civ2TerrainType type)
{
    TerrainCell& cell = cellAt(x, y);
    cell.terrain = static_cast<unsigned char>((cell.terrain & ~TERRAIN_TYPE_MASK) |
                                              (static_cast<unsigned>(type) & TERRAIN_TYPE_MASK));
}

Improvements Civ2Map::getImprovements(int x, int y) const
{
    return Improvements(cellAt(x, y).improvements);
}

void Civ2Map::setImprovements(int x, int y, Improvements improvements)
{
    cellAt(x, y).improvements = improvements.getByte();
}

Civ2Map::Civilization Civ2Map::getCityRadius(int x, int y) const
{
    return static_cast<Civilization>((cellAt(x, y).city_radius >> 5) & 0x07);
}

void Civ2Map::setCityRadius(int x, int y, Civilization civ)
{
    cellAt(x, y).city_radius = static_cast<unsigned char>((static_cast<unsigned>(civ) << 5) & 0xff);
}

unsigned char Civ2Map::getBodyCounter(int x, int y) const
{
    return cellAt(x, y).body_counter;
}

void Civ2Map::setBodyCounter(int x, int y, unsigned char counter)
{
    cellAt(x, y).body_counter =
        static_cast<unsigned char>((counter & 0x3f) | ((static_cast<unsigned>(map_index) << 6) & 0xff));
}

WhichCivs Civ2Map::getVisibility(int x, int y) const
{
    return WhichCivs(cellAt(x, y).visibility);
}

void Civ2Map::setVisibility(int x, int y, WhichCivs civs)
{
    cellAt(x, y).visibility = civs.getByte();
}

unsigned char Civ2Map::getFertility(int x, int y) const
{
    return static_cast<unsigned char>(cellAt(x, y).ownership_fertility & FERTILITY_MASK);
}

void Civ2Map::setFertility(int x, int y, unsigned char fertility)
{
    TerrainCell& cell = cellAt(x, y);
    cell.ownership_fertility =
        static_cast<unsigned char>((cell.ownership_fertility & OWNERSHIP_MASK) | (fertility & FERTILITY_MASK));
}

Civ2Map::Civilization Civ2Map::getOwnership(int x, int y) const
{
    return static_cast<Civilization>(cellAt(x, y).ownership_fertility >> 4);
}

void Civ2Map::setOwnership(int x, int y, Civilization civ)
{
    TerrainCell& cell = cellAt(x, y);
    cell.ownership_fertility = static_cast<unsigned char>((cell.ownership_fertility & FERTILITY_MASK) |
                                                          ((static_cast<unsigned>(civ) & 0x0f) << 4));
}

// ---------------------------------------------------------------------------
// Civilisation views

Improvements Civ2Map::getCivView(int x, int y, Civilization civ) const
{
    if (civ_view_map.isNull())
        throw std::runtime_error("No map loaded");
    return Improvements(civ_view_map[XYtoCivViewOffset(x, y, civ)]);
}

void Civ2Map::setCivView(int x, int y, Civilization civ, Improvements value)
{
    if (civ_view_map.isNull())
        throw std::runtime_error("No map loaded");
    if (civ == ALL_CIVS) {
        // The first call checks the coordinates, so bad ones write nothing.
        for (int each = WHITE; each <= PURPLE; ++each)
            setCivView(x, y, static_cast<Civilization>(each), value);
        return;
    }
    civ_view_map[XYtoCivViewOffset(x, y, civ)] = value.getByte();
}

// ---------------------------------------------------------------------------
// Blocks in a file

void Civ2Map::load(std::istream& in)
{
    if (civ_view_allowed)
        loadCivViewMap(in);
    loadTerrainMap(in);
}

void Civ2Map::loadCivViewMap(std::istream& in)
{
    if (!civ_view_allowed)
        throw std::runtime_error("Cannot load civ view map because it is not allowed.");
    if (civ_view_map.isNull())
        throw std::runtime_error("Cannot load civ view map because it is not allocated.");
    std::streamsize size = static_cast<std::streamsize>(NUM_CIV_VIEWS) * area;
    in.read(reinterpret_cast<char*>(civ_view_map.get()), size);
    if (in.gcount() != size)
        throw std::runtime_error("Read Error.");
    MorvelUtil::LogOutput::log(DEBUG) << "Read civ view map." << std::endl;
}

void Civ2Map::loadTerrainMap(std::istream& in)
{
    std::streamsize size = static_cast<std::streamsize>(CELL_SIZE) * area;
    in.read(reinterpret_cast<char*>(terrain_map.get()), size);
    if (in.gcount() != size)
        throw std::runtime_error("Read Error.");
    MorvelUtil::LogOutput::log(DEBUG) << "Read terrain map" << std::endl;
}

void Civ2Map::save(std::ostream& out) const
{
    if (civ_view_allowed)
        saveCivViewMap(out);
    saveTerrainMap(out);
}

void Civ2Map::saveCivViewMap(std::ostream& out) const
{
    if (!civ_view_allowed)
        throw std::runtime_error("Cannot Save: No map loaded.");
    if (civ_view_map.isNull())
        throw std::runtime_error("Cannot Save: No map allocated.");
    out.write(reinterpret_cast<const char*>(civ_view_map.get()),
              static_cast<std::streamsize>(NUM_CIV_VIEWS) * area);
    if (out.fail())
        throw std::runtime_error("Write Error.");
    MorvelUtil::LogOutput::log(DEBUG) << "Wrote civ_view_map " << std::endl;
}

void Civ2Map::saveTerrainMap(std::ostream& out) const
{
    if (terrain_map.isNull())
        throw std::runtime_error("Cannot Save: No map allocated.");
    out.write(reinterpret_cast<const char*>(terrain_map.get()), static_cast<std::streamsize>(CELL_SIZE) * area);
    if (out.fail())
        throw std::runtime_error("Write Error.");
    MorvelUtil::LogOutput::log(DEBUG) << "Wrote terrain map." << std::endl;
}

// ---------------------------------------------------------------------------
// Ring iterator

namespace {

[[noreturn]] void throwOffMap()
{
    throw std::runtime_error("RingIterator went completely off map.");
}

// The four step directions: up-right, down-right, down-left, up-left.
const int deltaX[4] = {1, 1, -1, -1};
const int deltaY[4] = {-1, 1, 1, -1};

const long long NO_EVENT = LLONG_MAX;

bool fitsInt(long long value)
{
    return value >= INT_MIN && value <= INT_MAX;
}

// The number of moves j >= 1 after which a coordinate moving by sign (+1 or
// -1) from `from` equals target; NO_EVENT if it never does.
long long movesUntil(long long from, int sign, long long target)
{
    long long moves = (target - from) * sign;
    return moves >= 1 ? moves : NO_EVENT;
}

// The moves j after which a coordinate moving by sign from `from` lies in
// [low, high]: first to last, an empty range when first > last.
void movesWithin(long long from, int sign, long long low, long long high, long long& first, long long& last)
{
    first = sign > 0 ? low - from : from - high;
    last = sign > 0 ? high - from : from - low;
}

} // namespace

Civ2Map::RingIterator::RingIterator(int x, int y, Civ2Map& map)
    : center_x(x), center_y(y), distance(0), direction(0), ring_start_x(x), ring_start_y(y), x(x), y(y),
      map(map), turn_pending(false)
{
    reset();
}

Civ2Map::RingIterator::RingIterator(const RingIterator& other)
    : center_x(other.center_x), center_y(other.center_y), distance(other.distance),
      direction(other.direction), ring_start_x(other.ring_start_x), ring_start_y(other.ring_start_y),
      x(other.x), y(other.y), map(other.map), turn_pending(other.turn_pending), ring_watch(other.ring_watch)
{
}

void Civ2Map::RingIterator::reset()
{
    x = ring_start_x = center_x;
    y = ring_start_y = center_y;
    distance = 0;
    direction = 0;
    turn_pending = false;
    ring_watch.reset();
}

Civ2Map::RingIterator& Civ2Map::RingIterator::operator++()
{
    moveToNextPoint();
    return *this;
}

bool Civ2Map::RingIterator::movePoint(int& px, int& py, const int& dir, const int& count)
{
    return moveBy(px, py, dir, count);
}

// Moves (px, py) count steps in direction dir, wraps x on a round map and
// returns whether the point is off the map. Computed in 64 bits; a point the
// walk cannot hold in an int ends the walk (off a flat map, or above or below
// a round one, far beyond any tile).
bool Civ2Map::RingIterator::moveBy(int& px, int& py, int dir, long long count)
{
    const long long width = map.getWidth();
    const long long height = map.getHeight();
    const bool flatMap = map.isFlat();
    const int d = dir & 3;

    long long newX = px + count * deltaX[d];
    const long long newY = py + count * deltaY[d];
    bool offMap = false;

    // West edge; odd rows have no tile at x = 0.
    if (newX < 0 || (newY % 2 == 1 && newX <= 0)) {
        if (flatMap || width <= 0)
            offMap = true;
        else
            newX = width - ((-newX) % width);
    }
    // East edge; even rows have no tile at x = width - 1.
    if (newX >= width || (newY % 2 == 0 && newX == width - 1)) {
        if (flatMap || width <= 0)
            offMap = true;
        else
            newX %= width;
    }
    if (newY < 0 || newY >= height)
        offMap = true;
    if (!fitsInt(newX) || !fitsInt(newY))
        throwOffMap();
    px = static_cast<int>(newX);
    py = static_cast<int>(newY);
    return offMap;
}

// One move of the current tile in the current direction, noting the rows it
// touches for the round-map watch.
bool Civ2Map::RingIterator::moveTracked(int& px, int& py, int& lowestY, int& highestY)
{
    bool offMap = movePoint(px, py, direction, 1);
    lowestY = std::min(lowestY, py);
    highestY = std::max(highestY, py);
    return offMap;
}

// One step of the walk; returns whether the tile it ends on is off the map.
bool Civ2Map::RingIterator::step(bool& ringCompleted, int& lowestY, int& highestY)
{
    bool offMap = false;
    if (x == ring_start_x && y == ring_start_y) {
        // The ring is complete: start the next one beside its start corner.
        if (distance == INT_MAX)
            throwOffMap();
        ringCompleted = true;
        ++distance;
        movePoint(ring_start_x, ring_start_y, 3, 1);
        direction = 0;
        x = ring_start_x;
        y = ring_start_y;
        offMap = moveTracked(x, y, lowestY, highestY);
        if (distance == 1)
            direction = 1;
    } else if (turn_pending) {
        // Second half of a notch: back out of the previous ring's corner.
        direction = (direction + 2) % 4;
        offMap = moveTracked(x, y, lowestY, highestY);
        direction = (direction + 1) % 4;
        turn_pending = false;
    } else {
        offMap = moveTracked(x, y, lowestY, highestY);
        if (x == center_x || y == center_y) {
            // A tip of the ring: turn, stepping over the tip from distance 2
            // on, and from distance 3 on go into the notch.
            direction = (direction + 1) % 4;
            if (distance != 1) {
                offMap = moveTracked(x, y, lowestY, highestY);
                if (distance > 2) {
                    direction = (direction + 1) % 4;
                    offMap = moveTracked(x, y, lowestY, highestY);
                    turn_pending = true;
                }
            }
        }
    }
    return offMap;
}

// On a flat map nothing wraps, so the walk runs exactly as on an endless
// plane and ring d holds the tiles of ring number d. A tile (dx, dy) from the
// centre has ring number at most (|dx| + |dy|) / 2 + 1, which is largest at
// a corner of the map; no ring beyond that bound can hold a tile of the map.
long long Civ2Map::RingIterator::flatReach() const
{
    long long lastX = map.getWidth() - 1LL;
    long long lastY = map.getHeight() - 1LL;
    long long farX = std::max(std::llabs(static_cast<long long>(center_x)), std::llabs(lastX - center_x));
    long long farY = std::max(std::llabs(static_cast<long long>(center_y)), std::llabs(lastY - center_y));
    return (farX + farY) / 2 + 1;
}

// At the end of a ring on a flat map: when the next rings cannot reach the
// map, go straight to the end of the last of them. A tile (dx, dy) from the
// centre has ring number at least (|dx| + |dy|) / 2, so no ring below half
// the distance from the centre to the map's bounding box holds a tile. The
// plane's rings all end on their start corner, (center - d, center - d),
// with no notch pending, which is where this leaves the walk.
void Civ2Map::RingIterator::skipRingsBeforeFlatMap()
{
    const long long lastX = map.getWidth() - 1LL;
    const long long lastY = map.getHeight() - 1LL;
    const long long gapX = std::max({0LL, -static_cast<long long>(center_x), center_x - lastX});
    const long long gapY = std::max({0LL, -static_cast<long long>(center_y), center_y - lastY});
    const long long firstRingWithTile = (gapX + gapY + 1) / 2;
    if (distance + 1 >= firstRingWithTile)
        return;
    const long long lastEmptyRing = firstRingWithTile - 1;
    const long long cornerX = center_x - lastEmptyRing;
    const long long cornerY = center_y - lastEmptyRing;
    if (!fitsInt(lastEmptyRing) || !fitsInt(cornerX) || !fitsInt(cornerY))
        throwOffMap();
    distance = static_cast<int>(lastEmptyRing);
    x = ring_start_x = static_cast<int>(cornerX);
    y = ring_start_y = static_cast<int>(cornerY);
    direction = 0;
    turn_pending = false;
}

// From an off-map point in the middle of a ring with no notch pending, the
// walk moves straight on in its direction, one plain step at a time, until a
// step lands on the centre's column or row (a turn), on the ring's start
// corner (the ring's end) or on the map. This makes all those plain steps at
// once, stopping one short of the first place where any of that can happen
// (on a flat map, of the first point inside the map's bounding box). When no
// such place lies ahead, the walk runs off the map in a straight line for
// good. Each skipped row lies between the two ends of the run, which are
// noted for the round-map watch.
void Civ2Map::RingIterator::skipStraightRun(int& lowestY, int& highestY)
{
    const long long width = map.getWidth();
    const long long height = map.getHeight();
    const bool flatMap = map.isFlat();
    const int signX = deltaX[direction];
    const int signY = deltaY[direction];

    long long firstEvent = movesUntil(y, signY, center_y);
    if (flatMap) {
        firstEvent = std::min(firstEvent, movesUntil(x, signX, center_x));
    } else if (center_x >= 0 && center_x < width) {
        // x runs modulo the width, so it meets the centre's column again
        // after at most width moves.
        long long moves = ((center_x - x) * signX % width + width) % width;
        firstEvent = std::min(firstEvent, moves == 0 ? width : moves);
    }

    const long long movesToCornerRow = movesUntil(y, signY, ring_start_y);
    if (movesToCornerRow != NO_EVENT) {
        long long cornerRowX = x + movesToCornerRow * signX;
        if (!flatMap)
            cornerRowX = (cornerRowX % width + width) % width;
        if (cornerRowX == ring_start_x)
            firstEvent = std::min(firstEvent, movesToCornerRow);
    }

    long long firstInside = 0;
    long long lastInside = 0;
    movesWithin(y, signY, 0, height - 1, firstInside, lastInside);
    if (flatMap) {
        long long firstInsideX = 0;
        long long lastInsideX = 0;
        movesWithin(x, signX, 0, width - 1, firstInsideX, lastInsideX);
        firstInside = std::max(firstInside, firstInsideX);
        lastInside = std::min(lastInside, lastInsideX);
    }
    firstInside = std::max(firstInside, 1LL);
    if (firstInside <= lastInside)
        firstEvent = std::min(firstEvent, firstInside);

    if (firstEvent == NO_EVENT)
        throwOffMap();
    if (firstEvent > 1) {
        moveBy(x, y, direction, firstEvent - 1);
        lowestY = std::min(lowestY, y);
        highestY = std::max(highestY, y);
    }
}

// Brent's step over the states of the current ring: true when the walk is
// back in a state it has been in since the ring began.
bool Civ2Map::RingIterator::ringLoops()
{
    const WalkState state{x, y, direction, turn_pending};
    return ring_watch.repeats(state, [](const WalkState& a, const WalkState& b) { return a.sameAs(b); });
}

// Advances to the next tile of the walk that lies on the map, or throws
// "RingIterator went completely off map." when the walk can never reach one
// again. The criteria are exact, not step limits:
//
// Both kinds of map: a straight run of plain steps off the map is made in one
// move (skipStraightRun), so a walk far from the map costs a few moves per
// side of a ring. A run that meets nothing that could turn it, end its ring
// or bring it onto the map goes on for good. A walk that would need a
// coordinate beyond the range of int cannot go on either.
//
// Flat maps: nothing wraps, so the walk is the plane's, whose rings always
// close. Rings that cannot reach the map's bounding box are skipped whole
// (skipRingsBeforeFlatMap); a ring beyond flatReach() has no tile, nor has
// any later ring.
//
// Round maps: x is taken modulo the width, so the walk depends on y only
// through three tests: y against the centre's row, (x, y) against the ring's
// start corner, and y against the map's rows. Within one ring:
//  - the state (x, y, direction, notch) determines the rest of the ring, so
//    if it repeats, the ring loops forever: off the map, or (on a very
//    narrow map, where the ring folds onto itself) through tiles it has
//    already reported, never reaching the next ring. The watch spans
//    advances, so such a loop ends after it has been walked once;
//  - more than three rows beyond every row those tests look at, the walk is
//    the same at any row, so if (x, direction, notch) repeats there while y
//    has moved no nearer, the walk drifts away from the map forever.
// Across rings: a ring from distance 3 on whose every point lies above both
// the map and the centre never meets the centre's row, so the ring w further
// out (same start column, start row w higher) walks the same way w rows
// higher, provided it begins with the same notch state (on a narrow map a
// ring can end halfway through a notch). Among 2w + 1 consecutive such rings
// d to d + 2w, two of d, d + w and d + 2w begin alike; from there on every
// ring repeats an earlier one higher still, and none reaches the map.
void Civ2Map::RingIterator::moveToNextPoint()
{
    const int width = map.getWidth();
    const int height = map.getHeight();
    const bool flatMap = map.isFlat();
    // On a flat map even rows end before x = width - 1 and odd rows start
    // after x = 0, so a walk of even x + y finds no tile on a map narrower
    // than 2, nor one of odd x + y on a map narrower than 3.
    const int oddWalk = (static_cast<long long>(center_x) + center_y) % 2 != 0 ? 1 : 0;
    if (width <= 0 || height <= 0 || (flatMap && width < 2 + oddWalk))
        throwOffMap();
    const long long reach = flatMap ? flatReach() : 0;
    const int freeRowLimit = std::min(0, center_y);

    CycleWatch farDrift;
    int farSide = 0;
    long long freeRings = 0;
    // Only rings walked whole within this advance are judged.
    bool ringStayedFree = false;
    // The walk stands on the tile reported last (or on the centre).
    bool offMapNow = false;

    for (;;) {
        int lowestY = y;
        int highestY = y;
        const bool atRingEnd = x == ring_start_x && y == ring_start_y;
        if (flatMap && atRingEnd)
            skipRingsBeforeFlatMap();
        else if (offMapNow && !atRingEnd && !turn_pending)
            skipStraightRun(lowestY, highestY);

        bool ringCompleted = false;
        const bool offMap = step(ringCompleted, lowestY, highestY);
        offMapNow = offMap;
        // A flat walk is the plane's, whose rings always close; a round one
        // whose state repeats within a ring loops there for good, on the map
        // or off it, so it ends once the loop has been walked.
        if (ringCompleted)
            ring_watch.reset();
        if (!flatMap && ringLoops())
            throwOffMap();
        if (!offMap)
            return;
        if (flatMap) {
            if (distance > reach)
                throwOffMap();
            continue;
        }

        if (ringCompleted) {
            bool finishedRingCounts = distance - 1 >= 3 && ringStayedFree;
            freeRings = finishedRingCounts ? freeRings + 1 : 0;
            if (freeRings >= 2LL * width + 1)
                throwOffMap();
            farDrift.reset();
            farSide = 0;
            ringStayedFree = true;
        }
        if (highestY >= freeRowLimit)
            ringStayedFree = false;

        const WalkState state{x, y, direction, turn_pending};

        const long long bandTop = std::min({0, center_y, ring_start_y});
        const long long bandBottom = std::max({height - 1, center_y, ring_start_y});
        const int margin = 4; // a step moves at most three times
        int side = 0;
        if (y < bandTop - margin)
            side = -1;
        else if (y > bandBottom + margin)
            side = 1;
        if (side != farSide) {
            farDrift.reset();
            farSide = side;
        }
        if (side != 0 &&
            farDrift.repeats(state, [](const WalkState& a, const WalkState& b) { return a.sameShapeAs(b); })) {
            bool cameNoNearer = side < 0 ? y <= farDrift.saved.y : y >= farDrift.saved.y;
            if (cameNoNearer)
                throwOffMap();
            farDrift.reset();
        }
    }
}

// ---------------------------------------------------------------------------
// Fertility

namespace {

// Advances a walk; false once no further tile of the map can be reached, so
// that a very small map ends the walk instead of failing it.
bool advanceWalk(Civ2Map::RingIterator& walk)
{
    try {
        ++walk;
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace

bool Civ2Map::hasGrasslandShield(int x, int y) const
{
    if (!isGrassland(getTerrainType(x, y)))
        return false;
    return (resource_map[XYtoOffset(x, y)] & 0x01) != 0;
}

// Rates a tile by the food, shields and trade of the 21 tiles within distance
// 2, the tile itself weighing most. Sums are single-precision floats added in
// the order of the walk, as the game computes them.
void Civ2Map::calcFertility(int x, int y)
{
    static const float IRRIGATION_BONUS = 2.0f / 3.0f;
    static const float MINING_BONUS = 0.5f;
    static const float SELF_WEIGHT = 4.0f;
    static const float INNER_WEIGHT = 2.0f;
    static const float OUTER_WEIGHT = 1.0f;
    static const float FOOD_WEIGHT = 3.0f;
    static const float SHIELDS_WEIGHT = 2.0f;
    static const float TRADE_WEIGHT = 1.0f;
    static const float DIVISOR = 16.0f;

    if (terrain_map.isNull())
        throw std::runtime_error("No map loaded.");
    const int offset = XYtoOffset(x, y);

    // Indexed by distance (self, inner, outer group).
    float food[3] = {0.0f, 0.0f, 0.0f};
    float shields[3] = {0.0f, 0.0f, 0.0f};
    float trade[3] = {0.0f, 0.0f, 0.0f};
    const Civ2TerrainRules& terrainRules = rules.getTerrainRules(map_index);

    RingIterator walk(x, y, *this);
    do {
        const int tx = walk.getX();
        const int ty = walk.getY();
        const Civ2TerrainType type = getTerrainType(tx, ty);
        float tileFood = static_cast<float>(terrainRules.getFood(type));
        float tileTrade = static_cast<float>(terrainRules.getTrade(type));
        float tileShields;
        if (isGrassland(type))
            tileShields = hasGrasslandShield(tx, ty) ? 1.0f : 0.0f;
        else
            tileShields = static_cast<float>(terrainRules.getShields(type));
        if (terrainRules.canBeMined(type))
            tileShields += MINING_BONUS;
        else if (terrainRules.canBeIrrigated(type))
            tileFood += IRRIGATION_BONUS;

        const int group = walk.getDistance();
        if (group < 0 || group > 2)
            throw std::runtime_error("Unknown distance in calcFertility! This should never happen...");
        food[group] += tileFood;
        shields[group] += tileShields;
        trade[group] += tileTrade;
    } while (advanceWalk(walk) && walk.getDistance() <= 2);

    // Each weighted sum is exact in double precision and rounded once.
    auto weighted = [&](const float sums[3]) {
        return static_cast<float>(static_cast<double>(SELF_WEIGHT) * sums[0] +
                                  static_cast<double>(INNER_WEIGHT) * sums[1] +
                                  static_cast<double>(OUTER_WEIGHT) * sums[2]);
    };
    const float weightedFood = weighted(food);
    const float weightedShields = weighted(shields);
    const float weightedTrade = weighted(trade);
    float rating = static_cast<float>(static_cast<double>(FOOD_WEIGHT) * weightedFood +
                                      static_cast<double>(SHIELDS_WEIGHT) * weightedShields +
                                      static_cast<double>(TRADE_WEIGHT) * weightedTrade);
    rating = rating / DIVISOR;

    // Round half up; the rating is never negative.
    unsigned char value = static_cast<unsigned char>(static_cast<double>(rating) + 0.5);
    if (isGrassland(getTerrainType(x, y)) && !hasGrasslandShield(x, y))
        value = static_cast<unsigned char>(value - 1);
    if (value <= 7)
        value = 8;
    else if (value > 15)
        value = 15;

    TerrainCell& cell = terrain_map[offset];
    cell.ownership_fertility = static_cast<unsigned char>((cell.ownership_fertility & OWNERSHIP_MASK) | value);
}

// Lowers a fertility of 8 to 15 into 0 to 7 when a city stands within
// distance 3, the tile itself included.
void Civ2Map::adjustFertility(int x, int y)
{
    static const int MAX_ADJUST_RADIUS = 3;

    if (terrain_map.isNull())
        throw std::runtime_error("No map loaded.");
    const int offset = XYtoOffset(x, y);

    bool cityNearby = false;
    RingIterator walk(x, y, *this);
    do {
        if (getImprovements(walk.getX(), walk.getY()).hasCity())
            cityNearby = true;
    } while (advanceWalk(walk) && walk.getDistance() <= MAX_ADJUST_RADIUS);

    TerrainCell& cell = terrain_map[offset];
    unsigned char fertility = static_cast<unsigned char>(cell.ownership_fertility & FERTILITY_MASK);
    if (cityNearby && fertility > 7)
        fertility = static_cast<unsigned char>(fertility - 8);
    cell.ownership_fertility = static_cast<unsigned char>((cell.ownership_fertility & OWNERSHIP_MASK) | fertility);
}
