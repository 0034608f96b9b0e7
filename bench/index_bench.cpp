// The search index against the streaming search and grep over the same library, in one run
// (the machines are noisy; only the ratios count).
//
//   for N in $(seq 1 20); do
//     python3 /work/shared/bench/gen_catalog.py /tmp/lib20/CatalogLibrary/Group/Disc$N.xml 100000 --seed $N --disk Disc$N
//   done
//   bench_index_bench [--benchmark_repetitions=3]
// VELLUMARK_BENCH_INDEX_LIBRARY overrides the library folder (default /tmp/lib20/CatalogLibrary;
// /tmp/lib100/CatalogLibrary is the 10M-entry one). The index goes to a scratch cache folder.
//
// Counters: entries, index_bytes / catalog_bytes (their ratio as size_ratio), results,
// candidates; for a query, anon_MB is the resident anonymous memory of a fresh process that ran
// just that query and still holds its results (mapped index files not counted), results_MB
// what the results hold. A query's argument is its thread count.

#include "search/catalog_search.h"
#include "search/entry_match.h"
#include "search/index/candidate_query.h"
#include "search/index/catalog_entry_reader.h"
#include "search/index/library_index.h"
#include "core/path_names.h"
#include "tests/search/index_test_feeder.h"

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
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

// The catalogs below the library root, as the walk lists them (keys relative to the root).
void ListCatalogs(const std::string& root, const std::string& key, std::vector<CatalogFile>& catalogs)
{
    const std::string folder = key.empty() ? root : root + "/" + key;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::pair<std::string, bool>> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.emplace_back(name, entry->d_type == DT_DIR);
    }
    ::closedir(dir);
    for (const auto& [name, isFolder] : entries) {
        const std::string child = key.empty() ? name : key + "/" + name;
        if (isFolder)
            ListCatalogs(root, child, catalogs);
        else
            catalogs.push_back({child, root + "/" + child});
    }
}

std::vector<CatalogFile> Catalogs()
{
    std::vector<CatalogFile> catalogs;
    ListCatalogs(LibraryRoot(), "", catalogs);
    return catalogs;
}

std::uint64_t CatalogBytes(const std::vector<CatalogFile>& catalogs)
{
    std::uint64_t bytes = 0;
    for (const CatalogFile& catalog : catalogs)
        if (const auto identity = IdentityOfFile(catalog.path))
            bytes += identity->size;
    return bytes;
}

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

// One index built for all query benchmarks of the run.
struct SharedIndex {
    std::string cache;
    std::unique_ptr<LibraryIndex> index;
    std::vector<CatalogFile> catalogs;

    SharedIndex()
    {
        catalogs = Catalogs();
        cache = NewCacheFolder();
        if (catalogs.empty() || !LibraryIndex::Open(cache, LibraryRoot(), true, index).ok())
            return;
        NullProgress progress;
        index->Build(catalogs, {}, testing::FeedSegmentFromXml, progress, 2);
    }
    ~SharedIndex() { RemoveTree(cache); }
};

SharedIndex& Shared()
{
    static SharedIndex shared;
    return shared;
}

struct QueryOutcome {
    std::size_t candidates = 0;
    std::vector<EntryRecord> results;
};

