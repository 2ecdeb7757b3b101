#include "FertilityPicture.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "FertilitySummary.h"
#include "MapTiles.h"

namespace {

// ---------------------------------------------------------------------------
// A 3 x 5 pixel font for the legend: each glyph is five rows of three bits,
// the high bit leftmost.

const int GLYPH_WIDTH = 3;
const int GLYPH_HEIGHT = 5;
const int GLYPH_ADVANCE = GLYPH_WIDTH + 1;

struct Glyph {
    char character;
    unsigned char rows[GLYPH_HEIGHT];
};

const Glyph FONT[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'A', {2, 5, 7, 5, 5}}, {'C', {7, 4, 4, 4, 7}},
    {'D', {6, 5, 5, 5, 6}}, {'E', {7, 4, 6, 4, 7}}, {'F', {7, 4, 6, 4, 4}}, {'I', {7, 2, 2, 2, 7}},
    {'L', {4, 4, 4, 4, 7}}, {'N', {5, 7, 7, 5, 5}}, {'R', {6, 5, 6, 5, 5}}, {'S', {7, 4, 7, 1, 7}},
    {'T', {7, 2, 2, 2, 2}}, {'Y', {5, 5, 2, 2, 2}}, {'-', {0, 0, 7, 0, 0}},
};

const Glyph* findGlyph(char character)
{
    for (const Glyph& glyph : FONT)
        if (glyph.character == character)
            return &glyph;
    return nullptr; // drawn as a blank
}

int textWidth(const std::string& text)
{
    return text.empty() ? 0 : static_cast<int>(text.size()) * GLYPH_ADVANCE - 1;
}

// ---------------------------------------------------------------------------
// Legend layout, in legend units.

const int MARGIN = 2;
const int LABEL_WIDTH = 20;
const int SWATCH_WIDTH = 9;
const int SWATCH_HEIGHT = 6;
const int SWATCH_ADVANCE = SWATCH_WIDTH + 2; // room between two-digit numbers
const int ROW_ADVANCE = SWATCH_HEIGHT + 1 + GLYPH_HEIGHT + 2;
const int SWATCHES_LEFT = MARGIN + LABEL_WIDTH;

// A rectangle of legend units.
struct Box {
    int left;
    int top;
    int width;
    int height;
};

class LegendCanvas {
public:
    LegendCanvas(std::vector<Rgb>& units, int width, int height) : units(units), width(width), height(height)
    {
        units.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), BACKGROUND_COLOUR);
    }

    void fill(const Box& box, Rgb colour)
    {
        for (int y = box.top; y < box.top + box.height; ++y)
            for (int x = box.left; x < box.left + box.width; ++x)
                put(x, y, colour);
    }

    void outline(const Box& box, Rgb colour)
    {
        fill({box.left, box.top, box.width, 1}, colour);
        fill({box.left, box.top + box.height - 1, box.width, 1}, colour);
        fill({box.left, box.top, 1, box.height}, colour);
        fill({box.left + box.width - 1, box.top, 1, box.height}, colour);
    }

    void text(int left, int top, const std::string& text)
    {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const Glyph* glyph = findGlyph(text[i]);
            if (glyph == nullptr)
                continue;
            const int glyphLeft = left + static_cast<int>(i) * GLYPH_ADVANCE;
            for (int row = 0; row < GLYPH_HEIGHT; ++row)
                for (int column = 0; column < GLYPH_WIDTH; ++column)
                    if ((glyph->rows[row] >> (GLYPH_WIDTH - 1 - column)) & 1)
                        put(glyphLeft + column, top + row, LEGEND_TEXT_COLOUR);
        }
    }

private:
    void put(int x, int y, Rgb colour)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            units[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                colour;
    }

    std::vector<Rgb>& units;
    int width;
    int height;
};

// One row of the legend: a label, then a swatch per fertility value with
// the value below it.
void drawScale(LegendCanvas& canvas, int top, const std::string& label, Rgb (*colourOf)(int))
{
    canvas.text(MARGIN, top, label);
    for (int value = 0; value < NUM_FERTILITY_VALUES; ++value) {
        const int left = SWATCHES_LEFT + value * SWATCH_ADVANCE;
        canvas.fill({left, top, SWATCH_WIDTH, SWATCH_HEIGHT}, colourOf(value));
        const std::string number = std::to_string(value);
        canvas.text(left + (SWATCH_WIDTH - textWidth(number)) / 2, top + SWATCH_HEIGHT + 1, number);
    }
}

