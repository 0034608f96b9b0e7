// The size map of a large catalog: reading the sizes once (GUI thread), the layout for one
// window size and its drawing (worker), and in a build with the desktop program the whole way
// from "Show size map" to the first painted map in an offscreen window.
// Data: python3 shared/bench/gen_catalog.py /tmp/cat1m.xml 1000000; VELLUMARK_BENCH_CATALOG
// names another file. VELLUMARK_SIZE_MAP_PNG=FILE also saves the window's picture there.
#include "core/catalog_file.h"
#include "core/size_map_layout.h"

#include <benchmark/benchmark.h>

#ifdef QT_WIDGETS_LIB
#include "ui/file_list_model.h"
#include "ui/size_map_render.h"
#include "ui/size_map_view.h"
#include "ui/size_map_window.h"

#include <QApplication>
#include <QElapsedTimer>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using vellumark::CatalogTree;
using vellumark::SizeMapBlock;
using vellumark::SizeMapTree;

std::string CatalogPath()
{
    const char* path = std::getenv("VELLUMARK_BENCH_CATALOG");
    return path ? path : "/tmp/cat1m.xml";
}

const CatalogTree& Catalog()
{
    static const CatalogTree tree = [] {
        CatalogTree loaded;
        vellumark::NullProgress progress;
        if (!vellumark::ReadCatalogFile(CatalogPath(), loaded, progress)) {
            std::fprintf(stderr, "cannot load %s\n", CatalogPath().c_str());
            std::exit(1);
        }
        return loaded;
    }();
    return tree;
}

const SizeMapTree& Sizes()
{
    static const SizeMapTree sizes = SizeMapTree::Build(Catalog(), nullptr);
    return sizes;
}

// The frame the view uses with a 12-pixel font.
constexpr vellumark::SizeMapFrame kFrame{1, 17};

void BM_BuildSizes(benchmark::State& state)
{
    const CatalogTree& tree = Catalog();
    for (auto _ : state) {
        SizeMapTree sizes = SizeMapTree::Build(tree, nullptr);
        benchmark::DoNotOptimize(sizes);
        state.counters["items"] = static_cast<double>(sizes.ItemCount());
    }
    state.counters["entries"] = static_cast<double>(tree.NodeCount());
}

void BM_Layout(benchmark::State& state)
{
    const SizeMapTree& sizes = Sizes();
    const vellumark::SizeMapRect area{0, 0, static_cast<double>(state.range(0)), static_cast<double>(state.range(1))};
    std::vector<SizeMapBlock> blocks;
    for (auto _ : state)
        vellumark::LayoutSizeMap(sizes, area, kFrame, blocks);
    state.counters["blocks"] = static_cast<double>(blocks.size());
}

#ifdef QT_WIDGETS_LIB
void BM_Render(benchmark::State& state)
{
    const QSize size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<SizeMapBlock> blocks;
    vellumark::LayoutSizeMap(Sizes(), {0, 0, static_cast<double>(size.width()), static_cast<double>(size.height())},
                             kFrame, blocks);
    for (auto _ : state)
        benchmark::DoNotOptimize(vellumark::RenderSizeMap(blocks, size, 1, kFrame));
}

// From ShowSizeMap (which reads the sizes) to the window's first paint of its layout, at the
// window's first size.
void BM_ShowSizeMapToFirstPaint(benchmark::State& state)
{
    QWidget owner;
    vellumark::FileListModel model(&owner);
    {
        CatalogTree copy;
        vellumark::NullProgress progress;
        vellumark::ReadCatalogFile(CatalogPath(), copy, progress);
        model.AdoptTree(std::move(copy));
    }
    std::size_t blocks = 0;
    for (auto _ : state) {
        vellumark::SizeMapWindow* window = vellumark::ShowSizeMap(&owner, model, nullptr);
        vellumark::SizeMapView* view = window->View();
        QElapsedTimer timeout;
        timeout.start();
        while (view->LayoutSize() != view->size() && timeout.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        view->repaint();
        blocks = view->Blocks().size();
        state.PauseTiming();
        if (const char* png = std::getenv("VELLUMARK_SIZE_MAP_PNG"))
            window->grab().save(QString::fromLocal8Bit(png));
        window->close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["entries"] = static_cast<double>(model.Tree().NodeCount());
}
#endif

}  // namespace

BENCHMARK(BM_BuildSizes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Layout)->Unit(benchmark::kMillisecond)->Args({1280, 800})->Args({1920, 1080})->Args({3840, 2160});
#ifdef QT_WIDGETS_LIB
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond)->Args({1280, 800})->Args({1920, 1080});
BENCHMARK(BM_ShowSizeMapToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(5);
#endif

int main(int argc, char** argv)
{
#ifdef QT_WIDGETS_LIB
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
