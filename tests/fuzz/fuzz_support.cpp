#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <typeinfo>

namespace fuzz {

namespace {

class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "civ2maps-fuzz-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr)
            fail("cannot create a temporary directory under " + pattern);
        dir = buffer.data();
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::string dir;
};

} // namespace

void fail(const std::string& what)
{
    std::fprintf(stderr, "fuzz oracle failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string scratchPath(const std::string& name)
{
    static ScratchDirectory scratch;
    return scratch.dir + "/" + name;
}

void checkLoadFailure(const std::exception& error, const std::string& path)
{
    static const char* const wrappedMessages[] = {
        "Error accessing file",
        "Read error.",
        "Error reading pre-Map data from file.",
        "Error reading post-Map data from file.",
        "Insufficient Memory.",
        "Insufficient memory.",
        "Read Error.",
        "Could not allocate enough memory for resource_map.",
        "Invalid x,y coordinates: out of bounds.",
    };
    static const std::string unknownVersion = "Unrecognized savegame/scenario version number: ";

    const std::string message = error.what();
    if (typeid(error) != typeid(std::runtime_error))
        fail(std::string("loading let ") + typeid(error).name() + " escape: " + message);
    const std::string prefix = "File: " + path + " ";
    if (message.compare(0, prefix.size(), prefix) != 0)
        fail("load failure without the file prefix: " + message);
    const std::string rest = message.substr(prefix.size());
    for (const char* known : wrappedMessages)
        if (rest == known)
            return;
    if (rest.compare(0, unknownVersion.size(), unknownVersion) == 0) {
        const std::string number = rest.substr(unknownVersion.size());
        if (!number.empty() && number.size() <= 5 && number.find_first_not_of("0123456789") == std::string::npos &&
            std::stoul(number) <= 0xffff)
            return;
    }
    fail("unexpected load failure: " + message);
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out)
        fail("cannot write " + path);
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void removeFile(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

std::uint8_t ByteReader::byte()
{
    return used < size ? data[used++] : 0;
}

std::uint16_t ByteReader::u16()
{
    std::uint16_t low = byte();
    return static_cast<std::uint16_t>(low | (byte() << 8));
}

std::uint32_t ByteReader::u32()
{
    std::uint32_t low = u16();
    return low | (static_cast<std::uint32_t>(u16()) << 16);
}

int ByteReader::inRange(int low, int high)
{
    const long long span = static_cast<long long>(high) - low + 1;
    const long long raw = span <= 0x10000 ? u16() : u32();
    return static_cast<int>(low + raw % span);
}

} // namespace fuzz
