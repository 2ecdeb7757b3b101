// make_examples: writes the example files shipped in examples/ into a
// directory, using the map library for everything it can do itself.
//
//   make_examples DIR
//
// The files are a small world as a map-only file, the same world after a
// city was founded, and that second world in a saved game of each edition.
// The output is the same, byte for byte, on every run.

#include <cctype>
#include <exception>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>

#include "SavedGameShell.h"
#include "civ2map.h"
#include "civ2sav.h"

namespace {

const int WIDTH = 40; // x dimension: 20 tiles a row
const int HEIGHT = 24;
const unsigned short WORLD_SEED = 4242;

// One character a tile, row by row; column c of row y is x = 2c + y % 2.
// Lower case: d desert, p plains, g grassland, f forest, h hills,
// m mountains, t tundra, a glacier, s swamp, j jungle, '.' ocean.
// Upper case: the same terrain with a river.
const char* const WORLD[HEIGHT] = {
    "aaaaaaaaaaaaaaaaaaaa",
    "aat...aa.....aatt.aa",
    "..tt..........ttt...",
    "..tfff......ffhtt...",
    "..pgffh....pggfmm...",
    ".ppgGgh....ggGghmm..",
    ".pggGgph..jpgGgfhh..",
    ".ppgGggp..jjpGgffp..",
    "..pdgGgp...jjGgppg..",
    "..ddgGgg...jsGgpp...",
    "..dddgGp....sGgpp...",
    "...ddhGh....sGgg....",
    "....hmGh..h..sGg....",
    "....mmGf..hf.sGp....",
    ".....fGf..fh..G.....",
    ".....fG.......G.....",
    "......G......jj.....",
    "..............jj....",
    "..............jjs...",
    "...............s....",
    "....................",
    "..tt.........tt.....",
    ".ttaat.....ttaat....",
    "aaaaaaaaaaaaaaaaaaaa",
};

// A second map for the multi-map saved games.
const char* const ISLANDS[HEIGHT] = {
    "....................",
    "...aa.........aaa...",
    "....................",
    "..gg.......ff.......",
    ".gGgp.....fhhf......",
    "..gpp......fmh...dd.",
    "...p........h...ddp.",
    "....................",
    ".......jj...........",
    "......jjsj......gg..",
    ".......js.......gGp.",
    ".........j.......pp.",
    "....................",
    "..ff.........hh.....",
    ".fhff.......hmmh....",
    "..hh.........hh.....",
    "....................",
    ".......ppg..........",
    "......pGgg...tt.....",
    ".......gp....ttt....",
    "....................",
    "..............aa....",
    "....aa..............",
    "....................",
};

struct TileImprovements {
    int x;
    int y;
    unsigned char bits;
};

const unsigned char ROAD = Improvements::ROAD_MASK;
const unsigned char IRRIGATION = Improvements::IRRIGATION_MASK;
const unsigned char MINE = Improvements::MINING_MASK;
const unsigned char FORTRESS = Improvements::FORTRESS_MASK;

const TileImprovements WORLD_IMPROVEMENTS[] = {
    {7, 7, ROAD},  {9, 7, ROAD},  {13, 7, ROAD}, {15, 7, ROAD},       {10, 6, IRRIGATION},
    {12, 8, IRRIGATION},          {10, 8, ROAD | IRRIGATION},         {12, 4, MINE},
    {14, 6, FORTRESS},            {29, 9, IRRIGATION}, {31, 9, ROAD}, {30, 8, ROAD | IRRIGATION},
};

// Where the second version of the world founds its city: grassland beside
// the western river.
const int CITY_X = 11;
const int CITY_Y = 7;

// The civilisation that owns the city in the saved games.
const Civ2Map::Civilization CITY_OWNER = Civ2Map::WHITE;

Civ2TerrainType terrainOf(char symbol)
{
    switch (std::tolower(static_cast<unsigned char>(symbol))) {
    case 'd': return DESERT;
    case 'p': return PLAINS;
    case 'g': return GRASSLAND;
    case 'f': return FOREST;
    case 'h': return HILLS;
    case 'm': return MOUNTAINS;
    case 't': return TUNDRA;
    case 'a': return GLACIER;
    case 's': return SWAMP;
    case 'j': return JUNGLE;
    case '.': return OCEAN;
    default: throw std::runtime_error(std::string("Unknown terrain symbol ") + symbol);
    }
}

void forEachTile(Civ2Map& map, const std::function<void(int, int)>& visit)
{
    for (int y = 0; y < map.getHeight(); ++y)
        for (int x = y % 2; x < map.getWidth(); x += 2)
            visit(x, y);
}

// Paints terrain and rivers from a drawing; upside down, row y takes the
// drawing's row HEIGHT - 1 - y.
void paint(Civ2Map& map, const char* const drawing[HEIGHT], bool upsideDown)
{
    forEachTile(map, [&](int x, int y) {
        const char symbol = drawing[upsideDown ? HEIGHT - 1 - y : y][x / 2];
        map.setTerrainType(x, y, terrainOf(symbol));
        map.setRiver(x, y, std::isupper(static_cast<unsigned char>(symbol)) != 0);
    });
}

void addImprovements(Civ2Map& map)
{
    for (const TileImprovements& tile : WORLD_IMPROVEMENTS)
        map.setImprovements(tile.x, tile.y, Improvements(tile.bits));
}

void foundCity(Civ2Map& map)
{
    Improvements cityTile = map.getImprovements(CITY_X, CITY_Y);
    cityTile.setCity(true);
    cityTile.setRoad(true);
    map.setImprovements(CITY_X, CITY_Y, cityTile);
}

// Rates every tile, then lowers the ratings near cities; the second pass
// needs the first one finished, as a rating reads only terrain.
void rateEveryTile(Civ2Map& map)
{
    forEachTile(map, [&](int x, int y) { map.calcFertility(x, y); });
    forEachTile(map, [&](int x, int y) { map.adjustFertility(x, y); });
}

// What a game in progress adds around its city: the owner sees the tiles
// within three steps (and the improvements on them) and owns those within
// two, which lie in the city's radius.
void markCityOwner(Civ2Map& map)
{
    for (Civ2Map::RingIterator walk(CITY_X, CITY_Y, map); walk.getDistance() <= 3; ++walk) {
        const int x = walk.getX();
        const int y = walk.getY();
        WhichCivs seenBy = map.getVisibility(x, y);
        seenBy.setWhite(true);
        map.setVisibility(x, y, seenBy);
        map.setCivView(x, y, CITY_OWNER, map.getImprovements(x, y));
        if (walk.getDistance() <= 2) {
            map.setOwnership(x, y, CITY_OWNER);
            map.setCityRadius(x, y, CITY_OWNER);
        }
    }
}

void makeWorld(Civ2Map& map, bool withCity)
{
    paint(map, WORLD, false);
    addImprovements(map);
    if (withCity)
        foundCity(map);
    rateEveryTile(map);
}

void writeMapOnly(const std::string& path, bool withCity)
{
    Civ2SavedGame game;
    game.createMP(WIDTH, HEIGHT);
    game.setSeed(WORLD_SEED);
    makeWorld(*game.getMap(0), withCity);
    game.save(path);
}

// A saved game whose first map is the world with its city; further maps
// (ToT only) are the islands and then the world upside down, each with a
// seed of its own.
void writeSavedGame(const std::string& path, unsigned short version, int numMaps, unsigned transporters)
{
    shell::ShellLayout layout;
    layout.version = version;
    layout.width = WIDTH;
    layout.height = HEIGHT;
    layout.seed = WORLD_SEED;
    layout.numMaps = numMaps;
    layout.transporters = transporters;
    shell::writeShell(path, layout);

    Civ2SavedGame game;
    game.load(path);
    for (int index = 0; index < game.getNumMaps(); ++index) {
        Civ2Map& map = *game.getMap(index);
        if (index == 0) {
            makeWorld(map, true);
            markCityOwner(map);
        } else {
            paint(map, index == 1 ? ISLANDS : WORLD, index != 1);
            rateEveryTile(map);
        }
        map.setSeed(static_cast<unsigned short>(WORLD_SEED + index));
    }
    game.save(path);
}

void writeAll(const std::string& dir)
{
    writeMapOnly(dir + "/world.mp", false);
    writeMapOnly(dir + "/world-city.mp", true);
    writeSavedGame(dir + "/world-cic.sav", shell::CIC, 1, 0);
    writeSavedGame(dir + "/world-fw.sav", shell::FW, 1, 0);
    writeSavedGame(dir + "/world-mge.sav", shell::MGE, 1, 0);
    writeSavedGame(dir + "/world-tot10.sav", shell::TOT10, 2, 2);
    writeSavedGame(dir + "/world-tot11.sav", shell::TOT11, 3, 3);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Usage: make_examples DIR" << std::endl;
        return 2;
    }
    try {
        writeAll(argv[1]);
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    return 0;
}
