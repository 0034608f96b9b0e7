#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vellumark::cli {

// Runs one command line of vellumark-cli (without the program name) and gives the exit code:
// 0 done, 1 the operation failed, 2 bad usage or input, 3 the target exists or is taken.
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, bool showProgress);

}  // namespace vellumark::cli
