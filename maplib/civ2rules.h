// Terrain rules of a saved game: per map slot, the yields of each terrain
// type and whether it can be irrigated or mined.
#ifndef CIV2RULES_H
#define CIV2RULES_H

#include <vector>

// Terrain codes as stored in bits 0-5 of a tile's terrain byte. Only 0 to 10
// have rules; files can hold any value up to 63, hence the fixed int base.
enum Civ2TerrainType : int {
    DESERT = 0,
    PLAINS = 1,
    GRASSLAND = 2,
    FOREST = 3,
    HILLS = 4,
    MOUNTAINS = 5,
    TUNDRA = 6,
    GLACIER = 7,
    SWAMP = 8,
    JUNGLE = 9,
    OCEAN = 10
};

class Civ2TerrainRules {
public:
    struct TerrainRule {
        int food;
        int shields;
        int trade;
        bool irrigable;
        bool mineable;
    };

    static constexpr int NUM_TERRAIN_TYPES = 11;
    static const TerrainRule default_rules[NUM_TERRAIN_TYPES];

    Civ2TerrainRules();

    // Codes 11 to 63 take the row of their low four bits when that is 0 to
    // 10 (bit 5 flags an animated resource in some files), and otherwise the
    // row of a terrain with no yield.
    int getFood(const Civ2TerrainType& type) const { return ruleFor(type).food; }
    int getShields(const Civ2TerrainType& type) const { return ruleFor(type).shields; }
    int getTrade(const Civ2TerrainType& type) const { return ruleFor(type).trade; }
    bool canBeIrrigated(const Civ2TerrainType& type) const { return ruleFor(type).irrigable; }
    bool canBeMined(const Civ2TerrainType& type) const { return ruleFor(type).mineable; }

    TerrainRule table[NUM_TERRAIN_TYPES];

private:
    const TerrainRule& ruleFor(Civ2TerrainType type) const;
};

class Civ2Rules {
public:
    static constexpr int NUM_MAP_SLOTS = 4;

    Civ2Rules();
    ~Civ2Rules();

    // The table of map slot mapIndex (0 to 3); any other index throws
    // "No terrain rules for map <index> are defined.".
    Civ2TerrainRules& getTerrainRules(int mapIndex);

    std::vector<Civ2TerrainRules> terrain_rules;
};

#endif
