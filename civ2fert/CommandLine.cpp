#include "CommandLine.h"

#include <climits>

#include "civ2sav.h"

const char* const USAGE_TEXT =
    "Usage: civ2fert show FILE [--map N] [--png OUT.png] [--scale S] [--against OTHER]\n"
    "       civ2fert refresh FILE OUT [--map N]\n"
    "       civ2fert --help | --version\n";

const char* const HELP_TEXT =
    "civ2fert shows and refreshes the fertility values of a Civ2 map: the value\n"
    "from 0 to 15 that each tile stores and that computer players use to choose\n"
    "city sites (they settle only on tiles above 7).\n"
    "\n"
    "civ2fert show FILE [--map N] [--png OUT.png] [--scale S] [--against OTHER]\n"
    "    Prints the edition, size and shape of map N (default 0) and how many of\n"
    "    its tiles hold each fertility value.\n"
    "    --png OUT.png    also draw the map: one colour per fertility value, ocean\n"
    "                     in blues, cities marked black, with a legend below\n"
    "    --scale S        draw each tile 2S pixels wide and S high, S from 1 to\n"
    "                     32 (default 4; needs --png)\n"
    "    --against OTHER  count the tiles whose fertility differs from map N of\n"
    "                     OTHER, and outline them in magenta in the picture\n"
    "\n"
    "civ2fert refresh FILE OUT [--map N]\n"
    "    Recomputes the fertility of every tile of map N (default: every map),\n"
    "    lowers it near cities, and writes the result to OUT, which may be FILE\n"
    "    itself. OUT is replaced only once it is completely written.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read, computed or\n"
    "written, 2 for a command line that cannot be run.\n";

namespace {

// A non-negative decimal number within [low, high], digits only.
int parseNumber(const std::string& option, const std::string& text, int low, int high)
{
    const std::string problem = "invalid value '" + text + "' for " + option + " (expected " +
                                std::to_string(low) + " to " + std::to_string(high) + ")";
    if (text.empty())
        throw UsageError(problem);
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            throw UsageError(problem);
        value = value * 10 + (c - '0');
        if (value > high)
            throw UsageError(problem);
    }
    if (value < low)
        throw UsageError(problem);
    return static_cast<int>(value);
}

struct OptionValue {
    bool given = false;
    std::string text;
};

struct RawOptions {
    OptionValue map;
    OptionValue png;
    OptionValue scale;
    OptionValue against;
    std::vector<std::string> operands;
};

OptionValue* findOption(RawOptions& raw, Command command, const std::string& name)
{
    if (name == "--map")
        return &raw.map;
    if (command != Command::SHOW)
        return nullptr;
    if (name == "--png")
        return &raw.png;
    if (name == "--scale")
        return &raw.scale;
    if (name == "--against")
        return &raw.against;
    return nullptr;
}

// Splits the arguments after the command into options and operands. Options
// take their value from "--name=value" or from the next argument; after "--"
// everything is an operand, so that names starting with "-" can be given.
RawOptions splitArguments(const std::vector<std::string>& args, Command command)
{
    RawOptions raw;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            raw.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        OptionValue* option = findOption(raw, command, name);
        if (option == nullptr)
            throw UsageError("unknown option '" + name + "'");
        if (option->given)
            throw UsageError("option " + name + " given more than once");
        option->given = true;
        if (equals != std::string::npos) {
            option->text = arg.substr(equals + 1);
        } else {
            if (i + 1 >= args.size())
                throw UsageError("option " + name + " needs a value");
            option->text = args[++i];
        }
    }
    return raw;
}

bool asksFor(const std::vector<std::string>& args, const std::string& wanted)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == wanted)
            return true;
    }
    return false;
}

} // namespace

Options parseCommandLine(const std::vector<std::string>& args)
{
    Options options;
    if (asksFor(args, "--help") || asksFor(args, "-h")) {
        options.command = Command::HELP;
        return options;
    }
    if (asksFor(args, "--version")) {
        options.command = Command::VERSION;
        return options;
    }
    if (args.empty())
        throw UsageError("no command given");
    if (args[0] == "show")
        options.command = Command::SHOW;
    else if (args[0] == "refresh")
        options.command = Command::REFRESH;
    else
        throw UsageError("unknown command '" + args[0] + "'");

    const RawOptions raw = splitArguments(args, options.command);
    const std::size_t wantedOperands = options.command == Command::SHOW ? 1 : 2;
    if (raw.operands.size() < wantedOperands)
        throw UsageError(options.command == Command::SHOW ? "show needs a FILE" : "refresh needs FILE and OUT");
    if (raw.operands.size() > wantedOperands)
        throw UsageError("unexpected argument '" + raw.operands[wantedOperands] + "'");
    options.file = raw.operands[0];
    if (options.command == Command::REFRESH)
        options.out = raw.operands[1];

    if (raw.map.given) {
        options.mapIndex = parseNumber("--map", raw.map.text, 0, INT_MAX);
        options.allMaps = false;
    }
    if (raw.png.given && raw.png.text.empty())
        throw UsageError("option --png needs a file name");
    options.pngFile = raw.png.text;
    if (raw.scale.given) {
        if (!raw.png.given)
            throw UsageError("option --scale needs --png");
        options.scale = parseNumber("--scale", raw.scale.text, MIN_SCALE, MAX_SCALE);
    }
    if (raw.against.given && raw.against.text.empty())
        throw UsageError("option --against needs a file name");
    options.otherFile = raw.against.text;

    // The kind of file written follows the file read, not OUT's name; a
    // saved game under a ".mp" name (or the reverse) would not read back.
    if (options.command == Command::REFRESH &&
        Civ2SavedGame::isMPFile(options.file) != Civ2SavedGame::isMPFile(options.out))
        throw UsageError("FILE and OUT must both be map-only files (.mp) or both saved games");
    return options;
}
