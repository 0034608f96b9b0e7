// Scanning a large folder tree into a catalog tree, measured against `find` walking and
// stat-ing the same tree in the same run (the machines are noisy; only the ratio counts).
//
//   python3 /work/shared/bench/gen_tree.py /tmp/tree200k 200000
//   bench_scan_bench [--benchmark_repetitions=5]      (VELLUMARK_BENCH_TREE overrides the folder)

#include "scan/folder_scanner.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

std::string TreeFolder()
{
    const char* folder = std::getenv("VELLUMARK_BENCH_TREE");
    return folder ? folder : "/tmp/tree200k";
}

bool FolderExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class NoMounts final : public vellumark::VolumeInfo {
public:
    bool IsMountRoot(std::string_view) const override { return false; }
    std::string LabelOf(std::string_view) const override { return {}; }
    std::vector<std::string> MountRoots() const override { return {}; }
};

void BM_FindReference(benchmark::State& state)
{
    const std::string folder = TreeFolder();
    if (!FolderExists(folder)) {
        state.SkipWithError("tree missing: run gen_tree.py first");
        return;
    }
    const std::string command = "find '" + folder + "' -printf '%s %T@ %y %p\\n' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("find failed");
    }
}

void BM_ScanFolder(benchmark::State& state)
{
    const std::string folder = TreeFolder();
    if (!FolderExists(folder)) {
        state.SkipWithError("tree missing: run gen_tree.py first");
        return;
    }
    vellumark::ScanRequest request;
    request.folderPath = folder;
    request.catalogFilePath = "/tmp/Bench.xml";
    const NoMounts volumes;
    vellumark::NullProgress progress;
    std::size_t entries = 0;
    for (auto _ : state) {
        vellumark::CatalogTree tree;
        if (!vellumark::ScanFolder(tree, request, volumes, progress).status)
            state.SkipWithError("scan failed");
        entries = tree.NodeCount();
        state.PauseTiming();
        tree.Clear();
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries);
}

}  // namespace

BENCHMARK(BM_FindReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ScanFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

BENCHMARK_MAIN();
