#include "civ2rules.h"

#include <stdexcept>
#include <string>

const Civ2TerrainRules::TerrainRule Civ2TerrainRules::default_rules[NUM_TERRAIN_TYPES] = {
    // food, shields, trade, irrigable, mineable
    {0, 1, 0, true, true},   // desert
    {1, 1, 0, true, false},  // plains
    {2, 1, 0, true, false},  // grassland (its shield comes from the tile's flag)
    {1, 2, 0, false, false}, // forest
    {1, 0, 0, true, true},   // hills
    {0, 1, 0, false, true},  // mountains
    {1, 0, 0, true, false},  // tundra
    {0, 0, 0, false, true},  // glacier
    {1, 0, 0, false, false}, // swamp
    {1, 0, 0, false, false}, // jungle
    {1, 0, 2, false, false}, // ocean
};

Civ2TerrainRules::Civ2TerrainRules()
{
    for (int row = 0; row < NUM_TERRAIN_TYPES; ++row)
        table[row] = default_rules[row];
}

const Civ2TerrainRules::TerrainRule& Civ2TerrainRules::ruleFor(Civ2TerrainType type) const
{
    static const TerrainRule no_yield = {0, 0, 0, false, false};
    int code = static_cast<int>(type);
    if (code >= 0 && code < NUM_TERRAIN_TYPES)
        return table[code];
    int lowBits = code & 0x0f;
    if (code > 0 && code <= 0x3f && lowBits < NUM_TERRAIN_TYPES)
        return table[lowBits];
    return no_yield;
}

Civ2Rules::Civ2Rules() : terrain_rules(NUM_MAP_SLOTS, Civ2TerrainRules()) {}

Civ2Rules::~Civ2Rules() {}

Civ2TerrainRules& Civ2Rules::getTerrainRules(int mapIndex)
{
    if (static_cast<unsigned>(mapIndex) >= terrain_rules.size())
        throw std::runtime_error("No terrain rules for map " + std::to_string(mapIndex) +
                                 " are defined.");
    return terrain_rules[static_cast<size_t>(mapIndex)];
}
