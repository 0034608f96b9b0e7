// Export speed against the XML component's own parse and save of the same catalog, and the
// workbook's time and peak memory. Every export is a selected catalog's, as the export dialog
// runs it: read (for HTML and CSV into a tree, for XML and xlsx streamed) and written.
//
//   python3 /work/shared/bench/gen_catalog.py /tmp/cat1m.xml 1000000
//   python3 /work/shared/bench/gen_catalog.py /tmp/cat100k.xml 100000
//   bench_export_bench [--benchmark_filter=...]
// VELLUMARK_BENCH_CATALOG and VELLUMARK_BENCH_WORKBOOK_CATALOG replace the two paths.

#include "core/column_keys.h"
#include "export/export_formats.h"
#include "services/progress.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <fcntl.h>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>
#include <unistd.h>

namespace vellumark {
namespace {

std::string EnvOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

const std::string& Catalog()
{
    static const std::string path = EnvOr("VELLUMARK_BENCH_CATALOG", "/tmp/cat1m.xml");
    return path;
}

const std::string& WorkbookCatalog()
{
    static const std::string path = EnvOr("VELLUMARK_BENCH_WORKBOOK_CATALOG", "/tmp/cat100k.xml");
    return path;
}

std::string OutputPath(std::string_view extension)
{
    return "/tmp/vellumark-export-bench-" + std::to_string(::getpid()) + std::string(extension);
}

bool Readable(benchmark::State& state, const std::string& path)
{
    if (std::ifstream(path).good())
        return true;
    state.SkipWithError(("missing " + path + "; see the head of export_bench.cpp").c_str());
    return false;
}

// Peak resident memory since the last reset, in MiB (Linux: VmHWM, reset through clear_refs).
// Memory freed by earlier benchmarks is handed back first, else it would count as resident.
void ResetPeakMemory()
{
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
double PeakMemoryMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void BM_PugixmlParseAndRawSave(benchmark::State& state)
{
    if (!Readable(state, Catalog()))
        return;
    const std::string out = OutputPath(".xml");
    for (auto _ : state) {
        pugi::xml_document document;
        if (!document.load_file(Catalog().c_str())) {
            state.SkipWithError("parse failed");
            break;
        }
        document.save_file(out.c_str(), "", pugi::format_raw);
        // Synced as every export is, so that both sides pay for the disk.
        const int fd = ::open(out.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0) {
            state.SkipWithError("sync failed");
            if (fd >= 0)
                ::close(fd);
            break;
        }
        ::close(fd);
    }
    std::remove(out.c_str());
}

ExportJob SelectedCatalogJob(ExportFormatKind format, const std::string& catalog, const std::string& out)
{
    ExportJob job;
    job.format = format;
    job.catalogPath = catalog;
    job.columns.assign(kColumnKeys.begin(), kColumnKeys.end());
    job.outputPath = out;
    return job;
}

// A selected catalog exported with every column.
void ExportSelectedCatalog(benchmark::State& state, ExportFormatKind format)
{
    if (!Readable(state, Catalog()))
        return;
    const std::string out = OutputPath(ExportFormatOf(format).extension);
    const ExportJob job = SelectedCatalogJob(format, Catalog(), out);
    NullProgress progress;
    for (auto _ : state) {
        if (const Status status = RunExport(job, progress); !status) {
            state.SkipWithError(status.message().c_str());
            break;
        }
    }
    std::remove(out.c_str());
}

void BM_ExportCsv(benchmark::State& state) { ExportSelectedCatalog(state, ExportFormatKind::Csv); }

void BM_ExportHtml(benchmark::State& state) { ExportSelectedCatalog(state, ExportFormatKind::Html); }

// The catalog's bytes copied while the reader checks them.
void BM_ExportXml(benchmark::State& state) { ExportSelectedCatalog(state, ExportFormatKind::Xml); }

void BM_ExportExcel(benchmark::State& state)
{
    if (!Readable(state, WorkbookCatalog()))
        return;
    const std::string out = OutputPath(".xlsx");
    const ExportJob job = SelectedCatalogJob(ExportFormatKind::Excel, WorkbookCatalog(), out);
    NullProgress progress;
    double peak = 0;
    for (auto _ : state) {
        ResetPeakMemory();
        if (const Status status = RunExport(job, progress); !status) {
            state.SkipWithError(status.message().c_str());
            break;
        }
        peak = PeakMemoryMiB();
    }
    state.counters["peak_MiB_during_export"] = peak;
    std::remove(out.c_str());
}

BENCHMARK(BM_PugixmlParseAndRawSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportHtml)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportXml)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportExcel)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace vellumark

BENCHMARK_MAIN();
