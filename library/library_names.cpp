#include "library/library_names.h"

#include "core/path_names.h"
#include "services/messages.h"

namespace vellumark {

std::string CatalogNameFromPath(std::string_view path)
{
    const auto start = path.find("CatalogLibrary");
    if (start == std::string_view::npos)
        return std::string(path);
    std::string_view rest = path.substr(start);
    if (const auto dot = rest.rfind('.'); dot != std::string_view::npos)
        rest = rest.substr(0, dot);
    return std::string(rest);
}

std::string EnsureTrailingDelimiter(std::string_view path)
{
    std::string result(path);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

std::string StripTrailingDelimiter(std::string_view path)
{
    if (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return std::string(path);
}

Status CheckItemName(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return Status::Invalid(messages::kBadItemName);
    return Status::Ok();
}

std::string NewCatalogPath(std::string_view groupPath, std::string_view name)
{
    return JoinPath(groupPath, std::string(name) + ".xml");
}

std::string NewGroupPath(std::string_view libraryRoot, std::string_view name) { return JoinPath(libraryRoot, name); }

std::string RenamedItemPath(std::string_view fullPath, std::string_view newName, bool isCatalog)
{
    const std::string path = StripTrailingDelimiter(fullPath);
    const auto slash = path.rfind('/');
    std::string result = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    result += newName;
    if (isCatalog)
        result += ".xml";
    return result;
}

}  // namespace vellumark
