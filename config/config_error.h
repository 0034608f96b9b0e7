#pragma once

#include <stdexcept>

namespace vellumark {

// A configuration that cannot be created, read or understood. Thrown rather than returned
// because the typed views are read in the middle of window set-up code, where every getter
// would otherwise need its own check; the front ends' command guard reports it.
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vellumark
