// Headers that claim far more than the file holds must fail quickly, with
// their message, and without allocating beyond what the 16-bit area allows:
// a 65535 x 65535 map with a small area, and a ToT file whose transporter
// count is 0xFFFFFFFF. Each load runs in a child process, so that its peak
// memory is its own and an address-space limit binds only it.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "civ2sav.h"
#include "fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif
#ifndef UNDER_ASAN
#define UNDER_ASAN 0
#endif

namespace {

// What a load may add to the process: the arrays of a 16-bit area come to
// about 1 MB, so a few megabytes are plenty.
const long PEAK_GROWTH_LIMIT_KB = 8 * 1024;
// Room given above the address space in use before the load.
const unsigned long ADDRESS_SPACE_HEADROOM = 64UL * 1024 * 1024;
const long long QUICK_MS = 5000;

enum ChildStatus { LOADED_WITH_MESSAGE = 0, WRONG_OUTCOME = 1, TOO_MUCH_MEMORY = 2, NO_LIMIT = 3 };

long peakResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The address space in use now, from /proc/self/statm (in pages).
unsigned long addressSpaceInUse()
{
    std::ifstream statm("/proc/self/statm");
    unsigned long pages = 0;
    statm >> pages;
    return pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE));
}

// In the child: limit the address space (not under ASan, whose shadow
// memory is reserved up front), load, and report through the exit status.
[[noreturn]] void loadInChild(const std::string& path, const std::string& expectedMessage)
{
    if (!UNDER_ASAN) {
        const rlimit limit{addressSpaceInUse() + ADDRESS_SPACE_HEADROOM, addressSpaceInUse() + ADDRESS_SPACE_HEADROOM};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(NO_LIMIT);
    }
    const long peakBefore = peakResidentKb();
    int status = WRONG_OUTCOME;
    try {
        Civ2SavedGame game;
        game.load(path);
        std::fprintf(stderr, "%s loaded\n", path.c_str());
    } catch (const std::runtime_error& error) {
        if (expectedMessage == error.what())
            status = LOADED_WITH_MESSAGE;
        else
            std::fprintf(stderr, "%s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "not a std::runtime_error\n");
    }
    if (status == LOADED_WITH_MESSAGE && peakResidentKb() - peakBefore > PEAK_GROWTH_LIMIT_KB)
        status = TOO_MUCH_MEMORY;
    std::fflush(stderr);
    _exit(status);
}

struct Outcome {
    int status;
    std::chrono::steady_clock::duration elapsed;
};

Outcome loadInChildProcess(const std::string& path, const std::string& expectedMessage)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0)
        loadInChild(path, expectedMessage);
    int waitStatus = 0;
    waitpid(child, &waitStatus, 0);
    const int status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
    return {status, std::chrono::steady_clock::now() - start};
}

struct ClaimCase {
    const char* name;
    fixture::FileLayout layout;
    const char* fileName;
    const char* message; // after "File: <path> "
};

fixture::FileLayout hugeDimensions(int version)
{
    fixture::FileLayout layout = fixture::makeLayout(version, 8, 2); // area 8
    layout.xDim = 0xffff;
    layout.yDim = 0xffff;
    return layout;
}

fixture::FileLayout allTransporters(int version)
{
    fixture::FileLayout layout = fixture::makeLayout(version, 8, 2);
    layout.transporters = 0xffffffff;
    return layout;
}

// The fixture writer would lay out 0xFFFFFFFF transporter records; the file
// instead claims them and ends soon after.
fixture::Bytes claimOnly(const fixture::FileLayout& layout)
{
    fixture::FileLayout small = layout;
    small.transporters = 0;
    fixture::Bytes bytes = fixture::build(small);
    const std::size_t countAt = layout.version == fixture::TOT10 ? 0x7420 : 0x74C8;
    for (int i = 0; i < 4; ++i)
        bytes[countAt + i] = 0xff;
    return bytes;
}

TEST(MemoryBound, ClaimsBeyondTheFileFailQuicklyInLittleMemory)
{
    const ClaimCase cases[] = {
        {"65535 x 65535 map-only", hugeDimensions(fixture::MAP_ONLY), "huge.mp", "Invalid x,y coordinates: out of bounds."},
        {"65535 x 65535 MGE", hugeDimensions(fixture::MGE), "huge.sav", "Invalid x,y coordinates: out of bounds."},
        {"ToT 1.0, 0xFFFFFFFF transporters", allTransporters(fixture::TOT10), "tot10.sav",
         "Error reading pre-Map data from file."},
        {"ToT 1.1, 0xFFFFFFFF transporters", allTransporters(fixture::TOT11), "tot11.sav",
         "Error reading pre-Map data from file."},
    };
    fixture::TempDir dir;
    for (const ClaimCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.path(c.fileName);
        fixture::writeFile(path, c.layout.transporters == 0xffffffff ? claimOnly(c.layout) : fixture::build(c.layout));
        const Outcome outcome = loadInChildProcess(path, "File: " + path + " " + c.message);
        EXPECT_EQ(outcome.status, LOADED_WITH_MESSAGE)
            << "1: other outcome, 2: peak memory grew by more than " << PEAK_GROWTH_LIMIT_KB << " KB, 3: no limit";
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(outcome.elapsed).count(), QUICK_MS);
    }
}

// The limit itself must bind, or the test above proves nothing: a load
// whose arrays need more than the headroom fails for want of memory.
TEST(MemoryBound, TheAddressSpaceLimitBinds)
{
    if (UNDER_ASAN)
        GTEST_SKIP() << "ASan reserves its shadow memory up front; no address-space limit applies";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{addressSpaceInUse() + ADDRESS_SPACE_HEADROOM, addressSpaceInUse() + ADDRESS_SPACE_HEADROOM};
        setrlimit(RLIMIT_AS, &limit);
        char* tooMuch = static_cast<char*>(std::malloc(2 * ADDRESS_SPACE_HEADROOM));
        _exit(tooMuch == nullptr ? 0 : 1);
    }
    int waitStatus = 0;
    waitpid(child, &waitStatus, 0);
    ASSERT_TRUE(WIFEXITED(waitStatus));
    EXPECT_EQ(WEXITSTATUS(waitStatus), 0);
}

} // namespace
