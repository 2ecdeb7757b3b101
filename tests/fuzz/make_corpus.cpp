// Writes the fuzz targets' seed corpora, small files made by the test
// fixture writer: usage  make_corpus DIR  fills DIR/load, DIR/round_trip
// and DIR/walk. Re-run it after a change of the fixture writer or of the
// walk cases' encoding, and check the result in.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "fixture.h"
#include "fuzz_support.h"
#include "walk_case.h"

namespace {

struct Seed {
    const char* name;
    fixture::Bytes bytes;
};

fixture::FileLayout withTransporters(fixture::FileLayout layout, std::uint32_t count)
{
    layout.transporters = count;
    return layout;
}

fixture::FileLayout flat(fixture::FileLayout layout)
{
    layout.flatEarth = 1;
    return layout;
}

fixture::FileLayout withoutPostMap(fixture::FileLayout layout)
{
    layout.postMap.clear();
    return layout;
}

fixture::FileLayout withTrailing(fixture::FileLayout layout)
{
    layout.trailing = {0xde, 0xad, 0xbe, 0xef, 0x01};
    return layout;
}

fixture::Bytes truncated(fixture::Bytes bytes, std::size_t drop)
{
    bytes.resize(bytes.size() - drop);
    return bytes;
}

// Files that load: every version, ToT with transporters and several maps,
// flat and round, map-only with and without bytes after the terrain.
std::vector<Seed> loadableFiles()
{
    using namespace fixture;
    return {
        {"cic", build(makeLayout(CIC, 8, 4))},
        {"fw_flat", build(flat(makeLayout(FW, 6, 4)))},
        {"mge_no_post_map", build(withoutPostMap(makeLayout(MGE, 10, 3)))},
        {"tot10_2_transporters_2_maps", build(withTransporters(makeLayout(TOT10, 4, 4, 2), 2))},
        {"tot11_4_maps", build(makeLayout(TOT11, 6, 2, 4))},
        {"tot11_5_maps_flat", build(flat(withTransporters(makeLayout(TOT11, 4, 2, 5), 1)))},
        {"map_only", build(makeLayout(MAP_ONLY, 8, 4))},
        {"map_only_trailing", build(withTrailing(makeLayout(MAP_ONLY, 6, 6)))},
        {"map_only_odd_width", build(makeLayout(MAP_ONLY, 7, 4, 1, 13))},
    };
}

// Files that fail to load, each a different way.
std::vector<Seed> brokenFiles()
{
    using namespace fixture;
    Bytes unknownVersion = build(makeLayout(MGE, 4, 2));
    unknownVersion.resize(16);
    unknownVersion[10] = 41;
    return {
        {"short", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {"version_41", unknownVersion},
        {"mge_cut_in_terrain", truncated(build(withoutPostMap(makeLayout(MGE, 8, 2))), 3)},
        {"map_only_cut_in_terrain", truncated(build(makeLayout(MAP_ONLY, 8, 2)), 1)},
        {"map_only_area_too_small", build(makeLayout(MAP_ONLY, 8, 4, 1, 10))},
    };
}

std::vector<Seed> walkCases()
{
    struct Named {
        const char* name;
        fuzz::WalkCase walk;
    };
    const Named cases[] = {
        {"flat_20x20_corner", {20, 20, true, 0, 0}},
        {"round_20x20_corner", {20, 20, false, 0, 0}},
        {"round_20x20_west_edge", {20, 20, false, 0, 10}},
        {"flat_20x20_east_edge", {20, 20, true, 19, 9}},
        {"flat_6x6_gives_up", {6, 6, true, 3, 1}},
        {"round_8x8_gives_up", {8, 8, false, 0, 0}},
        {"round_2x3_above", {2, 3, false, 1, -9}},
        {"wide_round_strip", {60000, 1, false, 59998, 0}},
        {"tall_flat_column", {2, 30000, true, 1, 29999}},
        {"flat_one_column_tall", {1, 65000, true, 0, 64000}},
        {"flat_two_columns_odd_walk", {2, 30000, true, 0, 29999}},
    };
    std::vector<Seed> seeds;
    for (const Named& each : cases) {
        fixture::Bytes bytes = fuzz::encodeWalkCase(each.walk);
        // Three more cases follow in every input; these add a narrow round
        // map, an ordinary flat one and a centre off the map.
        for (const fuzz::WalkCase& more : {fuzz::WalkCase{5, 9, false, 2, 4}, fuzz::WalkCase{40, 30, true, 17, 13},
                                          fuzz::WalkCase{12, 12, true, -10, 30}}) {
            const fixture::Bytes extra = fuzz::encodeWalkCase(more);
            bytes.insert(bytes.end(), extra.begin(), extra.end());
        }
        seeds.push_back({each.name, bytes});
    }
    return seeds;
}

void writeAll(const std::filesystem::path& dir, const std::vector<Seed>& seeds)
{
    std::filesystem::create_directories(dir);
    for (const Seed& seed : seeds)
        fixture::writeFile((dir / seed.name).string(), seed.bytes);
}

// The walk cases must read back as written, or the seeds test other cases
// than their names say.
void checkWalkEncoding(const std::vector<Seed>& seeds)
{
    for (const Seed& seed : seeds) {
        fuzz::ByteReader input(seed.bytes.data(), seed.bytes.size());
        const fuzz::WalkCase c = fuzz::readWalkCase(input);
        const fixture::Bytes again = fuzz::encodeWalkCase(c);
        if (!std::equal(again.begin(), again.end(), seed.bytes.begin()))
            fuzz::fail(std::string("walk case ") + seed.name + " does not read back as written");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-directory\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path root = argv[1];
        std::vector<Seed> loadSeeds = loadableFiles();
        const std::vector<Seed> broken = brokenFiles();
        writeAll(root / "round_trip", loadSeeds);
        loadSeeds.insert(loadSeeds.end(), broken.begin(), broken.end());
        writeAll(root / "load", loadSeeds);
        const std::vector<Seed> walks = walkCases();
        checkWalkEncoding(walks);
        writeAll(root / "walk", walks);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
