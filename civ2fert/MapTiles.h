// The tiles of a map in game coordinates, row by row: (x, y) with x + y
// even, 0 <= x < width and 0 <= y < height.
#ifndef CIV2FERT_MAPTILES_H
#define CIV2FERT_MAPTILES_H

template <class Visit>
void forEachTile(int width, int height, Visit visit)
{
    for (int y = 0; y < height; ++y)
        for (int x = y % 2; x < width; x += 2)
            visit(x, y);
}

// Terrain codes keep ToT's animated-resource flag above the low four bits.
inline bool isOceanCode(int terrainCode)
{
    const int OCEAN_CODE = 10;
    return (terrainCode & 0x0f) == OCEAN_CODE;
}

#endif
