#include "tests/common/test_support.h"

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <algorithm>
#include <cstdlib>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumark::testing {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    ::chmod(path, 0700);
    return ::remove(path);
}

}  // namespace

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vellumark-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() { ::nftw(path_.c_str(), RemoveEntry, 64, FTW_DEPTH | FTW_PHYS); }

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool PathExists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void MakeDirs(const std::string& path)
{
    std::size_t from = 1;
    while (true) {
        const auto slash = path.find('/', from);
        const std::string part = path.substr(0, slash);
        ::mkdir(part.c_str(), 0755);
        if (slash == std::string::npos)
            break;
        from = slash + 1;
    }
}

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FakePrompts::ChooseOpenFile(const FileDialogRequest& request)
{
    requests.push_back(request);
    if (openChoices.empty())
        return {};
    std::string choice = openChoices.front();
    openChoices.pop_front();
    return choice;
}

std::string FakePrompts::ChooseSaveFile(const FileDialogRequest& request)
{
    requests.push_back(request);
    if (saveChoices.empty())
        return {};
    std::string choice = saveChoices.front();
    saveChoices.pop_front();
    return choice;
}

void FakePrompts::ShowMessage(std::string_view caption, std::string_view text, MessageIcon)
{
    messages.push_back(std::string(caption) + ": " + std::string(text));
}

bool FakePrompts::AskYesNo(std::string_view caption, std::string_view text, MessageIcon)
{
    messages.push_back(std::string(caption) + ": " + std::string(text));
    if (yesNoAnswers.empty())
        return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

void RecordingProgress::OnShow(bool cancelVisible)
{
    ++shows;
    lastCancelVisible = cancelVisible;
}

void RecordingProgress::OnHide() { ++hides; }

void RecordingProgress::OnMessage(std::string_view text)
{
    shownMessages.emplace_back(text);
    if (cancelAfterMessages >= 0 && static_cast<int>(shownMessages.size()) >= cancelAfterMessages)
        Cancel();
}

}  // namespace vellumark::testing
