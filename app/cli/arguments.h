#pragma once

#include "services/status.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::cli {

struct OptionSpec {
    std::string_view name;  // "--name"
    bool takesValue;
};

// The words and options of one command. Options may stand anywhere after the command; a value
// follows its option as the next word or after "=".
class Arguments {
public:
    Status Parse(const std::vector<std::string>& words, const std::vector<OptionSpec>& options);

    const std::vector<std::string>& Positional() const { return positional_; }
    bool Has(std::string_view option) const { return values_.count(std::string(option)) != 0; }
    // The last value given for the option, or the fallback.
    std::string Value(std::string_view option, const std::string& fallback = {}) const;
    const std::vector<std::string>& Values(std::string_view option) const;

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::vector<std::string>> values_;
};

}  // namespace vellumark::cli
