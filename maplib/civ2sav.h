// One saved game, scenario or map-only file in memory: the map header, the
// maps, the per-map seeds and start positions, and the raw bytes before and
// after the maps, kept so that the file can be written back unchanged.
#ifndef CIV2SAV_H
#define CIV2SAV_H

#include <ios>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "MorvelUtil.h"
#include "civ2map.h"
#include "civ2rules.h"

// The improvements on a tile, one bit each.
class Improvements {
public:
    static constexpr unsigned char UNIT_MASK = 0x01;
    static constexpr unsigned char CITY_MASK = 0x02;
    static constexpr unsigned char IRRIGATION_MASK = 0x04;
    static constexpr unsigned char MINING_MASK = 0x08;
    static constexpr unsigned char ROAD_MASK = 0x10;
    static constexpr unsigned char RAILROAD_MASK = 0x20;
    static constexpr unsigned char FORTRESS_MASK = 0x40;
    static constexpr unsigned char POLLUTION_MASK = 0x80;

    Improvements() : bits(0) {}
    Improvements(const Improvements& other) = default;
    Improvements(unsigned char raw) : bits(raw) {}
    Improvements& operator=(const Improvements& other) = default;

    unsigned char getByte() const { return bits; }

    bool hasUnit() const { return (bits & UNIT_MASK) != 0; }
    bool hasCity() const { return (bits & CITY_MASK) != 0; }
    bool hasIrrigation() const { return (bits & IRRIGATION_MASK) != 0; }
    bool hasMining() const { return (bits & MINING_MASK) != 0; }
    bool hasRoad() const { return (bits & ROAD_MASK) != 0; }
    bool hasRailroad() const { return (bits & RAILROAD_MASK) != 0; }
    bool hasFortress() const { return (bits & FORTRESS_MASK) != 0; }
    bool hasPollution() const { return (bits & POLLUTION_MASK) != 0; }

    void setUnit(bool on) { setBit(UNIT_MASK, on); }
    void setCity(bool on) { setBit(CITY_MASK, on); }
    void setIrrigation(bool on) { setBit(IRRIGATION_MASK, on); }
    void setMining(bool on) { setBit(MINING_MASK, on); }
    void setRoad(bool on) { setBit(ROAD_MASK, on); }
    void setRailroad(bool on) { setBit(RAILROAD_MASK, on); }
    void setFortress(bool on) { setBit(FORTRESS_MASK, on); }
    void setPollution(bool on) { setBit(POLLUTION_MASK, on); }

private:
    void setBit(unsigned char mask, bool on)
    {
        bits = static_cast<unsigned char>(on ? (bits | mask) : (bits & ~mask));
    }
    unsigned char bits;
};

// A set of civilisations, one bit each, red (the Barbarians) first.
class WhichCivs {
public:
    static constexpr unsigned char RED_MASK = 0x01;
    static constexpr unsigned char WHITE_MASK = 0x02;
    static constexpr unsigned char GREEN_MASK = 0x04;
    static constexpr unsigned char BLUE_MASK = 0x08;
    static constexpr unsigned char YELLOW_MASK = 0x10;
    static constexpr unsigned char CYAN_MASK = 0x20;
    static constexpr unsigned char ORANGE_MASK = 0x40;
    static constexpr unsigned char PURPLE_MASK = 0x80;

    WhichCivs() : bits(0) {}
    WhichCivs(const WhichCivs& other) = default;
    WhichCivs(unsigned char raw) : bits(raw) {}
    WhichCivs& operator=(const WhichCivs& other) = default;

    unsigned char getByte() const { return bits; }

    bool hasRed() const { return (bits & RED_MASK) != 0; }
    bool hasWhite() const { return (bits & WHITE_MASK) != 0; }
    bool hasGreen() const { return (bits & GREEN_MASK) != 0; }
    bool hasBlue() const { return (bits & BLUE_MASK) != 0; }
    bool hasYellow() const { return (bits & YELLOW_MASK) != 0; }
    bool hasCyan() const { return (bits & CYAN_MASK) != 0; }
    bool hasOrange() const { return (bits & ORANGE_MASK) != 0; }
    bool hasPurple() const { return (bits & PURPLE_MASK) != 0; }

    void setRed(bool on) { setBit(RED_MASK, on); }
    void setWhite(bool on) { setBit(WHITE_MASK, on); }
    void setGreen(bool on) { setBit(GREEN_MASK, on); }
    void setBlue(bool on) { setBit(BLUE_MASK, on); }
    void setYellow(bool on) { setBit(YELLOW_MASK, on); }
    void setCyan(bool on) { setBit(CYAN_MASK, on); }
    void setOrange(bool on) { setBit(ORANGE_MASK, on); }
    void setPurple(bool on) { setBit(PURPLE_MASK, on); }

private:
    void setBit(unsigned char mask, bool on)
    {
        bits = static_cast<unsigned char>(on ? (bits | mask) : (bits & ~mask));
    }
    unsigned char bits;
};

class Civ2SavedGame {
public:
    // The 14-byte map header shared by all maps of a file, little-endian.
    struct MapHeader {
        unsigned short x_dimension;
        unsigned short y_dimension;
        unsigned short map_area;
        unsigned short flat_earth;
        unsigned short map_seed;
        unsigned short locator_x_dim;
        unsigned short locator_y_dim;
    };

    // The 84-byte start positions record of map-only files, never interpreted.
    struct StartPositions {
        unsigned short x[21];
        unsigned short y[21];
    };

    Civ2SavedGame();
    ~Civ2SavedGame();
    Civ2SavedGame(const Civ2SavedGame&) = delete;
    Civ2SavedGame& operator=(const Civ2SavedGame&) = delete;

    void load(const std::string& fileName);
    static bool isMPFile(std::string fileName);

    int getWidth() const;
    int getHeight() const;
    int getNumMaps() const;
    Civ2Map* getMap(int index);
    const char* getVersionString() const;
    bool isFlatEarth() const;
    bool isMapOnly() const { return map_only; }
    bool supportsMultiMaps() const;

    void save(const std::string& fileName);
    void saveMapHeader(std::ostream& out) const;
    void saveStartPositions(std::ostream& out) const;
    void saveMapSpecificSeed(std::ostream& out, unsigned short seed);

    void createMP(int width, int height);
    void createSAV(int, int, int);
    unsigned short getSeed() const;
    void setSeed(unsigned short seed);
    StartPositions& getCivStart();
    void setCivStart(const StartPositions& positions);
    void addMap(int index);
    void removeMap(int index);

    void loadMapHeaderOffset(std::istream& in);
    void loadMapHeader(std::istream& in);
    void loadStartPositions(std::istream& in);
    unsigned short loadMapSpecificSeed(std::istream& in);
    int readDataBlock(std::istream& in, MorvelUtil::SmartPointer<char, true>& block,
                      std::streampos start, std::streampos end);
    void destroyMaps();

private:
    void loadOpenedFile(std::istream& in);
    void saveOpenedFile(std::ostream& out);

    MorvelUtil::SmartPointer<MapHeader, false> map_header;
    MorvelUtil::SmartPointer<StartPositions, false> start_positions;
    std::vector<Civ2Map*> maps;
    bool map_only;
    unsigned short version;
    int map_header_offset;
    unsigned short num_secondary_maps;
    MorvelUtil::SmartPointer<char, true> pre_map_data;
    int pre_map_size;
    MorvelUtil::SmartPointer<char, true> post_map_data;
    int post_map_size;
    Civ2Rules rules;
};

#endif
