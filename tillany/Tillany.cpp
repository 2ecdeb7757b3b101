// tillany: lists every tile of the first map whose stored fertility differs
// between two saved games, scenarios or map-only files, then their number.
//
//   tillany FILE1 FILE2

#include <exception>
#include <iostream>
#include <string>

#include "MorvelUtil.h"
#include "civ2map.h"
#include "civ2sav.h"

namespace {

const int NORMAL = 0;
[[maybe_unused]] const int DEBUG = 1;

std::string file1;
std::string file2;

} // namespace

void parseFileNames(int argc, char** argv)
{
    if (argc > 1 && argv[1] != nullptr)
        file1 = argv[1];
    if (argc > 2 && argv[2] != nullptr)
        file2 = argv[2];
}

void printErrorMessage(std::string message)
{
    std::cout << message << std::endl;
}

int main(int argc, char** argv)
{
    Civ2SavedGame first;
    Civ2SavedGame second;
    try {
        parseFileNames(argc, argv);
        if (file1.empty() || file2.empty()) {
            printErrorMessage("Must specify two file names on command line.");
            std::cout << "Usage: tillany file1 file2" << std::endl;
            return 1;
        }
        MorvelUtil::LogOutput::setOutputStream(std::cout);
        MorvelUtil::LogOutput::enableLevel(NORMAL);

        first.load(file1);
        second.load(file2);
        Civ2Map* firstMap = first.getMap(0);
        Civ2Map* secondMap = second.getMap(0);

        // Rows are bounded by the first file, each row by the second file's
        // width; each lookup goes through its own map's coordinates, so a
        // position outside either map ends the run with the lookup's message.
        int differences = 0;
        for (int y = 0; y < first.getHeight(); ++y) {
            for (int x = y % 2; x < second.getWidth(); x += 2) {
                const unsigned char before = firstMap->getFertility(x, y);
                const unsigned char after = secondMap->getFertility(x, y);
                if (before != after) {
                    ++differences;
                    std::cout << x << "," << y << " " << static_cast<unsigned>(before) << ","
                              << static_cast<unsigned>(after) << std::endl;
                }
            }
        }
        std::cout << differences << " differences found." << std::endl;
    } catch (const std::exception& error) {
        printErrorMessage(error.what());
        return 1;
    } catch (...) {
        std::cout << "Unknown error!\n";
        return 1;
    }
    return 0;
}
