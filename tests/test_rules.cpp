// Terrain rules: the default table, one independent table per map slot, and
// what the lookups answer for codes without a row of their own.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "civ2rules.h"

namespace {

struct ExpectedRow {
    Civ2TerrainType type;
    int food;
    int shields;
    int trade;
    bool irrigable;
    bool mineable;
};

const ExpectedRow DEFAULT_ROWS[] = {
    {DESERT, 0, 1, 0, true, true},    {PLAINS, 1, 1, 0, true, false},  {GRASSLAND, 2, 1, 0, true, false},
    {FOREST, 1, 2, 0, false, false},  {HILLS, 1, 0, 0, true, true},    {MOUNTAINS, 0, 1, 0, false, true},
    {TUNDRA, 1, 0, 0, true, false},   {GLACIER, 0, 0, 0, false, true}, {SWAMP, 1, 0, 0, false, false},
    {JUNGLE, 1, 0, 0, false, false},  {OCEAN, 1, 0, 2, false, false},
};

void expectRow(const Civ2TerrainRules& table, Civ2TerrainType code, const ExpectedRow& row)
{
    EXPECT_EQ(row.food, table.getFood(code));
    EXPECT_EQ(row.shields, table.getShields(code));
    EXPECT_EQ(row.trade, table.getTrade(code));
    EXPECT_EQ(row.irrigable, table.canBeIrrigated(code));
    EXPECT_EQ(row.mineable, table.canBeMined(code));
}

std::string terrainRulesMessage(Civ2Rules& rules, int mapIndex)
{
    try {
        rules.getTerrainRules(mapIndex);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(no failure)";
}

TEST(TerrainRulesTest, EverySlotStartsWithTheDefaultTable)
{
    Civ2Rules rules;
    for (int slot = 0; slot < 4; ++slot) {
        const Civ2TerrainRules& table = rules.getTerrainRules(slot);
        for (const ExpectedRow& row : DEFAULT_ROWS) {
            SCOPED_TRACE("slot " + std::to_string(slot) + ", terrain " + std::to_string(row.type));
            expectRow(table, row.type, row);
        }
    }
}

TEST(TerrainRulesTest, SlotsAreIndependentCopies)
{
    Civ2Rules rules;
    Civ2TerrainRules& slot2 = rules.getTerrainRules(2);
    EXPECT_EQ(&slot2, &rules.getTerrainRules(2));
    slot2.table[OCEAN].trade = 9;
    slot2.table[DESERT].mineable = false;

    EXPECT_EQ(9, rules.getTerrainRules(2).getTrade(OCEAN));
    EXPECT_FALSE(rules.getTerrainRules(2).canBeMined(DESERT));
    for (int slot : {0, 1, 3}) {
        SCOPED_TRACE(slot);
        EXPECT_NE(&slot2, &rules.getTerrainRules(slot));
        EXPECT_EQ(2, rules.getTerrainRules(slot).getTrade(OCEAN));
        EXPECT_TRUE(rules.getTerrainRules(slot).canBeMined(DESERT));
    }
    // The built-in defaults are untouched, so a new rule set starts clean.
    EXPECT_EQ(2, Civ2TerrainRules::default_rules[OCEAN].trade);
    EXPECT_EQ(2, Civ2Rules().getTerrainRules(2).getTrade(OCEAN));
}

TEST(TerrainRulesTest, SlotOutsideZeroToThreeFails)
{
    Civ2Rules rules;
    EXPECT_EQ("No terrain rules for map 4 are defined.", terrainRulesMessage(rules, 4));
    EXPECT_EQ("No terrain rules for map -1 are defined.", terrainRulesMessage(rules, -1));
    EXPECT_EQ("No terrain rules for map 255 are defined.", terrainRulesMessage(rules, 255));
    EXPECT_EQ("No terrain rules for map -2147483648 are defined.", terrainRulesMessage(rules, INT32_MIN));
}

// A tile stores six bits of terrain code. Codes 11 to 63 answer with the row
// of their low four bits when that names a terrain, and with no yield at all
// otherwise; nothing reads outside the table.
TEST(TerrainRulesTest, CodesAboveOceanUseTheirLowFourBitsOrYieldNothing)
{
    const ExpectedRow noYield = {OCEAN, 0, 0, 0, false, false};
    const Civ2TerrainRules table;
    for (int code = 11; code <= 63; ++code) {
        SCOPED_TRACE("code " + std::to_string(code));
        const int lowBits = code & 0x0f;
        const ExpectedRow& expected = lowBits <= OCEAN ? DEFAULT_ROWS[lowBits] : noYield;
        expectRow(table, static_cast<Civ2TerrainType>(code), expected);
    }
    // A few by name: 0x22 counts as grassland, 0x1A as ocean, 0x0B and 0x3F
    // as nothing.
    EXPECT_EQ(2, table.getFood(static_cast<Civ2TerrainType>(0x22)));
    EXPECT_EQ(2, table.getTrade(static_cast<Civ2TerrainType>(0x1A)));
    EXPECT_EQ(0, table.getFood(static_cast<Civ2TerrainType>(0x0B)));
    EXPECT_EQ(0, table.getFood(static_cast<Civ2TerrainType>(0x3F)));
}

TEST(TerrainRulesTest, CodesOutsideSixBitsYieldNothing)
{
    const Civ2TerrainRules table;
    for (int code : {-1, 64, 66, 0x7f, 0xff, INT32_MAX}) {
        SCOPED_TRACE(code);
        expectRow(table, static_cast<Civ2TerrainType>(code), {OCEAN, 0, 0, 0, false, false});
    }
}

} // namespace
