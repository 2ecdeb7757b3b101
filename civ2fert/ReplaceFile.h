// Writing a file so that it is never left half-written: the new content goes
// to a temporary file beside the target, which replaces the target only once
// it is complete.
#ifndef CIV2FERT_REPLACEFILE_H
#define CIV2FERT_REPLACEFILE_H

#include <functional>
#include <string>

// Calls write with the name of a fresh temporary file in target's directory,
// then renames that file over target. If write throws, or the rename fails,
// the temporary file is removed, target is left as it was, and a
// std::runtime_error is thrown; in its message the temporary file's name is
// replaced by target's. An existing target's permissions are kept; a
// symbolic link is followed and the file it points to replaced; anything
// else that is not a regular file is refused before anything is written.
void replaceFile(const std::string& target, const std::function<void(const std::string& temporary)>& write);

#endif
