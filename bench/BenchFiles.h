// The large files the benchmarks run on: ToT 1.1 games with four maps of the
// largest area a file can hold (255 tiles a row, 257 rows: 65535 tiles).
#ifndef BENCH_FILES_H
#define BENCH_FILES_H

#include <string>

namespace bench {

const int WIDTH = 510;
const int HEIGHT = 257;
const int NUM_MAPS = 4;

// Writes a game with varied terrain on every map, every tile rated and a few
// cities on each map.
void writeLargeGame(const std::string& path);

// Writes a copy of the game at source with more cities founded on its first
// map and the tiles near them lowered, so that the two differ in several
// hundred fertility values of map 0 (and nowhere else).
void writeLargeGameWithMoreCities(const std::string& source, const std::string& path);

} // namespace bench

#endif
