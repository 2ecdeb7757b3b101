// Out-of-memory behaviour: this program replaces the global operator new with
// one that can be told to fail one chosen allocation, then runs each
// operation once per allocation it makes, failing that allocation alone. A
// failure must always come out as a std::runtime_error with the operation's
// own message, never as std::bad_alloc, and never be swallowed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "civ2sav.h"
#include "fixture.h"

namespace {

// 0: no failure planned; n > 0: the n-th allocation from now fails.
long long allocationsUntilFailure = 0;
bool failureInjected = false;
// While tracking, the largest single request and the sum of all requests.
bool tracking = false;
std::size_t largestRequest = 0;
std::size_t requestedBytes = 0;

void* allocate(std::size_t size) noexcept
{
    if (allocationsUntilFailure > 0 && --allocationsUntilFailure == 0) {
        failureInjected = true;
        return nullptr;
    }
    if (tracking) {
        largestRequest = size > largestRequest ? size : largestRequest;
        requestedBytes += size;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size)
{
    void* memory = allocate(size);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

} // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

using fixture::Bytes;
using fixture::FileLayout;

// What happened when one run met its failing allocation.
struct Outcome {
    bool reachedFailure = false;
    bool completed = false;
    bool badAlloc = false;
    bool otherException = false;
    std::string message; // of the std::runtime_error, if one came
};

Outcome runFailingAllocation(long long failAt, const std::function<void()>& action)
{
    Outcome outcome;
    failureInjected = false;
    allocationsUntilFailure = failAt;
    try {
        action();
        allocationsUntilFailure = 0;
        outcome.completed = true;
    } catch (const std::runtime_error& error) {
        allocationsUntilFailure = 0;
        outcome.message = error.what();
    } catch (const std::bad_alloc&) {
        allocationsUntilFailure = 0;
        outcome.badAlloc = true;
    } catch (...) {
        allocationsUntilFailure = 0;
        outcome.otherException = true;
    }
    outcome.reachedFailure = failureInjected;
    return outcome;
}

// The messages seen over every allocation point of an operation. An
// operation that completes although one of its allocations failed has
// swallowed the failure, which counts as a fault too.
struct Sweep {
    std::set<std::string> messages;
    int points = 0;
    int badAllocs = 0;
    int otherExceptions = 0;
    int swallowed = 0;
};

// prepare builds a fresh object (allocating freely); action is then run on it
// with one allocation failing; check looks at the object afterwards.
template <class T>
Sweep sweep(const std::function<std::unique_ptr<T>()>& prepare, const std::function<void(T&)>& action,
            const std::function<void(T&, const Outcome&)>& check = nullptr)
{
    Sweep result;
    for (long long failAt = 1; failAt < 100000; ++failAt) {
        std::unique_ptr<T> object = prepare();
        const std::function<void()> run = [&] { action(*object); };
        const Outcome outcome = runFailingAllocation(failAt, run);
        if (!outcome.reachedFailure) {
            EXPECT_TRUE(outcome.completed) << "fails with no allocation failing: " << outcome.message;
            break;
        }
        ++result.points;
        result.badAllocs += outcome.badAlloc ? 1 : 0;
        result.otherExceptions += outcome.otherException ? 1 : 0;
        result.swallowed += outcome.completed ? 1 : 0;
        if (!outcome.completed && !outcome.badAlloc && !outcome.otherException)
            result.messages.insert(outcome.message);
        if (check)
            check(*object, outcome);
    }
    return result;
}

void expectOnlyRuntimeErrors(const Sweep& result)
{
    EXPECT_GT(result.points, 0);
    EXPECT_EQ(0, result.badAllocs);
    EXPECT_EQ(0, result.otherExceptions);
    EXPECT_EQ(0, result.swallowed);
}

std::string describe(const std::set<std::string>& messages)
{
    std::ostringstream out;
    for (const std::string& message : messages)
        out << "\n  " << message;
    return out.str();
}

std::unique_ptr<Civ2SavedGame> newGame()
{
    return std::make_unique<Civ2SavedGame>();
}

// ---------------------------------------------------------------------------
// Loading

class LoadOutOfMemory : public ::testing::TestWithParam<int> {
protected:
    fixture::TempDir dir;
};

TEST_P(LoadOutOfMemory, EveryFailingAllocationIsReportedWithTheFilePrefix)
{
    const int version = GetParam();
    const bool mapOnly = version == fixture::MAP_ONLY;
    const bool tot = version == fixture::TOT10 || version == fixture::TOT11;
    const FileLayout layout = fixture::makeLayout(version, 8, 4, tot ? 2 : 1);
    const std::string path = fixture::writeLayout(dir, mapOnly ? "map.mp" : "game.sav", layout);

    const Sweep result = sweep<Civ2SavedGame>(
        newGame, [&](Civ2SavedGame& game) { game.load(path); },
        [&](Civ2SavedGame& game, const Outcome&) {
            // A failed load leaves an object that loads again.
            EXPECT_NO_THROW(game.load(path));
            EXPECT_EQ(static_cast<int>(layout.maps.size()), game.getNumMaps());
        });
    expectOnlyRuntimeErrors(result);

    const std::string prefix = "File: " + path + " ";
    for (const std::string& message : result.messages)
        EXPECT_TRUE(message.rfind(prefix, 0) == 0 || message == "Insufficient Memory.") << message;
    std::set<std::string> expected = {
        "Insufficient Memory.",          // before the file is open: the name's copy, the stream's buffer
        prefix + "Insufficient Memory.", // the header, and the start positions of a map-only file
        prefix + "Insufficient memory.", // a map's tiles or views
        prefix + "Could not allocate enough memory for resource_map.",
    };
    if (!mapOnly) {
        expected.insert(prefix + "Error reading pre-Map data from file.");
        expected.insert(prefix + "Error reading post-Map data from file.");
    }
    for (const std::string& message : expected)
        EXPECT_EQ(1u, result.messages.count(message)) << message << " not among:" << describe(result.messages);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, LoadOutOfMemory,
                         ::testing::Values(fixture::CIC, fixture::MGE, fixture::TOT11, fixture::MAP_ONLY));

// ---------------------------------------------------------------------------
// Building maps

TEST(MapOutOfMemory, ConstructionReportsEachArray)
{
    Civ2Rules rules;
    for (bool views : {true, false}) {
        SCOPED_TRACE(views);
        const Sweep result = sweep<int>(
            [] { return std::make_unique<int>(0); },
            [&](int&) { Civ2Map map(8, 4, 16, views, 0, false, rules); });
        expectOnlyRuntimeErrors(result);
        EXPECT_EQ(views ? 3 : 2, result.points);
        EXPECT_EQ((std::set<std::string>{"Insufficient memory.", "Could not allocate enough memory for resource_map."}),
                  result.messages);
    }
}

TEST(CreateOutOfMemory, CreateMPReportsInsufficientMemory)
{
    fixture::TempDir dir;
    const std::string path = fixture::writeLayout(dir, "game.sav", fixture::makeLayout(fixture::MGE, 8, 4));
    const Sweep result = sweep<Civ2SavedGame>(
        [&] {
            auto game = newGame();
            game->load(path);
            return game;
        },
        [](Civ2SavedGame& game) { game.createMP(10, 6); },
        [](Civ2SavedGame& game, const Outcome& outcome) {
            if (outcome.completed)
                return;
            // Without maps, but with the loaded game's header and kind.
            EXPECT_EQ(0, game.getNumMaps());
            EXPECT_EQ(8, game.getWidth());
            EXPECT_FALSE(game.isMapOnly());
        });
    expectOnlyRuntimeErrors(result);
    EXPECT_EQ((std::set<std::string>{"Insufficient memory.", "Could not allocate enough memory for resource_map."}),
              result.messages);
}

TEST(CreateOutOfMemory, SetCivStartReportsInsufficientMemory)
{
    // A map-only file whose load failed before its start positions were read:
    // the game is map-only and has no record yet.
    fixture::TempDir dir;
    const std::string path = dir.path("short.mp");
    fixture::writeFile(path, Bytes(10, 0));
    const Civ2SavedGame::StartPositions positions = {};

    const Sweep result = sweep<Civ2SavedGame>(
        [&] {
            auto game = newGame();
            EXPECT_THROW(game->load(path), std::runtime_error);
            return game;
        },
        [&](Civ2SavedGame& game) { game.setCivStart(positions); });
    expectOnlyRuntimeErrors(result);
    EXPECT_EQ(std::set<std::string>{"Insufficient memory."}, result.messages);
}

TEST(CreateOutOfMemory, AddMapReportsItsFailureAndKeepsTheMaps)
{
    fixture::TempDir dir;
    const std::string path = fixture::writeLayout(dir, "game.sav", fixture::makeLayout(fixture::TOT10, 8, 4, 2));
    const Sweep result = sweep<Civ2SavedGame>(
        [&] {
            auto game = newGame();
            game->load(path);
            return game;
        },
        [](Civ2SavedGame& game) { game.addMap(1); },
        [](Civ2SavedGame& game, const Outcome& outcome) {
            EXPECT_EQ(outcome.completed ? 3 : 2, game.getNumMaps());
        });
    expectOnlyRuntimeErrors(result);
    EXPECT_EQ((std::set<std::string>{"Insufficient memory.", "Could not allocate enough memory for resource_map."}),
              result.messages);
}

// ---------------------------------------------------------------------------
// Hostile headers cost memory by the file's size, not by what they claim.

TEST(HostileHeaders, AllocateLittle)
{
    fixture::TempDir dir;
    FileLayout huge = fixture::makeLayout(fixture::MGE, 8, 4);
    huge.xDim = 65535;
    huge.yDim = 65535;
    huge.area = 16;
    const std::string hugeDimensions = fixture::writeLayout(dir, "huge.sav", huge);

    Bytes tot = fixture::build(fixture::makeLayout(fixture::TOT11, 8, 4, 2));
    for (std::size_t at = 0x74C8; at < 0x74C8 + 4; ++at)
        tot[at] = 0xff;
    const std::string transporters = dir.path("transporters.sav");
    fixture::writeFile(transporters, tot);

    // A ToT game claiming 65535 secondary maps but holding one: maps are
    // built one at a time as the file delivers them.
    FileLayout oneMap = fixture::makeLayout(fixture::TOT10, 8, 4, 1);
    Bytes manyMaps = fixture::build(oneMap);
    const std::size_t secondaryCount = fixture::headerOffset(fixture::TOT10) + 14;
    manyMaps[secondaryCount] = 0xff;
    manyMaps[secondaryCount + 1] = 0xff;
    const std::string secondaryMaps = dir.path("maps.sav");
    fixture::writeFile(secondaryMaps, manyMaps);

    for (const std::string& path : {hugeDimensions, transporters, secondaryMaps}) {
        SCOPED_TRACE(path);
        Civ2SavedGame game;
        largestRequest = 0;
        requestedBytes = 0;
        tracking = true;
        bool failed = false;
        try {
            game.load(path);
        } catch (const std::runtime_error&) {
            failed = true;
        }
        tracking = false;
        EXPECT_TRUE(failed);
        EXPECT_LT(largestRequest, 64u * 1024u);
        EXPECT_LT(requestedBytes, 256u * 1024u);
    }
}

} // namespace
