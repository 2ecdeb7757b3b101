#include "ReplaceFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const int RESERVE_ATTEMPTS = 100;

unsigned long randomSeed()
{
    try {
        std::random_device device;
        return device();
    } catch (const std::exception&) {
        return static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
}

std::string toHex(unsigned long value)
{
    static const char DIGITS[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 8; ++i, value >>= 4)
        text.insert(text.begin(), DIGITS[value & 0x0f]);
    return text;
}

// Creates an empty file of a name nobody else holds, beside target, and
// returns its name. The exclusive create ("x") never takes over a file that
// already exists.
std::string reserveTemporaryBeside(const std::string& target)
{
    const fs::path targetPath(target);
    const std::string name = targetPath.filename().string();
    if (name.empty() || name == "." || name == "..")
        throw std::runtime_error("Could not open file: " + target);

    std::mt19937 generator(static_cast<std::mt19937::result_type>(randomSeed()));
    for (int attempt = 0; attempt < RESERVE_ATTEMPTS; ++attempt) {
        const fs::path candidate = targetPath.parent_path() / ("." + name + "." + toHex(generator()) + ".tmp");
        errno = 0;
        std::FILE* file = std::fopen(candidate.string().c_str(), "wbx");
        if (file != nullptr) {
            std::fclose(file);
            return candidate.string();
        }
        if (errno != EEXIST)
            break;
    }
    throw std::runtime_error("Could not create a temporary file beside " + target);
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return text;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void keepPermissions(const std::string& target, const std::string& temporary)
{
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (!error && fs::is_regular_file(status))
        fs::permissions(temporary, status.permissions(), error);
}

// The file to replace: target itself, or the file a symbolic link points
// to, so that the link stays. Only a regular file, or none yet, can be
// replaced: renaming over a device or a pipe would remove it.
std::string resolveTarget(const std::string& target)
{
    std::error_code error;
    std::string resolved = target;
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        const fs::path followed = fs::canonical(target, error);
        if (error)
            throw std::runtime_error("Could not open file: " + target);
        resolved = followed.string();
    }
    const fs::file_status status = fs::status(resolved, error);
    if (fs::exists(status) && !fs::is_regular_file(status))
        throw std::runtime_error("Could not replace " + target + ": not a regular file");
    return resolved;
}

} // namespace

void replaceFile(const std::string& target, const std::function<void(const std::string& temporary)>& write)
{
    const std::string destination = resolveTarget(target);
    const std::string temporary = reserveTemporaryBeside(destination);
    std::error_code ignored;
    try {
        write(temporary);
    } catch (const std::exception& error) {
        fs::remove(temporary, ignored);
        throw std::runtime_error(replaceAll(error.what(), temporary, target));
    }
    keepPermissions(destination, temporary);
    std::error_code renameError;
    fs::rename(temporary, destination, renameError);
    if (renameError) {
        fs::remove(temporary, ignored);
        throw std::runtime_error("Could not replace " + target + ": " + renameError.message());
    }
}
