// One map of a saved game: its tile records, the civilisations' views of the
// improvements, the grassland-shield pattern, the walk around a tile and the
// fertility calculation.
#ifndef CIV2MAP_H
#define CIV2MAP_H

#include <istream>
#include <ostream>

#include "MorvelUtil.h"
#include "civ2rules.h"

// One-byte value types of the tile records; defined in civ2sav.h, which this
// header includes at its end.
class Improvements;
class WhichCivs;

class Civ2Map {
public:
    // Civilisation slots; values up to 15 come from files, hence the fixed base.
    enum Civilization : int {
        RED = 0, // the Barbarians: no civilisation view
        WHITE = 1,
        GREEN = 2,
        BLUE = 3,
        YELLOW = 4,
        CYAN = 5,
        ORANGE = 6,
        PURPLE = 7,
        ALL_CIVS = 8 // setCivView only: civilisations 1 to 7 at once
    };

    // The six-byte tile record, laid out exactly as in the file.
    struct TerrainCell {
        unsigned char terrain;             // bits 0-5 type, bit 6 no resource, bit 7 river
        unsigned char improvements;        // an Improvements byte
        unsigned char city_radius;         // bits 5-7: a civilisation number
        unsigned char body_counter;        // bits 0-5 counter, bits 6-7 map index
        unsigned char visibility;          // a WhichCivs byte
        unsigned char ownership_fertility; // bits 0-3 fertility, bits 4-7 ownership
    };

    static constexpr int NUM_CIV_VIEWS = 7;
    static constexpr int CELL_SIZE = sizeof(TerrainCell);

    // Visits the tiles around a centre ring by ring: the centre at distance
    // 0, then 8, 12, 24, 32, ... tiles. Never ends by itself.
    class RingIterator {
    public:
        RingIterator(int x, int y, Civ2Map& map);
        RingIterator(const RingIterator& other);
        RingIterator& operator=(const RingIterator&) = delete;

        void reset();
        int getX() const { return x; }
        int getY() const { return y; }
        int getDistance() const { return distance; }
        RingIterator& operator++();
        void moveToNextPoint();
        bool movePoint(int& px, int& py, const int& dir, const int& count);

    private:
        bool step(bool& ringCompleted, int& lowestY, int& highestY);
        bool moveTracked(int& px, int& py, int& lowestY, int& highestY);
        bool moveBy(int& px, int& py, int dir, long long count);
        long long flatReach() const;
        void skipRingsBeforeFlatMap();
        void skipStraightRun(int& lowestY, int& highestY);
        bool ringLoops();

        // The walk's state at a step boundary, less what stays fixed within a ring.
        struct WalkState {
            int x = 0;
            int y = 0;
            int direction = 0;
            bool turnPending = false;
            bool sameAs(const WalkState& other) const
            {
                return y == other.y && sameShapeAs(other);
            }
            // The same but for the row.
            bool sameShapeAs(const WalkState& other) const
            {
                return x == other.x && direction == other.direction && turnPending == other.turnPending;
            }
        };

        // Brent's cycle detection over a sequence of walk states: remembers
        // one state and compares every later one with it, moving the
        // remembered state forward at power-of-two intervals. A cycle of any
        // length is found within a few times its length plus its lead-in,
        // with no memory beyond one state.
        struct CycleWatch {
            WalkState saved;
            long long power = 1;
            long long steps = 0;
            bool armed = false;

            void reset() { armed = false; }
            // True when state is the same (by same) as the remembered one.
            template <class Same>
            bool repeats(const WalkState& state, Same same)
            {
                if (armed && same(state, saved))
                    return true;
                if (!armed || ++steps == power) {
                    saved = state;
                    power = armed ? power * 2 : 1;
                    steps = 0;
                    armed = true;
                }
                return false;
            }
        };

        int center_x;
        int center_y;
        int distance;
        int direction;
        int ring_start_x;
        int ring_start_y;
        int x;
        int y;
        Civ2Map& map;
        bool turn_pending;
        // Watches the states of the current ring across advances: on a very
        // narrow round map a ring can fold into a loop of tiles that never
        // leads back to its start corner.
        CycleWatch ring_watch;
    };

    Civ2Map(int width, int height, int area, bool civViewAllowed, int mapIndex, bool flat,
            Civ2Rules& rules);
    ~Civ2Map();
    Civ2Map(const Civ2Map&) = delete;
    Civ2Map& operator=(const Civ2Map&) = delete;

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    bool isFlat() const { return flat; }
    unsigned short getSeed() const { return seed; }
    void setSeed(unsigned short newSeed) { seed = newSeed; }

    int XYtoOffset(int x, int y) const;
    int XYtoCivViewOffset(int x, int y, Civilization civ) const;

    bool isRiver(int x, int y) const;
    void setRiver(int x, int y, bool river);
    bool isResourceHidden(int x, int y) const;
    void setResourceHidden(int x, int y, bool hidden);
    Civ2TerrainType getTerrainType(int x, int y) const;
    void setTerrainType(int x, int y, Civ2TerrainType type);
    Improvements getImprovements(int x, int y) const;
    void setImprovements(int x, int y, Improvements improvements);
    Civilization getCityRadius(int x, int y) const;
    void setCityRadius(int x, int y, Civilization civ);
    unsigned char getBodyCounter(int x, int y) const;
    void setBodyCounter(int x, int y, unsigned char counter);
    WhichCivs getVisibility(int x, int y) const;
    void setVisibility(int x, int y, WhichCivs civs);
    unsigned char getFertility(int x, int y) const;
    void setFertility(int x, int y, unsigned char fertility);
    Civilization getOwnership(int x, int y) const;
    void setOwnership(int x, int y, Civilization civ);

    Improvements getCivView(int x, int y, Civilization civ) const;
    void setCivView(int x, int y, Civilization civ, Improvements value);

    void load(std::istream& in);
    void loadCivViewMap(std::istream& in);
    void loadTerrainMap(std::istream& in);
    void save(std::ostream& out) const;
    void saveCivViewMap(std::ostream& out) const;
    void saveTerrainMap(std::ostream& out) const;

    void calcFertility(int x, int y);
    void adjustFertility(int x, int y);
    bool hasGrasslandShield(int x, int y) const;

private:
    void initResourceMap();
    // The record of (x, y), after the "No map loaded" and coordinate checks.
    TerrainCell& cellAt(int x, int y);
    const TerrainCell& cellAt(int x, int y) const;

    MorvelUtil::SmartPointer<TerrainCell, true> terrain_map;
    MorvelUtil::SmartPointer<unsigned char, true> civ_view_map;
    MorvelUtil::SmartPointer<unsigned char, true> resource_map;
    int width;
    int height;
    int area;
    bool flat;
    bool civ_view_allowed;
    unsigned short seed;
    unsigned char map_index;
    Civ2Rules& rules;
};

#include "civ2sav.h"

#endif