// ---------------------------------------------------------------------------
// PNG output through libpng. libpng reports failures by longjmp; the frame
// that calls setjmp holds nothing with a destructor, so the jump skips
// nothing that needs cleaning up.

// libpng's message, kept in a plain buffer: nothing may allocate or throw
// while libpng is on the stack.
struct PngErrorText {
    char text[200];
};

void onPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
    if (error != nullptr && message != nullptr) {
        std::strncpy(error->text, message, sizeof error->text - 1);
        error->text[sizeof error->text - 1] = '\0';
    }
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp)
{
}

bool encodePng(std::FILE* file, const FertilityPicture& picture, unsigned char* row, PngErrorText* error)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, onPngError, onPngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.pixelWidth()),
                 static_cast<png_uint_32>(picture.pixelHeight()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (long py = 0; py < picture.pixelHeight(); ++py) {
        picture.renderRow(py, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

// ---------------------------------------------------------------------------

FertilityPicture::FertilityPicture(const Civ2Map& map, int scale, const Civ2Map* other)
    : width(std::max(0, map.getWidth())), height(std::max(0, map.getHeight())), scale(scale),
      tilesPerRow((width + 1) / 2), wrapsAround(!map.isFlat() && width % 2 == 0), legendUnit(1)
{
    // The legend grows with the scale, up to half of it, as far as the map's
    // width leaves room; it never shrinks below one pixel per unit.
    const long fittingUnit = static_cast<long>(width) * scale / LEGEND_WIDTH;
    legendUnit = static_cast<int>(std::max(1L, std::min<long>(std::max(1, scale / 2), fittingUnit)));

    // A loaded map's every tile lies below its 16-bit area, which bounds
    // this table whatever dimensions the header claims.
    tiles.resize(static_cast<std::size_t>(tilesPerRow) * static_cast<std::size_t>(height));
    forEachTile(width, height, [&](int x, int y) {
        const int fertility = map.getFertility(x, y);
        TileLook& look = tiles[tileIndex(x, y)];
        look.colour = isOceanCode(map.getTerrainType(x, y)) ? oceanColour(fertility) : landColour(fertility);
        look.city = map.getImprovements(x, y).hasCity();
        look.differs = other != nullptr && holdsTile(other->getWidth(), other->getHeight(), x, y) &&
                       other->getFertility(x, y) != fertility;
    });
    drawLegend();
}

void FertilityPicture::drawLegend()
{
    LegendCanvas canvas(legend, LEGEND_WIDTH, LEGEND_HEIGHT);
    drawScale(canvas, MARGIN, "LAND", landColour);
    drawScale(canvas, MARGIN + ROW_ADVANCE, "SEA", oceanColour);

    const int top = MARGIN + 2 * ROW_ADVANCE;
    const Box citySample{SWATCHES_LEFT, top, SWATCH_WIDTH, SWATCH_HEIGHT};
    canvas.fill(citySample, landColour(12));
    canvas.fill({citySample.left + 2, citySample.top + 1, SWATCH_WIDTH - 4, SWATCH_HEIGHT - 2}, CITY_MARK_COLOUR);
    canvas.text(citySample.left + SWATCH_WIDTH + 2, top, "CITY");

    const Box differsSample{SWATCHES_LEFT + 3 * SWATCH_ADVANCE, top, SWATCH_WIDTH, SWATCH_HEIGHT};
    canvas.fill(differsSample, landColour(12));
    canvas.outline(differsSample, DIFFERENCE_OUTLINE_COLOUR);
    canvas.text(differsSample.left + SWATCH_WIDTH + 2, top, "DIFFERS");

    // Computer players settle only above 7: mark 8 to 15 as the city sites.
    const int sitesLeft = SWATCHES_LEFT + (HIGHEST_NON_SITE_FERTILITY + 1) * SWATCH_ADVANCE;
    canvas.text(sitesLeft, top, "CITY SITES 8-15");
}

long FertilityPicture::pixelWidth() const
{
    return std::max(static_cast<long>(width) * scale, static_cast<long>(LEGEND_WIDTH) * legendUnit);
}

long FertilityPicture::pixelHeight() const
{
    return mapPixelHeight() + static_cast<long>(LEGEND_HEIGHT) * legendUnit;
}

std::size_t FertilityPicture::tileIndex(int x, int y) const
{
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(tilesPerRow) + static_cast<std::size_t>(x / 2);
}

Rgb FertilityPicture::pixel(long px, long py) const
{
    if (px < 0 || py < 0 || px >= pixelWidth() || py >= pixelHeight())
        return BACKGROUND_COLOUR;
    if (py < mapPixelHeight())
        return mapPixel(px, py);
    return legendPixel(px, py - mapPixelHeight());
}

// Column c of row y is the left half of tile (c, y) when c + y is even and
// the right half of tile (c - 1, y) otherwise. On a round map of even width
// the right half of the last tile of an odd row wraps round to column 0.
Rgb FertilityPicture::mapPixel(long px, long py) const
{
    const long column = px / scale;
    if (column >= width)
        return BACKGROUND_COLOUR;
    const int y = static_cast<int>(py / scale);
    const long withinRow = py % scale;
    long x = column;
    long withinTile = px % scale;
    if ((column + y) % 2 != 0) {
        x = column - 1;
        withinTile += scale;
    }
    if (x < 0) {
        if (!wrapsAround)
            return BACKGROUND_COLOUR;
        x = width - 1;
    }
    const TileLook& tile = tiles[tileIndex(static_cast<int>(x), y)];

    const long tileWidth = 2L * scale;
    const long outline = std::max(1, scale / 6);
    if (tile.differs && (withinTile < outline || withinTile >= tileWidth - outline || withinRow < outline ||
                         withinRow >= scale - outline))
        return DIFFERENCE_OUTLINE_COLOUR;
    if (tile.city && withinRow >= scale / 4 && withinRow < scale - scale / 4 && withinTile >= scale / 2 &&
        withinTile < tileWidth - scale / 2)
        return CITY_MARK_COLOUR;
    return tile.colour;
}

Rgb FertilityPicture::legendPixel(long px, long py) const
{
    const long unitX = px / legendUnit;
    const long unitY = py / legendUnit;
    if (unitX >= LEGEND_WIDTH || unitY >= LEGEND_HEIGHT)
        return BACKGROUND_COLOUR;
    return legend[static_cast<std::size_t>(unitY * LEGEND_WIDTH + unitX)];
}

void FertilityPicture::renderRow(long py, unsigned char* rgb) const
{
    const long pictureWidth = pixelWidth();
    for (long px = 0; px < pictureWidth; ++px) {
        const Rgb colour = pixel(px, py);
        *rgb++ = colour.red;
        *rgb++ = colour.green;
        *rgb++ = colour.blue;
    }
}

void writePng(const std::string& fileName, const FertilityPicture& picture)
{
    if (picture.pixelWidth() > MAX_PICTURE_SIDE || picture.pixelHeight() > MAX_PICTURE_SIDE)
        throw std::runtime_error("Picture of " + std::to_string(picture.pixelWidth()) + " x " +
                                 std::to_string(picture.pixelHeight()) + " pixels is too large (at most " +
                                 std::to_string(MAX_PICTURE_SIDE) + " on a side); choose a smaller --scale.");
    std::vector<unsigned char> row(static_cast<std::size_t>(picture.pixelWidth()) * 3);

    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("Could not open file: " + fileName);
    PngErrorText pngError{};
    const bool encoded = encodePng(file, picture, row.data(), &pngError);
    // A write that fails only when the last buffer is flushed shows at close.
    const bool streamFailed = std::ferror(file) != 0;
    const bool closeFailed = std::fclose(file) != 0;
    if (!encoded || streamFailed || closeFailed)
        throw std::runtime_error("Could not write picture: " + fileName +
                                 (pngError.text[0] == '\0' ? std::string() : " (" + std::string(pngError.text) + ")"));
}
