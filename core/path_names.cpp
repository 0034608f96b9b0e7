#include "core/path_names.h"

namespace vellumark {

std::string_view BaseName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view NameBeforeFirstDot(std::string_view name)
{
    const auto dot = name.find('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

}  // namespace vellumark
