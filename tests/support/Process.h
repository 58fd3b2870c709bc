// Runs a program to its end and collects what it wrote. POSIX only.
#pragma once

#include <string>
#include <vector>

namespace lunteva::testing {

struct ProcessResult {
    int exitCode = -1;  // -1 when it could not be started or did not exit normally
    std::string out;    // standard output, bytes as written
    std::string err;    // standard error
};

// Starts program with the arguments (argv[0] is program), feeds input to its
// standard input and closes it, and waits for the end.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input = {});

}  // namespace lunteva::testing
