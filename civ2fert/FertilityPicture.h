// The picture of one map drawn by civ2fert show --png: every tile in its
// place on the staggered grid, coloured by its stored fertility, with a
// legend strip below.
#ifndef CIV2FERT_FERTILITYPICTURE_H
#define CIV2FERT_FERTILITYPICTURE_H

#include <cstddef>
#include <string>
#include <vector>

#include "FertilityColours.h"
#include "civ2map.h"

// Pictures are refused beyond this many pixels on a side (libpng's own
// default limit; viewers rarely cope with more).
const long MAX_PICTURE_SIDE = 1000000;

class FertilityPicture {
public:
    // The legend strip, in legend units; a unit is one or more pixels.
    static const int LEGEND_WIDTH = 200;
    static const int LEGEND_HEIGHT = 38;

    // A tile (x, y) covers columns x and x + 1 of row y, each scale pixels
    // square. With other, tiles whose fertility differs from other's tile at
    // the same place (where other holds it) are outlined.
    FertilityPicture(const Civ2Map& map, int scale, const Civ2Map* other);

    // The map's width x scale pixels, or the legend's width if that is more.
    long pixelWidth() const;
    // The map's height x scale pixels plus the legend strip.
    long pixelHeight() const;
    long mapPixelHeight() const { return static_cast<long>(height) * scale; }

    Rgb pixel(long px, long py) const;
    // Fills rgb with 3 x pixelWidth() bytes of row py.
    void renderRow(long py, unsigned char* rgb) const;

private:
    struct TileLook {
        Rgb colour;
        bool city;
        bool differs;
    };

    std::size_t tileIndex(int x, int y) const;
    Rgb mapPixel(long px, long py) const;
    Rgb legendPixel(long px, long py) const;
    void drawLegend();

    int width;
    int height;
    int scale;
    int tilesPerRow;
    bool wrapsAround;
    int legendUnit;
    std::vector<TileLook> tiles;   // row by row, tilesPerRow entries per row
    std::vector<Rgb> legend;       // LEGEND_WIDTH x LEGEND_HEIGHT units
};

// Writes the picture as an 8-bit RGB PNG file. Throws std::runtime_error when
// the picture is too large or the file cannot be written completely.
void writePng(const std::string& fileName, const FertilityPicture& picture);

#endif
