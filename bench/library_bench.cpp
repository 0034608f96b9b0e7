// Loading a library of 10,000 catalogs in 500 groups into a library tree (the catalog tree
// of the main window, the library manager and the dialogs is filled this way each time).

#include "core/path_names.h"
#include "library/library_names.h"
#include "library/library_store.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

constexpr int kGroups = 500;
constexpr int kCatalogsPerGroup = 20;

// Made once per run under /tmp; small catalog files, as the size does not matter to the walk.
std::string MakeLibrary()
{
    const std::string root = "/tmp/vellumark-bench-library/CatalogLibrary";
    struct stat info;
    if (::stat((root + "/Group 499/Catalog 19.xml").c_str(), &info) == 0)
        return root;
    ::mkdir("/tmp/vellumark-bench-library", 0777);
    ::mkdir(root.c_str(), 0777);
    const std::string content = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><fileinfo/>";
    for (int group = 0; group < kGroups; ++group) {
        const std::string groupPath = vellumark::JoinPath(root, "Group " + std::to_string(group));
        ::mkdir(groupPath.c_str(), 0777);
        for (int catalog = 0; catalog < kCatalogsPerGroup; ++catalog) {
            const std::string path = vellumark::NewCatalogPath(groupPath, "Catalog " + std::to_string(catalog));
            const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd >= 0) {
                if (::write(fd, content.data(), content.size()) < 0)
                    ::unlink(path.c_str());
                ::close(fd);
            }
        }
    }
    return root;
}

void BM_LoadLibraryTree(benchmark::State& state)
{
    const std::string root = MakeLibrary();
    std::size_t records = 0;
    for (auto _ : state) {
        vellumark::CatalogTree tree;
        if (!vellumark::LoadLibraryTree(tree, root, state.range(0) != 0))
            state.SkipWithError("load failed");
        records = tree.NodeCount();
    }
    state.counters["records"] = static_cast<double>(records);
}

}  // namespace

BENCHMARK(BM_LoadLibraryTree)->Arg(0)->Arg(1)->ArgName("foldersOnly")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
