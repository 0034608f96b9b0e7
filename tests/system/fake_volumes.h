#pragma once

#include "system/mount_table.h"

#include <map>
#include <string>
#include <vector>

namespace vellumark::testing {

// Mount roots with their labels (an empty label: an unlabelled volume).
class FakeVolumes final : public VolumeInfo {
public:
    std::map<std::string, std::string, std::less<>> labels;

    bool IsMountRoot(std::string_view path) const override
    {
        return labels.find(WithoutTrailingSlashes(path)) != labels.end();
    }
    std::string LabelOf(std::string_view mountRoot) const override
    {
        const auto found = labels.find(WithoutTrailingSlashes(mountRoot));
        return found == labels.end() ? std::string() : found->second;
    }
    std::vector<std::string> MountRoots() const override
    {
        std::vector<std::string> roots;
        for (const auto& [root, label] : labels)
            roots.push_back(root);
        return roots;
    }
};

}  // namespace vellumark::testing
