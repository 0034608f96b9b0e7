#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// What the scanner and the library need to know about mounted volumes: which folders are the
// roots of real (not pseudo) file systems, and their labels. Tests answer it with a fake.
class VolumeInfo {
public:
    virtual ~VolumeInfo() = default;
    // True for the mount point of a file system that holds files (a trailing "/" is ignored).
    virtual bool IsMountRoot(std::string_view path) const = 0;
    // The file-system label of the volume mounted there; empty when it has none.
    virtual std::string LabelOf(std::string_view mountRoot) const = 0;
    // The mount points of every such file system, each once: finds a medium by its label.
    virtual std::vector<std::string> MountRoots() const = 0;
};

struct MountEntry {
    std::string mountPoint;
    std::string fileSystem;
    std::string source;
};

// The entries of a /proc/self/mountinfo text, with the octal escapes of paths decoded.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// proc, sysfs, cgroup, devpts and the other kernel file systems that hold no user files.
bool IsPseudoFileSystem(std::string_view fileSystem);
// The path without trailing "/" ("/" itself stays).
std::string_view WithoutTrailingSlashes(std::string_view path);

// The mount table as it is when constructed, with labels from libblkid, else /dev/disk/by-label.
class LinuxVolumeInfo final : public VolumeInfo {
public:
    LinuxVolumeInfo();
    explicit LinuxVolumeInfo(std::vector<MountEntry> mounts) : mounts_(std::move(mounts)) {}

    bool IsMountRoot(std::string_view path) const override;
    std::string LabelOf(std::string_view mountRoot) const override;
    std::vector<std::string> MountRoots() const override;

private:
    const MountEntry* Find(std::string_view path) const;

    std::vector<MountEntry> mounts_;
};

}  // namespace vellumark
