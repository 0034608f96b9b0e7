#include "core/stored_text.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_support.h"
#include "library/library_names.h"
#include "library/library_paths.h"
#include "scan/mask_list.h"
#include "services/compare_text.h"
#include "services/text_format.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace vellumark::fuzz {

namespace {

bool IsPlainExtension(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\\' || c == '.')
            return false;
    return true;
}

// The stored form must give back the exact bytes and be text that XML 1.0 carries: valid
// UTF-8 without the characters it forbids.
std::string CheckStoredForm(std::string_view raw)
{
    const std::string stored = EncodeStoredText(raw);
    if (DecodeStoredText(stored) != raw)
        return "the stored form does not read back exactly";
    if (NeedsStoredEncoding(raw) != (stored != raw))
        return "NeedsStoredEncoding disagrees with the encoding";
    // Apart from its escape introducers, which encoding again would escape, the stored form
    // holds nothing that needs encoding.
    std::string withoutIntroducers = stored;
    for (std::size_t at; (at = withoutIntroducers.find("\\x{")) != std::string::npos;)
        withoutIntroducers.erase(at, 1);
    if (NeedsStoredEncoding(withoutIntroducers))
        return "the stored form holds text XML cannot carry";
    std::string appended = "x";
    AppendStoredText(appended, raw);
    if (appended != "x" + stored)
        return "AppendStoredText differs from EncodeStoredText";
    return {};
}

std::string CheckMasks(const std::vector<std::string_view>& texts)
{
    std::vector<std::string> items;
    for (const std::string_view typed : texts) {
        const std::size_t before = items.size();
        const bool added = AddMaskItem(items, typed);
        if (added != (items.size() == before + 1))
            return "AddMaskItem's answer does not match the list";
        if (AddMaskItem(items, typed))
            return "AddMaskItem added the same item twice";
    }
    const std::string list = BuildMaskList(items);
    for (const std::string_view typed : texts) {
        const std::string name = "a." + std::string(typed);
        const bool accepted = MaskListAccepts(list, name);
        if (IsPlainExtension(typed) && !accepted)
            return "a file with a chosen extension is not accepted";
        for (const std::string_view fileName : texts) {
            const bool byKey = list.empty() || list.find(MaskKeyOf(fileName)) != std::string::npos;
            if (MaskListAccepts(list, fileName) != byKey)
                return "MaskListAccepts disagrees with the key rule";
        }
    }
    return {};
}

std::string CheckNames(std::string_view folder, std::string_view name)
{
    const std::string renamed = RenamedItemPath(folder, name, false);
    if (CheckItemName(name)) {
        // A name that passes never leaves the item's folder.
        const std::string path = StripTrailingDelimiter(folder);
        const std::size_t slash = path.rfind('/');
        const std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        if (renamed != parent + std::string(name))
            return "a renamed item leaves its folder";
        if (RenamedItemPath(folder, name, true) != renamed + ".xml")
            return "a renamed catalog does not end with .xml";
        if (NewGroupPath("/lib", name) != "/lib/" + std::string(name))
            return "a new group is not directly below the root";
    }
    const std::string shown = CatalogNameFromPath(folder);
    if (folder.find("CatalogLibrary") == std::string_view::npos ? shown != folder
                                                                 : shown.rfind("CatalogLibrary", 0) != 0)
        return "CatalogNameFromPath does not start at the library";
    return {};
}

std::string CheckResolve(const std::string& root, std::string_view item)
{
    if (item.find('\0') != std::string_view::npos)
        return {};  // no path the command line can give
    const ResolvedItem resolved = ResolveLibraryItem(root, item);
    if (!resolved.status) {
        if (resolved.status.message().empty())
            return "a refused item gave no message";
        return {};
    }
    const std::string& path = resolved.path;
    if (path.rfind(root, 0) != 0 || (path.size() > root.size() && path[root.size()] != '/'))
        return "an accepted item lies outside the library: " + path;
    if (path.find("/./") != std::string::npos || path.find("/../") != std::string::npos ||
        (path.size() > 1 && path.back() == '/'))
        return "an accepted item is not normalised: " + path;
    // Where it really leads (links followed) must be inside as well.
    std::string existing = path;
    while (::access(existing.c_str(), F_OK) != 0)
        existing = existing.substr(0, existing.rfind('/'));
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(existing.c_str(), nullptr), &std::free);
    const std::string realPath = real ? real.get() : "";
    if (realPath.rfind(root, 0) != 0)
        return "an accepted item leads outside the library: " + realPath;
    return {};
}

std::string CheckNumbersAndDates(std::string_view a, std::string_view b)
{
    const std::optional<double> number = ParseNumberText(a);
    if (number && std::isnan(*number))
        return "a number text parsed as NaN";
    const int ab = CompareDateText(a, b);
    const int ba = CompareDateText(b, a);
    if (ab < -1 || ab > 1)
        return "CompareDateText gave " + std::to_string(ab);
    if (!a.empty() && !b.empty() && ParseDateText(a) && ParseDateText(b) && ab != -ba)
        return "CompareDateText is not antisymmetric";
    const int n = CompareNumberText(a, b);
    if (n != 1 && n != -1)
        return "CompareNumberText gave " + std::to_string(n);
    return {};
}

// A library with a group, a catalog and links that lead out of it, made once.
const std::string& Library()
{
    static const std::string root = [] {
        const std::string base = ScratchFolder() + "/names";
        ::mkdir(base.c_str(), 0700);
        ::mkdir((base + "/outside").c_str(), 0700);
        const std::string library = base + "/CatalogLibrary";
        ::mkdir(library.c_str(), 0700);
        ::mkdir((library + "/Mp3").c_str(), 0700);
        PutFile(library + "/Mp3/Best of 2004.xml", "<fileinfo/>");
        (void)::symlink("../outside", (library + "/out").c_str());
        (void)::symlink("/", (library + "/Mp3/top").c_str());
        (void)::symlink("Mp3", (library + "/inner").c_str());
        return library;
    }();
    return root;
}

}  // namespace

std::string NameRules(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    std::vector<std::string_view> texts;
    while (!input.Empty() && texts.size() < 8)
        texts.push_back(input.Text());
    if (texts.empty())
        return {};
    texts.push_back(input.Rest());

    for (const std::string_view text : texts)
        if (std::string fault = CheckStoredForm(text); !fault.empty())
            return fault;
    if (std::string fault = CheckMasks(texts); !fault.empty())
        return fault;
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
        if (std::string fault = CheckNames(texts[i], texts[i + 1]); !fault.empty())
            return fault;
        if (std::string fault = CheckNumbersAndDates(texts[i], texts[i + 1]); !fault.empty())
            return fault;
    }
    for (const std::string_view text : texts)
        if (std::string fault = CheckResolve(Library(), text); !fault.empty())
            return fault;
    return {};
}

}  // namespace vellumark::fuzz
