// Helpers shared by the fuzz targets: a scratch directory of the process's
// own, whole-file input and output, and a loud failure for broken oracles.
#ifndef TESTS_FUZZ_FUZZ_SUPPORT_H
#define TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

// Prints what went wrong and aborts, which the fuzzer and the replay both
// report as a failure of the input at hand.
[[noreturn]] void fail(const std::string& what);

// A path in a temporary directory created on first use for this process and
// removed with its contents when the process exits normally.
std::string scratchPath(const std::string& name);

// Checks a failure of Civ2SavedGame::load(path): exactly a std::runtime_error
// whose message is one of loading's own, with the file-name prefix where it
// belongs. Fails loudly otherwise.
void checkLoadFailure(const std::exception& error, const std::string& path);

// Runs action, which loads path; returns whether it succeeded. A failure must
// pass checkLoadFailure; any other exception fails loudly.
template <class Action>
bool loadsCleanly(const std::string& path, Action action);

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size);
Bytes readFile(const std::string& path);
void removeFile(const std::string& path);

// Hands out the input's bytes one value at a time; once they are used up
// every value is 0, so any input describes a complete case.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    std::uint8_t byte();
    std::uint16_t u16();
    std::uint32_t u32();
    // A value in [low, high], both ends included.
    int inRange(int low, int high);
    bool exhausted() const { return used >= size; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t used = 0;
};

template <class Action>
bool loadsCleanly(const std::string& path, Action action)
{
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        checkLoadFailure(error, path);
    } catch (...) {
        fail("loading " + path + " let a non-standard exception escape");
    }
    return false;
}

} // namespace fuzz

#endif
