#include "MorvelUtil.h"

#include <cctype>
#include <fstream>

namespace MorvelUtil {

std::ostream* LogOutput::stream = nullptr;
std::vector<bool> LogOutput::enabled;
// The buffer lives as long as the process, like the stream over it.
std::ostream LogOutput::nullStream(new nullBuf);

namespace {

// Characters go to the C library as signed chars widened to int, so bytes
// 0x80 to 0xFF arrive negative and come back unchanged in the C locale.
int lowerOf(char c) { return std::tolower(static_cast<int>(static_cast<signed char>(c))); }
int upperOf(char c) { return std::toupper(static_cast<int>(static_cast<signed char>(c))); }

} // namespace

std::string convert_to_lower(std::string& s)
{
    for (char& c : s)
        c = static_cast<char>(lowerOf(c));
    return s;
}

std::string convert_to_upper(std::string& s)
{
    for (char& c : s)
        c = static_cast<char>(upperOf(c));
    return s;
}

std::string copy_to_lower(std::string s)
{
    return convert_to_lower(s);
}

std::string copy_to_upper(std::string s)
{
    return convert_to_upper(s);
}

bool fileExists(std::string name)
{
    std::ifstream file(name.c_str(), std::ios::in);
    bool opened = file.is_open();
    file.close();
    return opened;
}

} // namespace MorvelUtil
