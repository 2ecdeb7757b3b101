// Uses the installed map library: loads the file named on the command line
// and reports its size and one stored fertility, then rates a tile of a map
// created in memory.
//
//   consumer FILE X Y

#include <cstdlib>
#include <exception>
#include <iostream>

#include "civ2map.h"
#include "civ2sav.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cout << "Usage: consumer FILE X Y" << std::endl;
        return 1;
    }
    try {
        Civ2SavedGame game;
        game.load(argv[1]);
        Civ2Map* map = game.getMap(0);
        const int x = std::atoi(argv[2]);
        const int y = std::atoi(argv[3]);
        std::cout << "Loaded " << game.getWidth() << " x " << game.getHeight() << ", fertility at " << x
                  << "," << y << ": " << static_cast<int>(map->getFertility(x, y)) << std::endl;

        // All-ocean surroundings rate 10.
        Civ2SavedGame created;
        created.createMP(20, 10);
        created.getMap(0)->calcFertility(10, 4);
        std::cout << "New ocean tile rates " << static_cast<int>(created.getMap(0)->getFertility(10, 4))
                  << std::endl;
    } catch (const std::exception& error) {
        std::cout << error.what() << std::endl;
        return 1;
    }
    return 0;
}
