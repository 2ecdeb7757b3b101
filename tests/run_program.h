// Runs one of the project's programs as a separate process and captures what
// it writes to standard output and standard error, and its exit status.
#ifndef TESTS_RUN_PROGRAM_H
#define TESTS_RUN_PROGRAM_H

#include <string>
#include <vector>

namespace fixture {

struct RunResult {
    std::string out;
    std::string err;
    int status = -1; // the exit status, or -1 when the program did not exit normally
};

RunResult runProgram(const std::string& program, const std::vector<std::string>& args);

} // namespace fixture

#endif
