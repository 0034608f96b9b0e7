#include "core/path_names.h"

namespace vellumark {

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

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
