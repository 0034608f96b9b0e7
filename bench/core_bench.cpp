// Loading and saving a catalog against the XML component doing the same work.
// Data: python3 shared/bench/gen_catalog.py /tmp/cat1m.xml 1000000; VELLUMARK_BENCH_CATALOG
// names another file.
#include "core/catalog_file.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <malloc.h>
#include <string>

namespace {

std::string CatalogPath()
{
    const char* path = std::getenv("VELLUMARK_BENCH_CATALOG");
    return path ? path : "/tmp/cat1m.xml";
}

std::size_t HeapInUse() { return mallinfo2().uordblks; }

void BM_PugixmlLoadAndWalkAttributes(benchmark::State& state)
{
    for (auto _ : state) {
        pugi::xml_document document;
        if (!document.load_file(CatalogPath().c_str())) {
            state.SkipWithError("cannot load the catalog");
            return;
        }
        std::size_t bytes = 0;
        struct Walker : pugi::xml_tree_walker {
            std::size_t* total;
            bool for_each(pugi::xml_node& node) override
            {
                for (pugi::xml_attribute attribute : node.attributes())
                    *total += std::char_traits<char>::length(attribute.value());
                return true;
            }
        } walker;
        walker.total = &bytes;
        document.traverse(walker);
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_ReadCatalogFile(benchmark::State& state)
{
    vellumark::NullProgress progress;
    std::size_t entries = 0;
    for (auto _ : state) {
        vellumark::CatalogTree tree;
        const std::size_t before = HeapInUse();
        if (!vellumark::ReadCatalogFile(CatalogPath(), tree, progress)) {
            state.SkipWithError("cannot load the catalog");
            return;
        }
        entries = tree.NodeCount();
        state.counters["heap_bytes_per_entry"] =
            static_cast<double>(HeapInUse() - before) / static_cast<double>(entries ? entries : 1);
    }
    state.counters["entries"] = static_cast<double>(entries);
}

void BM_PugixmlSaveRaw(benchmark::State& state)
{
    pugi::xml_document document;
    document.load_file(CatalogPath().c_str(), pugi::parse_default | pugi::parse_declaration);
    for (auto _ : state)
        document.save_file("/tmp/vellumark-bench-pugixml.xml", "", pugi::format_raw);
}

void BM_WriteCatalogFile(benchmark::State& state)
{
    vellumark::NullProgress progress;
    vellumark::CatalogTree tree;
    vellumark::ReadCatalogFile(CatalogPath(), tree, progress);
    for (auto _ : state)
        vellumark::WriteCatalogFile(tree, "/tmp/vellumark-bench-catalog.xml", progress);
}

}  // namespace

BENCHMARK(BM_PugixmlLoadAndWalkAttributes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadCatalogFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PugixmlSaveRaw)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteCatalogFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
