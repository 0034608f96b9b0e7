#include "system/mount_table.h"

#include "system/file_status.h"
#include "system/folder_listing.h"

#include <blkid.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vellumark {

namespace {

// mountinfo writes blank, tab, line feed and backslash in paths as "\ooo".
std::string DecodeOctalEscapes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() &&
            std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        text.begin() + static_cast<std::ptrdiff_t>(i) + 4, [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// udev writes unsafe characters of a label link's name as "\xHH".
std::string DecodeHexEscapes(std::string_view text)
{
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            hex(text[i + 2]) >= 0 && hex(text[i + 3]) >= 0) {
            out += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string LabelFromBlkid(const std::string& device)
{
    blkid_cache cache = nullptr;
    if (blkid_get_cache(&cache, nullptr) != 0)
        return {};
    std::string label;
    if (char* value = blkid_get_tag_value(cache, "LABEL", device.c_str())) {
        label = value;
        std::free(value);
    }
    blkid_put_cache(cache);
    return label;
}

std::string LabelFromByLabelLinks(const std::string& device)
{
    const std::string folder = "/dev/disk/by-label";
    FolderListing listing(folder);
    const std::string target = RealPathOf(device);
    if (target.empty())
        return {};
    while (const FolderEntry* entry = listing.Next()) {
        if (RealPathOf(folder + "/" + entry->name) == target)
            return DecodeHexEscapes(entry->Name());
    }
    return {};
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    std::vector<MountEntry> mounts;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string part; fields >> part;)
            parts.push_back(std::move(part));
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto separator = std::find(parts.begin(), parts.end(), "-");
        if (parts.size() < 5 || separator == parts.end() || parts.end() - separator < 3)
            continue;
        mounts.push_back({DecodeOctalEscapes(parts[4]), DecodeOctalEscapes(*(separator + 1)),
                          DecodeOctalEscapes(*(separator + 2))});
    }
    return mounts;
}

bool IsPseudoFileSystem(std::string_view fileSystem)
{
    static constexpr std::array<std::string_view, 22> kPseudo = {
        "proc",      "sysfs",      "cgroup",     "cgroup2",  "devpts",   "devtmpfs", "securityfs", "debugfs",
        "tracefs",   "pstore",     "bpf",        "configfs", "fusectl",  "mqueue",   "hugetlbfs",  "binfmt_misc",
        "autofs",    "rpc_pipefs", "nsfs",       "efivarfs", "selinuxfs", "fuse.gvfsd-fuse"};
    return std::find(kPseudo.begin(), kPseudo.end(), fileSystem) != kPseudo.end();
}

std::string_view WithoutTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

LinuxVolumeInfo::LinuxVolumeInfo()
{
    std::ifstream file("/proc/self/mountinfo");
    std::ostringstream text;
    text << file.rdbuf();
    mounts_ = ParseMountInfo(text.str());
}

const MountEntry* LinuxVolumeInfo::Find(std::string_view path) const
{
    const std::string_view wanted = WithoutTrailingSlashes(path);
    if (wanted.empty())
        return nullptr;
    // A later mount over the same point hides the earlier one.
    for (auto mount = mounts_.rbegin(); mount != mounts_.rend(); ++mount)
        if (mount->mountPoint == wanted)
            return IsPseudoFileSystem(mount->fileSystem) ? nullptr : &*mount;
    return nullptr;
}

bool LinuxVolumeInfo::IsMountRoot(std::string_view path) const { return Find(path) != nullptr; }

std::string LinuxVolumeInfo::LabelOf(std::string_view mountRoot) const
{
    const MountEntry* mount = Find(mountRoot);
    if (!mount || mount->source.rfind("/dev/", 0) != 0)
        return {};
    std::string label = LabelFromBlkid(mount->source);
    if (label.empty())
        label = LabelFromByLabelLinks(mount->source);
    return label;
}

std::vector<std::string> LinuxVolumeInfo::MountRoots() const
{
    std::vector<std::string> roots;
    for (const MountEntry& mount : mounts_)
        if (Find(mount.mountPoint) == &mount)
            roots.push_back(mount.mountPoint);
    return roots;
}

}  // namespace vellumark
