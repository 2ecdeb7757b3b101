// Benchmarks of the map library on the largest files it reads: a ToT 1.1
// game with four maps of 65535 tiles. Loading, saving, reading every stored
// fertility, and the comparison walk of tillany over two such games.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "BenchFiles.h"
#include "civ2map.h"
#include "civ2sav.h"

namespace {

// The two games, written once into a directory of their own that is
// removed when the program ends.
class LargeFiles {
public:
    LargeFiles()
    {
        dir = std::filesystem::temp_directory_path() / ("civ2maps-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        bench::writeLargeGame(path("large.sav"));
        bench::writeLargeGameWithMoreCities(path("large.sav"), path("large-cities.sav"));
    }
    ~LargeFiles() { std::filesystem::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string first() const { return path("large.sav"); }
    std::string second() const { return path("large-cities.sav"); }
    std::int64_t size() const { return static_cast<std::int64_t>(std::filesystem::file_size(first())); }

private:
    std::filesystem::path dir;
};

LargeFiles& files()
{
    static LargeFiles made;
    return made;
}

void BM_Load(benchmark::State& state)
{
    const std::string name = files().first();
    for (auto _ : state) {
        Civ2SavedGame game;
        game.load(name);
        benchmark::DoNotOptimize(game.getMap(bench::NUM_MAPS - 1));
    }
    state.SetBytesProcessed(state.iterations() * files().size());
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state)
{
    Civ2SavedGame game;
    game.load(files().first());
    const std::string name = files().path("saved.sav");
    for (auto _ : state)
        game.save(name);
    state.SetBytesProcessed(state.iterations() * files().size());
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

// getFertility on every tile of all four maps.
void BM_ProbeEveryTile(benchmark::State& state)
{
    Civ2SavedGame game;
    game.load(files().first());
    for (auto _ : state) {
        unsigned total = 0;
        for (int index = 0; index < game.getNumMaps(); ++index) {
            const Civ2Map& map = *game.getMap(index);
            for (int y = 0; y < game.getHeight(); ++y)
                for (int x = y % 2; x < game.getWidth(); x += 2)
                    total += map.getFertility(x, y);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * bench::NUM_MAPS * (bench::WIDTH / 2) * bench::HEIGHT);
}
BENCHMARK(BM_ProbeEveryTile)->Unit(benchmark::kMillisecond);

// tillany's walk over the first maps of two loaded games: rows of the first,
// each row as wide as the second.
int countDifferences(Civ2SavedGame& first, Civ2SavedGame& second)
{
    const Civ2Map& firstMap = *first.getMap(0);
    const Civ2Map& secondMap = *second.getMap(0);
    int differences = 0;
    for (int y = 0; y < first.getHeight(); ++y)
        for (int x = y % 2; x < second.getWidth(); x += 2)
            if (firstMap.getFertility(x, y) != secondMap.getFertility(x, y))
                ++differences;
    return differences;
}

// tillany's walk: every tile of the first maps of two loaded games.
void BM_CompareWalk(benchmark::State& state)
{
    Civ2SavedGame first;
    Civ2SavedGame second;
    first.load(files().first());
    second.load(files().second());
    for (auto _ : state)
        benchmark::DoNotOptimize(countDifferences(first, second));
    state.SetItemsProcessed(state.iterations() * (bench::WIDTH / 2) * bench::HEIGHT);
}
BENCHMARK(BM_CompareWalk)->Unit(benchmark::kMillisecond);

// Both games loaded and compared, as one run of tillany does in memory.
void BM_LoadBothAndCompare(benchmark::State& state)
{
    for (auto _ : state) {
        Civ2SavedGame first;
        Civ2SavedGame second;
        first.load(files().first());
        second.load(files().second());
        benchmark::DoNotOptimize(countDifferences(first, second));
    }
    state.SetBytesProcessed(state.iterations() * 2 * files().size());
}
BENCHMARK(BM_LoadBothAndCompare)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