// What a search through a current index does: one stat per catalog, open the segments, find
// candidates, verify them on the stored values with the search's matcher, read each result at
// its offset.
// With several threads each takes whole catalogs, as the streaming search does; the results
// are joined in catalog order.
QueryOutcome RunQuery(const LibraryIndex& index, const std::vector<CatalogFile>& catalogs, const SearchRequest& request,
                      unsigned threads = 1)
{
    const SearchConditions conditions(request);
    const CandidateQuery query(request.namePattern, request.extensionPattern, request.descriptionPattern,
                               request.caseSensitive, request.wholeValues);
    const IndexCheck check = index.Check(catalogs, "");
    std::vector<QueryOutcome> perCatalog(catalogs.size());
    std::atomic<std::size_t> nextCatalog{0};
    const auto work = [&] {
        std::vector<std::uint32_t> candidates;
        for (std::size_t i = nextCatalog++; i < catalogs.size(); i = nextCatalog++) {
            QueryOutcome& outcome = perCatalog[i];
            std::shared_ptr<const SegmentReader> segment;
            if (!check.current[i] || !index.OpenSegment(*check.current[i], segment).ok()
                || !query.FindCandidates(*segment, candidates).ok()) {
                std::fprintf(stderr, "catalog %s not indexed\n", catalogs[i].key.c_str());
                continue;
            }
            outcome.candidates += candidates.size();
            CatalogEntryReader reader;
            if (!candidates.empty() && !reader.Open(catalogs[i].path, &segment->Identity()).ok())
                continue;
            const SharedText catalogName(CatalogNameOfFile(catalogs[i].path));
            for (const std::uint32_t ordinal : candidates) {
                IndexedEntryValues values;
                if (!segment->Values(ordinal, values, kPatternValues))
                    break;
                EntryValues texts;
                texts.fields[kFileName] = values.fileName;
                texts.fields[kFileExt] = values.fileExt;
                texts.fields[kDescription] = values.description;
                const bool accepted = EntryMatches(conditions, texts);
                std::uint64_t offset = 0, next = 0;
                if (accepted && segment->EntrySpan(ordinal, offset, next))
                    reader.ReadAt(offset, next, catalogName, outcome.results);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned helper = 1; helper < threads; ++helper)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    QueryOutcome joined;
    for (QueryOutcome& outcome : perCatalog) {
        joined.candidates += outcome.candidates;
        std::move(outcome.results.begin(), outcome.results.end(), std::back_inserter(joined.results));
    }
    return joined;
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
    SearchRequest request;
    request.scopePath = LibraryRoot();
    request.scopeIsGroup = true;
    request.namePattern = pattern;
    std::size_t results = 0;
    for (auto _ : state) {
        NullProgress progress;
        CatalogTree tree;
        results = SearchCatalogs(request, progress, tree).resultCount;
    }
    state.counters["results"] = static_cast<double>(results);
}

void BM_StreamingSearchOneCatalog(benchmark::State& state)
{
    const std::vector<CatalogFile> catalogs = Catalogs();
    SearchRequest request;
    request.scopePath = catalogs.at(0).path;
    request.namePattern = "rock";
    for (auto _ : state) {
        NullProgress progress;
        CatalogTree tree;
        SearchCatalogs(request, progress, tree);
    }
}

void BM_BuildFromNothing(benchmark::State& state)
{
    const std::vector<CatalogFile> catalogs = Catalogs();
    std::uint64_t indexBytes = 0;
    std::size_t entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string cache = NewCacheFolder();
        state.ResumeTiming();
        std::unique_ptr<LibraryIndex> index;
        NullProgress progress;
        if (!LibraryIndex::Open(cache, LibraryRoot(), true, index).ok()
            || index->Build(catalogs, {}, testing::FeedSegmentFromXml, progress, static_cast<unsigned>(state.range(0))).built
                   != catalogs.size())
            state.SkipWithError("build failed");
        state.PauseTiming();
        indexBytes = index->Bytes();
        entries = 0;
        for (const IndexedCatalog& catalog : index->Catalogs())
            entries += catalog.entryCount;
        RemoveTree(cache);
        state.ResumeTiming();
    }
    const std::uint64_t catalogBytes = CatalogBytes(catalogs);
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["index_bytes"] = static_cast<double>(indexBytes);
    state.counters["catalog_bytes"] = static_cast<double>(catalogBytes);
    state.counters["size_ratio"] = catalogBytes ? static_cast<double>(indexBytes) / static_cast<double>(catalogBytes) : 0;
}

// One catalog changed (a new identity): the check finds it and only it is read again.
void BM_UpdateOneChangedCatalog(benchmark::State& state)
{
    SharedIndex& shared = Shared();
    if (!shared.index) {
        state.SkipWithError("no index");
        return;
    }
    const CatalogFile& changed = shared.catalogs.at(0);
    std::size_t read = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::int64_t when = WallClockNs() - 60'000'000'000;
        const struct timespec times[2] = {{when / 1'000'000'000, 0}, {when / 1'000'000'000, static_cast<long>(read % 1000)}};
        ::utimensat(AT_FDCWD, changed.path.c_str(), times, 0);
        state.ResumeTiming();
        const IndexCheck check = shared.index->Check(shared.catalogs, "");
        std::vector<CatalogFile> stale;
        for (const std::size_t i : check.stale)
            stale.push_back(shared.catalogs[i]);
        NullProgress progress;
        read = shared.index->Build(stale, check.orphans, testing::FeedSegmentFromXml, progress, 2).built;
    }
    state.counters["read"] = static_cast<double>(read);
}

void BM_IndexedQuery(benchmark::State& state, const std::string& pattern)
{
    const auto threads = static_cast<unsigned>(state.range(0));
    SharedIndex& shared = Shared();
    if (!shared.index) {
        state.SkipWithError("no index");
        return;
    }
    SearchRequest request;
    request.namePattern = pattern;
    QueryOutcome outcome;
    for (auto _ : state) {
        outcome = RunQuery(*shared.index, shared.catalogs, request, threads);
        benchmark::DoNotOptimize(outcome.results.data());
    }
    std::size_t resultBytes = 0;
    for (const EntryRecord& record : outcome.results)
        resultBytes += sizeof(record) + record.PackedBytes();
    state.counters["results"] = static_cast<double>(outcome.results.size());
    state.counters["candidates"] = static_cast<double>(outcome.candidates);
    state.counters["results_MB"] = static_cast<double>(resultBytes) / (1 << 20);

    // The anonymous memory of a fresh process that runs just this query, while it holds its
    // results (this program again, in its measuring mode).
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return;
    const std::string command = std::string(self) + " --measure-query " + shared.cache + " " + pattern + " " +
                                std::to_string(threads);
    if (FILE* child = ::popen(command.c_str(), "r")) {
        double anon = 0;
        if (std::fscanf(child, "%lf", &anon) == 1)
            state.counters["anon_MB"] = anon;
        ::pclose(child);
    }
}

// The measuring mode: one query through the index in the cache folder, then the resident
// anonymous memory in MB on stdout.
int MeasureQuery(const std::string& cache, const std::string& pattern, unsigned threads)
{
    std::unique_ptr<LibraryIndex> index;
    if (!LibraryIndex::Open(cache, LibraryRoot(), false, index).ok())
        return 1;
    SearchRequest request;
    request.namePattern = pattern;
    const QueryOutcome outcome = RunQuery(*index, Catalogs(), request, threads);
    std::printf("%.1f\n", RssAnonMegabytes());
    return outcome.results.empty() ? 1 : 0;
}

}  // namespace

BENCHMARK(BM_GrepLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_StreamingSearch, rock, std::string("rock"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BuildFromNothing)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_StreamingSearchOneCatalog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UpdateOneChangedCatalog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexedQuery, rock, std::string("rock"))->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexedQuery, Zeppelin, std::string("Zeppelin"))->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_IndexedQuery, ro, std::string("ro"))->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--measure-query")
        return MeasureQuery(argv[2], argv[3], static_cast<unsigned>(std::atoi(argv[4])));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
