// The search through the index against the streaming search and grep over the same library,
// in one run (the machines are noisy; only the ratios count).
//
//   bench/data/make_library.sh /tmp/lib20 1 20
//   bench_index_bench [--benchmark_repetitions=3]
// VELLUMARK_BENCH_INDEX_LIBRARY overrides the library folder (default /tmp/lib20/CatalogLibrary;
// /tmp/lib100/CatalogLibrary is the 10M-entry one). The indexes go to scratch cache folders.
//
// Counters: entries, index_bytes / catalog_bytes (their ratio as size_ratio), results; for a
// query, anon_MB is the resident anonymous memory of a fresh process that ran just that
// search (mapped index files not counted) and results_MB what its results hold.

#include "search/catalog_search.h"
#include "search/index/catalog_identity.h"
#include "search/index_update.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace vellumark;

std::string LibraryRoot()
{
    const char* value = std::getenv("VELLUMARK_BENCH_INDEX_LIBRARY");
    return value ? value : "/tmp/lib20/CatalogLibrary";
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*)
{
    return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

void RemoveTree(const std::string& folder) { ::nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

std::string NewCacheFolder()
{
    char pattern[] = "/tmp/vellumark-index-bench-XXXXXX";
    return ::mkdtemp(pattern);
}

double RssAnonMegabytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("RssAnon:", 0) == 0)
            return std::stod(line.substr(8)) / 1024.0;
    return 0;
}

// Counts the results and what they hold, then lets them go, as a window that shows them would
// hold them (results_MB) without this process holding them.
class CountingSink final : public SearchSink {
public:
    std::size_t results = 0;
    std::size_t bytes = 0;
    std::vector<EntryRecord> kept;
    bool keep = false;
    void Add(std::vector<EntryRecord>&& batch) override
    {
        results += batch.size();
        for (EntryRecord& record : batch) {
            bytes += sizeof(record) + record.PackedBytes();
            if (keep)
                kept.push_back(std::move(record));
        }
        batch.clear();
    }
};

SearchRequest Request(const std::string& scope, const std::string& pattern, bool group, const std::string& cache)
{
    SearchRequest request;
    request.scopePath = scope;
    request.scopeIsGroup = group;
    request.namePattern = pattern;
    request.libraryRoot = LibraryRoot();
    request.indexCacheFolder = cache;
    request.useIndex = !cache.empty();
    return request;
}

std::string FirstCatalog() { return LibraryRoot() + "/Group/Disc1.xml"; }

// One index built for all query benchmarks of the run.
struct SharedIndex {
    std::string cache = NewCacheFolder();
    IndexSummary built;

    SharedIndex()
    {
        NullProgress progress;
        built = UpdateSearchIndex(LibraryRoot(), cache, IndexAction::Update, progress);
    }
    ~SharedIndex() { RemoveTree(cache); }
};

SharedIndex& Shared()
{
    static SharedIndex shared;
    return shared;
}

void BM_GrepLibrary(benchmark::State& state)
{
    const std::string command = "grep -rci rock " + LibraryRoot() + " > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("grep failed");
}

void BM_StreamingSearch(benchmark::State& state, const std::string& pattern)
{
    const SearchRequest request = Request(LibraryRoot(), pattern, true, "");
    std::size_t results = 0;
    for (auto _ : state) {
        NullProgress progress;
        CountingSink sink;
        results = SearchCatalogs(request, progress, sink).resultCount;
    }
    state.counters["results"] = static_cast<double>(results);
}

void BM_StreamingSearchOneCatalog(benchmark::State& state)
{
    const SearchRequest request = Request(FirstCatalog(), "rock", false, "");
    for (auto _ : state) {
        NullProgress progress;
        CountingSink sink;
        SearchCatalogs(request, progress, sink);
    }
}

