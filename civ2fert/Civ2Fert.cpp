// civ2fert: shows the stored fertility of a map of a saved game, scenario or
// map-only file, draws it as a picture, and refreshes it after the terrain
// has been edited.
//
//   civ2fert show FILE [--map N] [--png OUT.png] [--scale S] [--against OTHER]
//   civ2fert refresh FILE OUT [--map N]

#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FertilityPicture.h"
#include "FertilityRefresh.h"
#include "FertilitySummary.h"
#include "ReplaceFile.h"
#include "civ2map.h"
#include "civ2sav.h"

namespace {

const int EXIT_OK = 0;
const int EXIT_FAILURE_REPORTED = 1;
const int EXIT_USAGE = 2;

int show(const Options& options)
{
    Civ2SavedGame game;
    game.load(options.file);
    Civ2Map& map = *game.getMap(options.mapIndex);
    const FertilitySummary summary = summarise(game, options.mapIndex);

    // The other file's saved game must outlive every use of its map.
    std::unique_ptr<Civ2SavedGame> otherGame;
    Civ2Map* other = nullptr;
    if (!options.otherFile.empty()) {
        otherGame = std::make_unique<Civ2SavedGame>();
        otherGame->load(options.otherFile);
        other = otherGame->getMap(options.mapIndex);
    }

    long pictureWidth = 0;
    long pictureHeight = 0;
    if (!options.pngFile.empty()) {
        const FertilityPicture picture(map, options.scale, other);
        replaceFile(options.pngFile, [&](const std::string& temporary) { writePng(temporary, picture); });
        pictureWidth = picture.pixelWidth();
        pictureHeight = picture.pixelHeight();
    }

    printSummary(std::cout, options.file, summary);
    if (other != nullptr)
        std::cout << "Tiles differing from " << options.otherFile << ": " << countDifferences(map, *other) << "\n";
    if (!options.pngFile.empty())
        std::cout << "Picture: " << options.pngFile << " (" << pictureWidth << " x " << pictureHeight
                  << " pixels)\n";
    return EXIT_OK;
}

int refresh(const Options& options)
{
    Civ2SavedGame game;
    game.load(options.file);
    const std::vector<MapRefresh> results = refreshFertility(game, options.allMaps, options.mapIndex);
    replaceFile(options.out, [&](const std::string& temporary) {
        game.save(temporary);
        if (game.isMapOnly())
            keepBytesAfterMap(options.file, temporary);
    });

    long changed = 0;
    for (const MapRefresh& result : results) {
        std::cout << "Map " << result.mapIndex << ": " << result.changed << " of " << result.tiles
                  << " tiles changed\n";
        changed += result.changed;
    }
    std::cout << changed << " tiles changed; wrote " << options.out << "\n";
    return EXIT_OK;
}

int run(const Options& options)
{
    switch (options.command) {
    case Command::HELP:
        std::cout << USAGE_TEXT << "\n" << HELP_TEXT;
        return EXIT_OK;
    case Command::VERSION:
        std::cout << "civ2fert " << CIV2FERT_VERSION << "\n";
        return EXIT_OK;
    case Command::SHOW:
        return show(options);
    case Command::REFRESH:
        return refresh(options);
    }
    return EXIT_FAILURE_REPORTED;
}

} // namespace

int main(int argc, char** argv)
{
    // The library logs its progress only at a level nobody enables here.
    Options options;
    try {
        options = parseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    } catch (const UsageError& error) {
        std::cerr << "civ2fert: " << error.what() << "\n"
                  << USAGE_TEXT << "Try 'civ2fert --help' for more information.\n";
        return EXIT_USAGE;
    }

    int status = EXIT_OK;
    try {
        status = run(options);
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << "civ2fert: " << error.what() << std::endl;
        return EXIT_FAILURE_REPORTED;
    }
    // Results that never reached standard output are a failure too.
    std::cout.flush();
    if (std::cout.fail()) {
        std::cerr << "civ2fert: Could not write to standard output." << std::endl;
        return EXIT_FAILURE_REPORTED;
    }
    return status;
}
