// Finding duplicate files across the library of 20 x 100,000 entries, measured against the
// streaming search of the same scope in the same run (the machines are noisy; only the ratio
// counts), read from the catalogs and from a current search index.
//
//   bench/data/make_library.sh /tmp/lib20 1 20
//   bench_duplicates_bench [--benchmark_repetitions=5]
//
// VELLUMARK_BENCH_HOME overrides /tmp/lib20 (the library is HOME/CatalogLibrary). The index is
// built once, before the indexed runs, in VELLUMARK_BENCH_CACHE (default
// /tmp/vellumark-bench-cache/vellumark), where `XDG_CACHE_HOME=/tmp/vellumark-bench-cache
// vellumark-cli --home /tmp/lib20 duplicates` finds it too.

#include "search/catalog_search.h"
#include "search/duplicates.h"
#include "search/index_update.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

using vellumark::DuplicateKey;

std::string FromEnvironment(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    return value ? value : fallback;
}

std::string LibraryRoot() { return FromEnvironment("VELLUMARK_BENCH_HOME", "/tmp/lib20") + "/CatalogLibrary"; }
std::string CacheFolder() { return FromEnvironment("VELLUMARK_BENCH_CACHE", "/tmp/vellumark-bench-cache/vellumark"); }

bool Exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

class CountingSink final : public vellumark::SearchSink {
public:
    std::size_t results = 0;
    void Add(std::vector<vellumark::EntryRecord>&& batch) override
    {
        results += batch.size();
        batch.clear();
    }
};

// Brings the library's index up to date; false when it cannot be built.
bool IndexLibrary()
{
    vellumark::NullProgress progress;
    return vellumark::UpdateSearchIndex(LibraryRoot(), CacheFolder(), vellumark::IndexAction::Update, progress).status.ok();
}

void BM_SearchRock(benchmark::State& state)
{
    if (!Exists(LibraryRoot())) {
        state.SkipWithError("benchmark data missing: see the commands at the top of duplicates_bench.cpp");
        return;
    }
    vellumark::SearchRequest request;
    request.scopePath = LibraryRoot();
    request.scopeIsGroup = true;
    request.namePattern = "rock";
    CountingSink sink;
    for (auto _ : state) {
        sink = CountingSink();
        vellumark::NullProgress progress;
        if (!vellumark::SearchCatalogs(request, progress, sink).Complete())
            state.SkipWithError("search incomplete");
    }
    state.counters["results"] = static_cast<double>(sink.results);
}

void RunDuplicates(benchmark::State& state, bool useIndex)
{
    if (!Exists(LibraryRoot())) {
        state.SkipWithError("benchmark data missing: see the commands at the top of duplicates_bench.cpp");
        return;
    }
    if (useIndex && !IndexLibrary()) {
        state.SkipWithError("the index could not be built");
        return;
    }
    vellumark::DuplicatesRequest request;
    request.scopePath = LibraryRoot();
    request.scopeIsGroup = true;
    request.key = static_cast<DuplicateKey>(state.range(0));
    request.useIndex = useIndex;
    request.libraryRoot = LibraryRoot();
    request.indexCacheFolder = CacheFolder();
    std::size_t groups = 0;
    std::size_t copies = 0;
    for (auto _ : state) {
        vellumark::NullProgress progress;
        const vellumark::DuplicatesOutcome outcome = vellumark::FindDuplicates(request, progress);
        if (!outcome.status.ok() || !outcome.skipped.empty() || outcome.usedIndex != useIndex)
            state.SkipWithError("duplicates incomplete, or the index not used as asked");
        groups = outcome.groups.size();
        copies = 0;
        for (const vellumark::DuplicateGroup& group : outcome.groups)
            copies += group.copies.size();
    }
    state.counters["groups"] = static_cast<double>(groups);
    state.counters["copies"] = static_cast<double>(copies);
}

void BM_Duplicates(benchmark::State& state) { RunDuplicates(state, false); }
void BM_DuplicatesIndexed(benchmark::State& state) { RunDuplicates(state, true); }

// Arguments: 0 name and size, 1 size, 2 name.
BENCHMARK(BM_SearchRock)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Duplicates)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DuplicatesIndexed)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