// The first search of a library without an index: every catalog is read and indexed.
void BM_FirstSearchBuildsTheIndex(benchmark::State& state)
{
    std::uint64_t indexBytes = 0;
    std::uint64_t entries = 0;
    std::uint64_t catalogBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string cache = NewCacheFolder();
        state.ResumeTiming();
        NullProgress progress;
        CountingSink sink;
        SearchCatalogs(Request(LibraryRoot(), "rock", true, cache), progress, sink);
        state.PauseTiming();
        const IndexSummary summary = UpdateSearchIndex(LibraryRoot(), cache, IndexAction::Status, progress);
        indexBytes = summary.bytes;
        entries = summary.entries;
        if (summary.outOfDate != 0)
            state.SkipWithError("the first search left catalogs unindexed");
        RemoveTree(cache);
        state.ResumeTiming();
    }
    struct stat status {};
    for (int n = 1; ::stat((LibraryRoot() + "/Group/Disc" + std::to_string(n) + ".xml").c_str(), &status) == 0; ++n)
        catalogBytes += static_cast<std::uint64_t>(status.st_size);
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["index_bytes"] = static_cast<double>(indexBytes);
    state.counters["catalog_bytes"] = static_cast<double>(catalogBytes);
    state.counters["size_ratio"] = catalogBytes ? static_cast<double>(indexBytes) / static_cast<double>(catalogBytes) : 0;
}

// The index command on an empty cache.
void BM_IndexCommandFromNothing(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const std::string cache = NewCacheFolder();
        state.ResumeTiming();
        NullProgress progress;
        if (UpdateSearchIndex(LibraryRoot(), cache, IndexAction::Update, progress).read == 0)
            state.SkipWithError("nothing read");
        state.PauseTiming();
        RemoveTree(cache);
        state.ResumeTiming();
    }
}

// One catalog changed (a new identity, settled): the next search or index command reads it
// alone again. The argument picks the search (0) or the index command (1), which also checks
// every segment against its checksums.
void BM_UpdateOneChangedCatalog(benchmark::State& state)
{
    SharedIndex& shared = Shared();
    long step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::int64_t when = WallClockNs() - 60'000'000'000;
        const struct timespec times[2] = {{when / 1'000'000'000, 0}, {when / 1'000'000'000, ++step % 1000}};
        ::utimensat(AT_FDCWD, FirstCatalog().c_str(), times, 0);
        state.ResumeTiming();
        NullProgress progress;
        if (state.range(0) == 0) {
            CountingSink sink;
            SearchCatalogs(Request(LibraryRoot(), "Zeppelin", true, shared.cache), progress, sink);
        } else if (UpdateSearchIndex(LibraryRoot(), shared.cache, IndexAction::Update, progress).read != 1) {
            state.SkipWithError("not exactly one catalog read");
        }
    }
}

void BM_IndexedSearch(benchmark::State& state, const std::string& pattern)
{
    SharedIndex& shared = Shared();
    const SearchRequest request = Request(LibraryRoot(), pattern, true, shared.cache);
    CountingSink sink;
    for (auto _ : state) {
        sink = CountingSink();
        NullProgress progress;
        SearchCatalogs(request, progress, sink);
    }
    state.counters["results"] = static_cast<double>(sink.results);
    state.counters["results_MB"] = static_cast<double>(sink.bytes) / (1 << 20);

    // The anonymous memory of a fresh process that runs just this search and holds its
    // results (this program again, in its measuring mode).
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return;
    const std::string command = std::string(self) + " --measure-search " + shared.cache + " " + pattern;
    if (FILE* child = ::popen(command.c_str(), "r")) {
        double anon = 0;
        if (std::fscanf(child, "%lf", &anon) == 1)
            state.counters["anon_MB"] = anon;
        ::pclose(child);
    }
}

// The measuring mode: one search through the index in the cache folder, keeping its results,
// then the resident anonymous memory in MB on stdout.
int MeasureSearch(const std::string& cache, const std::string& pattern)
{
    NullProgress progress;
    CountingSink sink;
    sink.keep = true;
    SearchCatalogs(Request(LibraryRoot(), pattern, true, cache), progress, sink);
    std::printf("%.1f\n", RssAnonMegabytes());
    return sink.results == 0 ? 1 : 0;
}

}  // namespace

BENCHMARK(BM_GrepLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_StreamingSearch, rock, std::string("rock"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstSearchBuildsTheIndex)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_IndexCommandFromNothing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_StreamingSearchOneCatalog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UpdateOneChangedCatalog)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexedSearch, rock, std::string("rock"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexedSearch, Zeppelin, std::string("Zeppelin"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexedSearch, ro, std::string("ro"))->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--measure-search")
        return MeasureSearch(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
