// The colours of civ2fert's pictures. Land runs from browns (0 to 7: no city
// site, usually a good tile lowered near a city) through pale yellow (8) to
// deep green (15); ocean runs from pale to deep blue.
#ifndef CIV2FERT_FERTILITYCOLOURS_H
#define CIV2FERT_FERTILITYCOLOURS_H

struct Rgb {
    unsigned char red;
    unsigned char green;
    unsigned char blue;

    bool operator==(const Rgb& other) const
    {
        return red == other.red && green == other.green && blue == other.blue;
    }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};

const Rgb CITY_MARK_COLOUR{0, 0, 0};
const Rgb DIFFERENCE_OUTLINE_COLOUR{255, 0, 255};
// Wherever no tile lies: beside the map, in the legend strip, and in the
// half columns that a flat map leaves open at its edges.
const Rgb BACKGROUND_COLOUR{40, 40, 40};
const Rgb LEGEND_TEXT_COLOUR{255, 255, 255};

// fertility is 0 to 15; higher bits are ignored.
inline Rgb landColour(int fertility)
{
    static const Rgb LAND[16] = {
        {84, 58, 40},    {106, 76, 52},   {128, 95, 66},   {149, 115, 82},
        {170, 136, 100}, {189, 157, 120}, {207, 179, 142}, {224, 201, 166},
        {247, 243, 160}, {222, 236, 135}, {190, 224, 112}, {153, 208, 94},
        {114, 188, 80},  {74, 163, 68},   {38, 135, 58},   {10, 104, 46},
    };
    return LAND[fertility & 0x0f];
}

inline Rgb oceanColour(int fertility)
{
    const Rgb palest{200, 225, 250};
    const Rgb deepest{16, 48, 128};
    const int step = fertility & 0x0f;
    auto mix = [step](int from, int to) { return static_cast<unsigned char>(from + (to - from) * step / 15); };
    return Rgb{mix(palest.red, deepest.red), mix(palest.green, deepest.green), mix(palest.blue, deepest.blue)};
}

#endif
