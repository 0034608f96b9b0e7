// Searching a large catalog and a library of catalogs for a name, measured against grep
// reading the same files in the same run (the machines are noisy; only the ratio counts).
//
//   python3 /work/shared/bench/gen_catalog.py /tmp/cat1m.xml 1000000
//   for i in $(seq 1 20); do
//     python3 /work/shared/bench/gen_catalog.py /tmp/searchlib/Disc$i.xml 100000 --seed $i --disk Disc$i
//   done
//   bench_search_bench [--benchmark_repetitions=5]
// VELLUMARK_BENCH_CATALOG and VELLUMARK_BENCH_LIBRARY override the two paths. The counter
// peak_MB is the process's peak resident memory after the search; results_MB what the results
// themselves hold.

#include "search/catalog_search.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

std::string PathFromEnvironment(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    return value ? value : fallback;
}

std::string CatalogPath() { return PathFromEnvironment("VELLUMARK_BENCH_CATALOG", "/tmp/cat1m.xml"); }
std::string LibraryPath() { return PathFromEnvironment("VELLUMARK_BENCH_LIBRARY", "/tmp/searchlib"); }

bool Exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

double PeakResidentMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

class CountingSink final : public vellumark::SearchSink {
public:
    std::size_t results = 0;
    std::size_t bytes = 0;
    void Add(std::vector<vellumark::EntryRecord>&& batch) override
    {
        results += batch.size();
        for (const vellumark::EntryRecord& record : batch)
            bytes += sizeof(record) + record.PackedBytes();
        batch.clear();
    }
};

void RunGrep(benchmark::State& state, const std::string& command, const std::string& path)
{
    if (!Exists(path)) {
        state.SkipWithError("benchmark data missing: see the commands at the top of search_bench.cpp");
        return;
    }
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("grep failed");
    }
}

void RunSearch(benchmark::State& state, const std::string& scope, bool group)
{
    if (!Exists(scope)) {
        state.SkipWithError("benchmark data missing: see the commands at the top of search_bench.cpp");
        return;
    }
    vellumark::SearchRequest request;
    request.scopePath = scope;
    request.scopeIsGroup = group;
    request.namePattern = "rock";
    CountingSink sink;
    for (auto _ : state) {
        sink = CountingSink();
        vellumark::NullProgress progress;
        const vellumark::SearchOutcome outcome = vellumark::SearchCatalogs(request, progress, sink);
        if (!outcome.Complete())
            state.SkipWithError("search incomplete");
        benchmark::DoNotOptimize(sink.results);
    }
    state.counters["results"] = static_cast<double>(sink.results);
    state.counters["results_MB"] = static_cast<double>(sink.bytes) / (1024.0 * 1024.0);
    state.counters["peak_MB"] = PeakResidentMegabytes();
}

void BM_GrepCatalog(benchmark::State& state)
{
    RunGrep(state, "grep -ci rock '" + CatalogPath() + "' > /dev/null", CatalogPath());
}

void BM_SearchCatalog(benchmark::State& state) { RunSearch(state, CatalogPath(), false); }

void BM_GrepLibrary(benchmark::State& state)
{
    RunGrep(state, "grep -rci rock '" + LibraryPath() + "' > /dev/null", LibraryPath());
}

void BM_SearchLibrary(benchmark::State& state) { RunSearch(state, LibraryPath(), true); }

// The search runs first so that its peak memory is not the grep child's (children are
// counted apart anyway, but the order keeps the figures easy to read).
BENCHMARK(BM_SearchCatalog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrepCatalog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrepLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
