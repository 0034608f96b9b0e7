#include "fuzz/entries/fuzz_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>

namespace vellumark::fuzz {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    ::chmod(path, 0700);
    return ::remove(path);
}

std::string MakeScratchFolder()
{
    // Memory-backed when the machine has it: the targets write a file per run.
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/vellumark-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    static std::string folder;
    folder = pattern;
    std::atexit([] { RemoveTree(folder); });
    return pattern;
}

}  // namespace

const std::string& ScratchFolder()
{
    static const std::string folder = MakeScratchFolder();
    return folder;
}

void PutFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            std::perror(path.c_str());
            std::abort();
        }
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::string ReadWhole(const std::string& path)
{
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
}

void RemoveTree(const std::string& path) { ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

std::uint8_t InputReader::Byte()
{
    if (rest_.empty())
        return 0;
    const auto byte = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return byte;
}

std::string_view InputReader::Text()
{
    // The length byte is taken first: it shortens what is left.
    const std::uint8_t wanted = Byte();
    const std::size_t length = std::min<std::size_t>(wanted, rest_.size());
    const std::string_view text = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return text;
}

std::string_view InputReader::Rest()
{
    const std::string_view rest = rest_;
    rest_ = {};
    return rest;
}

std::string DumpTree(const CatalogTree& tree)
{
    std::string dump;
    tree.ForEachPreOrder([&dump](CatalogTreeNode& node) {
        dump += std::to_string(node.Level());
        for (const std::string_view field : node.record.AllFields()) {
            dump += '|';
            // Lengths first, so that no field text can fake a boundary.
            dump += std::to_string(field.size());
            dump += ':';
            dump += field;
        }
        dump += '\n';
    });
    return dump;
}

std::string FirstDifference(const std::string& a, const std::string& b)
{
    std::size_t lineStart = 0;
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        if (a[i] == '\n')
            lineStart = i + 1;
        ++i;
    }
    const auto lineOf = [lineStart](const std::string& text) {
        const std::size_t end = text.find('\n', lineStart);
        return text.substr(lineStart, end == std::string::npos ? std::string::npos : end - lineStart);
    };
    return "\n  first: " + lineOf(a) + "\n  second: " + lineOf(b);
}

}  // namespace vellumark::fuzz
