// Export speed against the XML component's own parse and save of the same catalog, and the
// workbook's time and peak memory.
//
//   python3 /work/shared/bench/gen_catalog.py /tmp/cat1m.xml 1000000
//   python3 /work/shared/bench/gen_catalog.py /tmp/cat100k.xml 100000
//   bench_export_bench [--benchmark_filter=...]
// VELLUMARK_BENCH_CATALOG and VELLUMARK_BENCH_WORKBOOK_CATALOG replace the two paths.

#include "core/column_keys.h"
#include "core/file_info.h"
#include "core/xml_document.h"
#include "export/delimited_export.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "services/progress.h"
#include "services/prompts.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
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

std::string OutputPath(const char* extension)
{
    return "/tmp/vellumark-export-bench-" + std::to_string(::getpid()) + extension;
}

// Always chooses the same output file and agrees to overwrite it.
class FixedPrompts final : public Prompts {
public:
    explicit FixedPrompts(std::string path) : path_(std::move(path)) {}
    std::string ChooseOpenFile(const FileDialogRequest&) override { return {}; }
    std::string ChooseSaveFile(const FileDialogRequest&) override { return path_; }
    void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}
    bool AskYesNo(std::string_view, std::string_view, MessageIcon) override { return true; }

private:
    std::string path_;
};

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
    }
    std::remove(out.c_str());
}

// A selected catalog read straight into a tree, then written with every column: the export
// dialog's road for the tree writers.
template <typename Run>
void ExportSelectedCatalog(benchmark::State& state, const char* extension, Run run)
{
    if (!Readable(state, Catalog()))
        return;
    const std::string out = OutputPath(extension);
    FixedPrompts prompts(out);
    NullProgress progress;
    for (auto _ : state) {
        XmlDocument document;
        TFileInfo info(document, progress, prompts);
        info.ExportColumns().assign(kColumnKeys.begin(), kColumnKeys.end());
        CatalogTree tree;
        Status status = info.LoadCatalog(Catalog(), tree);
        if (status)
            status = run(info, &tree);
        if (!status) {
            state.SkipWithError(status.message().c_str());
            break;
        }
    }
    std::remove(out.c_str());
}

void BM_ExportCsv(benchmark::State& state)
{
    ExportSelectedCatalog(state, ".csv",
                          [](TFileInfo& info, const CatalogTree* tree) { return ExportCsv(info, "", ",", tree); });
}

void BM_ExportHtml(benchmark::State& state)
{
    ExportSelectedCatalog(state, ".htm",
                          [](TFileInfo& info, const CatalogTree* tree) { return ExportHtml(info, "", tree); });
}

// The writer given no tree: the catalog parsed into the document, which the writer reads into
// a temporary tree.
void BM_ExportCsvFromDocument(benchmark::State& state)
{
    if (!Readable(state, Catalog()))
        return;
    const std::string out = OutputPath(".csv");
    FixedPrompts prompts(out);
    NullProgress progress;
    for (auto _ : state) {
        XmlDocument document;
        TFileInfo info(document, progress, prompts);
        info.ExportColumns().assign(kColumnKeys.begin(), kColumnKeys.end());
        Status status = info.LoadFile(Catalog());
        if (status)
            status = ExportCsv(info, "", ",", nullptr);
        if (!status) {
            state.SkipWithError(status.message().c_str());
            break;
        }
    }
    std::remove(out.c_str());
}

void BM_ExportExcel(benchmark::State& state)
{
    if (!Readable(state, WorkbookCatalog()))
        return;
    const std::string out = OutputPath(".xlsx");
    FixedPrompts prompts(out);
    NullProgress progress;
    double peak = 0;
    double document = 0;
    for (auto _ : state) {
        XmlDocument catalog;
        TFileInfo info(catalog, progress, prompts);
        info.ExportColumns().assign(kColumnKeys.begin(), kColumnKeys.end());
        ResetPeakMemory();
        Status status = info.LoadFile(WorkbookCatalog());
        document = PeakMemoryMiB();
        if (status) {
            ResetPeakMemory();
            status = ExportExcel(info, "");
            peak = PeakMemoryMiB();
        }
        if (!status) {
            state.SkipWithError(status.message().c_str());
            break;
        }
    }
    state.counters["peak_MiB_after_load"] = document;
    state.counters["peak_MiB_during_export"] = peak;
    std::remove(out.c_str());
}

BENCHMARK(BM_PugixmlParseAndRawSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportHtml)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportCsvFromDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportExcel)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace vellumark

BENCHMARK_MAIN();
