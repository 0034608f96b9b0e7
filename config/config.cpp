#include "config/config.h"

#include "core/path_names.h"
#include "config/default_config.h"
#include "config/program_folder.h"
#include "services/atomic_file.h"
#include "system/file_status.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace vellumark {

namespace {

constexpr const char* kConfigFileName = "VellumarkConfig.xml";
constexpr const char* kLibraryFolderName = "CatalogLibrary";
constexpr std::string_view kConfigElement = "config";

std::unique_ptr<Configuration>& Instance()
{
    static std::unique_ptr<Configuration> instance;
    return instance;
}

// True when the file is there, false when it is not; any other answer of the file system
// (no permission on the folder, ...) is a failure, not a reason to write a default file.
bool FileExists(const std::string& path)
{
    if (KindOfPath(path, FollowLinks::Yes))
        return true;
    if (errno == ENOENT)
        return false;
    throw ConfigError("Cannot read the configuration file \"" + path + "\": " + std::strerror(errno));
}

}  // namespace

Configuration::Configuration(const std::string& programFolder)
    : fileName_(JoinPath(programFolder, kConfigFileName)), libraryPath_(JoinPath(programFolder, kLibraryFolderName))
{
    if (!FileExists(fileName_)) {
        if (Status status = CreateDefaultConfig(); !status)
            throw ConfigError(status.message());
    }
    if (Status status = document_.ParseFile(fileName_); !status)
        throw ConfigError(status.message());
    const XmlElement root = document_.DocumentElement();
    if (root.Name() != kConfigElement)
        throw ConfigError("The configuration file \"" + fileName_ + "\" has the root element \"" +
                          std::string(root.Name()) + "\" instead of \"config\"");
}

Status Configuration::CreateDefaultConfig() const { return WriteFileAtomically(fileName_, DefaultConfigText()); }

ConfigRoot Configuration::Root() const { return ConfigRoot(document_.DocumentElement()); }

Status Configuration::SaveConfig() const
{
    return WriteFileAtomically(fileName_, document_.DocumentElement().Markup());
}

Configuration& ConfigInstance()
{
    std::unique_ptr<Configuration>& instance = Instance();
    if (!instance)
        instance.reset(new Configuration(ProgramFolder()));
    return *instance;
}

void ResetConfigInstance() { Instance().reset(); }

}  // namespace vellumark
