// The main of a fuzz target in an ordinary build, where libFuzzer is not at hand (g++): runs the
// target once over each input named on the command line, or over every file of a named folder,
// so the targets build and can replay a corpus or a crash input anywhere.
//
//   fuzz_catalog_load fuzz/corpus/catalog_load crash-1234
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The files an argument stands for: itself, or a folder's regular files in name order (a
// corpus folder, as libFuzzer takes it; not descended into).
bool CollectInputs(const fs::path& argument, std::vector<fs::path>& inputs)
{
    std::error_code error;
    if (!fs::is_directory(argument, error)) {
        inputs.push_back(argument);
        return true;
    }
    std::vector<fs::path> files;
    for (fs::directory_iterator it(argument, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error))
            files.push_back(it->path());
    }
    if (error) {
        std::fprintf(stderr, "cannot list %s: %s\n", argument.c_str(), error.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
    return true;
}

// The input in a buffer of exactly its size, as libFuzzer hands it over, so that the address
// sanitizer catches a read one byte past the end.
bool RunInput(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (!file || error) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    auto data = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(size));
    if (!file.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size))) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::fprintf(stderr, "Running: %s\n", path.c_str());
    LLVMFuzzerTestOneInput(data.get(), static_cast<std::size_t>(size));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!CollectInputs(argv[i], inputs))
            return 1;
    }
    for (const fs::path& input : inputs) {
        if (!RunInput(input))
            return 1;
    }
    std::fprintf(stderr, "%s: replayed %zu inputs\n", argv[0], inputs.size());
    return 0;
}
