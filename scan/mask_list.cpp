#include "scan/mask_list.h"

#include "services/compare_text.h"

#include <algorithm>

namespace vellumark {

namespace {

// Blanks and control characters, as the dialog's trimming treats them.
std::string_view Trim(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string BuildMaskList(const std::vector<std::string>& maskItems)
{
    std::string list;
    for (const std::string& item : maskItems) {
        const std::string_view trimmed = Trim(item);
        if (trimmed.empty())
            continue;
        list += Trim(trimmed.substr(1));
        list += '\\';
    }
    if (list.empty())
        return list;
    std::transform(list.begin(), list.end(), list.begin(), AsciiUpper);
    return '\\' + list;
}

bool AddMaskItem(std::vector<std::string>& maskItems, std::string_view typedText)
{
    std::string item = "*.";
    item += typedText;
    const bool present = std::any_of(maskItems.begin(), maskItems.end(), [&](const std::string& existing) {
        return existing.size() == item.size() && CompareTextIgnoringAsciiCase(existing, item) == 0;
    });
    if (present)
        return false;
    maskItems.push_back(std::move(item));
    return true;
}

std::string MaskKeyOf(std::string_view fileName)
{
    std::string key = "\\";
    if (const auto dot = fileName.rfind('.'); dot != std::string_view::npos) {
        for (char c : fileName.substr(dot))
            key += AsciiUpper(c);
    }
    key += '\\';
    return key;
}

bool MaskListAccepts(std::string_view maskList, std::string_view fileName)
{
    if (maskList.empty())
        return true;
    // Extensions are short; building the key on the stack keeps the walk free of allocations.
    char key[64];
    std::size_t length = 0;
    key[length++] = '\\';
    if (const auto dot = fileName.rfind('.'); dot != std::string_view::npos) {
        const std::string_view extension = fileName.substr(dot);
        if (extension.size() > sizeof(key) - 2)
            return maskList.find(MaskKeyOf(fileName)) != std::string_view::npos;
        for (char c : extension)
            key[length++] = AsciiUpper(c);
    }
    key[length++] = '\\';
    return maskList.find(std::string_view(key, length)) != std::string_view::npos;
}

}  // namespace vellumark
