#include "app/cli/arguments.h"

namespace vellumark::cli {

Status Arguments::Parse(const std::vector<std::string>& words, const std::vector<OptionSpec>& options)
{
    bool onlyPositional = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (onlyPositional || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            positional_.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyPositional = true;
            continue;
        }
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& option : options)
            if (option.name == name)
                spec = &option;
        if (!spec)
            return Status::Invalid("Unknown option " + name);
        auto& values = values_[name];
        if (!spec->takesValue) {
            if (equals != std::string::npos)
                return Status::Invalid("Option " + name + " takes no value");
            values.emplace_back();
        } else if (equals != std::string::npos) {
            values.push_back(word.substr(equals + 1));
        } else if (i + 1 < words.size()) {
            values.push_back(words[++i]);
        } else {
            return Status::Invalid("Option " + name + " needs a value");
        }
    }
    return Status::Ok();
}

std::string Arguments::Value(std::string_view option, const std::string& fallback) const
{
    const auto found = values_.find(std::string(option));
    return found == values_.end() || found->second.empty() ? fallback : found->second.back();
}

const std::vector<std::string>& Arguments::Values(std::string_view option) const
{
    static const std::vector<std::string> none;
    const auto found = values_.find(std::string(option));
    return found == values_.end() ? none : found->second;
}

}  // namespace vellumark::cli
