#include "config/program_folder.h"

#include "core/path_names.h"
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace vellumark {

namespace {

std::mutex& FolderMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& ChosenFolder()
{
    static std::optional<std::string> folder;
    return folder;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The kernel gives the executable's real path, symbolic links resolved.
std::string ExecutablePath()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

// Compared by components: /usr2 is not below /usr.
bool IsBelowUsr(const std::filesystem::path& path)
{
    const std::filesystem::path relative = path.lexically_relative("/usr");
    return !relative.empty() && relative != "." && *relative.begin() != "..";
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

// XDG base directories must be absolute; a relative value is ignored as the standard says.
std::string UserDataFolder()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return JoinPath(WithoutTrailingSlash(data), "vellumark");
    return JoinPath(HomeFolder(), ".local/share/vellumark");
}

}  // namespace

std::string ProgramFolderFor(const std::string& executablePath)
{
    const std::filesystem::path exe = std::filesystem::path(executablePath).lexically_normal();
    const std::string executableFolder = exe.has_parent_path() ? WithoutTrailingSlash(exe.parent_path().string()) : std::string();
    // An installed program keeps its data per user even where it could write beside itself
    // (run as root): /usr belongs to the package manager.
    if (!executableFolder.empty() && !IsBelowUsr(exe) && ::access(executableFolder.c_str(), W_OK) == 0)
        return executableFolder;
    const std::string userFolder = UserDataFolder();
    // A folder that cannot be created shows up as a clear write failure of the first file
    // put there (the configuration), naming the path; nothing is gained by failing here.
    std::error_code ignored;
    std::filesystem::create_directories(userFolder, ignored);
    return userFolder;
}

std::string ProgramFolder()
{
    std::lock_guard lock(FolderMutex());
    if (!ChosenFolder())
        ChosenFolder() = ProgramFolderFor(ExecutablePath());
    return *ChosenFolder();
}

Status SetProgramFolder(const std::string& dir)
{
    if (dir.empty())
        return Status::Invalid("The program folder must not be empty.");
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(dir, error).lexically_normal();
    if (error)
        return Status::Failed("Cannot use \"" + dir + "\" as program folder: " + error.message());
    std::filesystem::create_directories(absolute, error);
    if (error)
        return Status::Failed("Cannot create the program folder \"" + absolute.string() + "\": " + error.message());
    if (!std::filesystem::is_directory(absolute, error))
        return Status::Invalid("\"" + absolute.string() + "\" is not a folder.");
    std::lock_guard lock(FolderMutex());
    ChosenFolder() = WithoutTrailingSlash(absolute.string());
    return Status::Ok();
}

}  // namespace vellumark
