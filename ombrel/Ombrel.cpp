// ombrel: prints the fertility stored for one tile of the first map of a
// saved game, scenario or map-only file.
//
//   ombrel FILE X Y      (X and Y in the game's own coordinates, X + Y even)

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "MorvelUtil.h"
#include "civ2map.h"
#include "civ2sav.h"

namespace {

const int NORMAL = 0;
[[maybe_unused]] const int DEBUG = 1;

const char* const USAGE_TEXT = "Need three and only three arguments.\n<file> <x> <y> (in civ2 coords)";

// Reads a coordinate as atoi does (leading blanks, a sign, the digits up to
// the first other character, 0 without digits), but a value beyond the range
// of int is held at the nearest end of that range instead of being undefined.
int parseCoordinate(const std::string& text)
{
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

void printErrorMessage(std::string message)
{
    std::cout << message << std::endl;
}

int main(int argc, char** argv)
{
    Civ2SavedGame game;
    if (argc != 4) {
        std::cout << USAGE_TEXT;
        return 1;
    }
    const std::string fileName = argv[1];
    const std::string xText = argv[2];
    const std::string yText = argv[3];
    const int x = parseCoordinate(xText);
    const int y = parseCoordinate(yText);

    MorvelUtil::LogOutput::setOutputStream(std::cout);
    try {
        MorvelUtil::LogOutput::enableLevel(NORMAL);
        game.load(fileName);
        if (x < 0 || x >= game.getWidth()) {
            MorvelUtil::LogOutput::log(NORMAL) << "X Value: " << x << " is invalid\n";
            return 1;
        }
        if (y < 0 || y >= game.getHeight()) {
            MorvelUtil::LogOutput::log(NORMAL) << "Y Value: " << y << " is invalid\n";
            return 1;
        }
        const unsigned int fertility = game.getMap(0)->getFertility(x, y);
        MorvelUtil::LogOutput::log(NORMAL) << std::hex << "Fertility is: " << fertility << std::endl;
    } catch (const std::exception& error) {
        printErrorMessage(error.what());
        return 1;
    } catch (...) {
        std::cout << "Unknown error!\n";
        return 1;
    }
    return 0;
}
