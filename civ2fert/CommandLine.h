// The command line of civ2fert: which command to run and with what.
#ifndef CIV2FERT_COMMANDLINE_H
#define CIV2FERT_COMMANDLINE_H

#include <stdexcept>
#include <string>
#include <vector>

enum class Command { SHOW, REFRESH, HELP, VERSION };

struct Options {
    Command command = Command::HELP;
    std::string file;       // show, refresh: the file to read
    std::string out;        // refresh: the file to write
    std::string pngFile;    // show: the picture to write, if any
    std::string otherFile;  // show: the file to compare with, if any
    bool allMaps = true;    // refresh without --map
    int mapIndex = 0;
    int scale = 4;
};

const int MIN_SCALE = 1;
const int MAX_SCALE = 32;

// A command line that cannot be run; the message says why.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// args are the arguments after the program name. Throws UsageError.
Options parseCommandLine(const std::vector<std::string>& args);

extern const char* const USAGE_TEXT;
extern const char* const HELP_TEXT;

#endif
