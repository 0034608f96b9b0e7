#include "library/library_paths.h"

#include "core/path_names.h"
#include "library/library_names.h"
#include "services/messages.h"
#include "system/file_status.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace vellumark {

namespace {

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::unique_ptr<char, decltype(&std::free)> current(::getcwd(nullptr, 0), &std::free);
    return JoinPath(current ? current.get() : "/", path);
}

// The components of a path without empty and "." ones; false when one of them is "..".
bool SplitComponents(std::string_view path, std::vector<std::string_view>& components)
{
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view component = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (component == "..")
            return false;
        if (!component.empty() && component != ".")
            components.push_back(component);
    }
    return true;
}

// Where the path really leads: the real path of its longest existing beginning, followed by
// the components that do not exist yet.
std::string RealDestination(const std::vector<std::string_view>& components)
{
    std::size_t existing = components.size();
    std::string real;
    for (;; --existing) {
        std::string prefix = "/";
        for (std::size_t i = 0; i < existing; ++i)
            prefix = JoinPath(prefix, components[i]);
        real = RealPathOf(prefix);
        if (!real.empty() || existing == 0)
            break;
    }
    for (std::size_t i = existing; i < components.size(); ++i)
        real = JoinPath(real, components[i]);
    return real;
}

bool IsInside(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              (folder.back() == '/' || path[folder.size()] == '/'));
}

}  // namespace

ResolvedItem ResolveLibraryItem(const std::string& libraryRoot, std::string_view itemText, LastLink lastLink)
{
    std::vector<std::string_view> rootComponents;
    const std::string root = Absolute(libraryRoot);
    if (!SplitComponents(root, rootComponents))
        return {Status::Invalid(messages::kOutsideLibrary), {}};
    std::string normalRoot = "/";
    for (std::string_view component : rootComponents)
        normalRoot = JoinPath(normalRoot, component);

    const bool absolute = !itemText.empty() && itemText.front() == '/';
    std::vector<std::string_view> components = absolute ? std::vector<std::string_view>() : rootComponents;
    if (!SplitComponents(itemText, components))
        return {Status::Invalid(messages::kOutsideLibrary), {}};
    std::string path = "/";
    for (std::string_view component : components)
        path = JoinPath(path, component);

    std::string realRoot = RealPathOf(normalRoot);
    if (realRoot.empty())
        return {Status::Invalid(normalRoot + ": " + std::strerror(errno)), {}};
    std::string destination;
    if (lastLink == LastLink::Itself && path != normalRoot) {
        const std::string_view last = components.back();
        components.pop_back();
        destination = JoinPath(RealDestination(components), last);
    } else {
        destination = RealDestination(components);
    }
    if (!IsInside(destination, realRoot))
        return {Status::Invalid(messages::kOutsideLibrary), {}};
    return {Status::Ok(), path};
}

}  // namespace vellumark
