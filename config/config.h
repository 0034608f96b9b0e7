#pragma once

#include "config/config_error.h"
#include "config/config_views.h"
#include "config/xml_document.h"
#include "services/status.h"

#include <string>

namespace vellumark {

// The configuration of the program: the parsed "VellumarkConfig.xml" of the program folder.
// Its document is the single live copy of the settings; the views change it in memory and
// SaveConfig() puts it on disk.
class Configuration {
public:
    Configuration(const Configuration&) = delete;
    Configuration& operator=(const Configuration&) = delete;

    // The configuration file of the program folder this instance was loaded from.
    const std::string& GetConfigFileName() const { return fileName_; }
    // Replaces the configuration file with the default content (the document in memory stays).
    Status CreateDefaultConfig() const;
    ConfigRoot Root() const;
    // The library root: the program folder followed by "/CatalogLibrary". Fixed for the life of
    // the instance, like the file name.
    const std::string& GetLibraryPath() const { return libraryPath_; }
    // Writes the config element's markup, without declaration, replacing the file atomically:
    // on failure the old file stays as it was.
    Status SaveConfig() const;

private:
    friend Configuration& ConfigInstance();
    // Writes the default file when there is none, then parses it; throws ConfigError.
    explicit Configuration(const std::string& programFolder);

    std::string fileName_;
    std::string libraryPath_;
    XmlDocument document_;
};

// The one configuration, created on the first call. When the file cannot be written, read or
// parsed, ConfigError is thrown, no instance is kept and the next call tries again; a
// malformed file is left as it is.
Configuration& ConfigInstance();

// Drops the instance, so the next ConfigInstance() loads from the current program folder.
void ResetConfigInstance();

}  // namespace vellumark
