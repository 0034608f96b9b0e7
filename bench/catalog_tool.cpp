// A command for whole-process measurements (hyperfine, /usr/bin/time -v): loads a catalog the
// program's way or the XML component's way, and optionally saves it again.
//   catalog_tool load FILE        streamed load into a tree
//   catalog_tool pugixml FILE     the component's load_file and one walk over all attributes
//   catalog_tool save FILE OUT    streamed load, then save
//   catalog_tool memory FILE      streamed load; the tree's own memory (heap in use after the
//                                 load less before it) against the peak the load took (peak
//                                 resident memory less the resident memory before it)
#include "core/catalog_file.h"

#include <pugixml.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
double StatusBytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::strtod(line.c_str() + std::strlen(field) + 1, nullptr) * 1024.0;
    return 0;
}

int Memory(const char* path)
{
    vellumark::NullProgress progress;
    vellumark::CatalogTree tree;
    const double residentBefore = StatusBytes("VmRSS");
    const std::size_t heapBefore = mallinfo2().uordblks;
    if (vellumark::Status status = vellumark::ReadCatalogFile(path, tree, progress); !status) {
        std::fprintf(stderr, "%s\n", status.message().c_str());
        return 1;
    }
    const double treeBytes = static_cast<double>(mallinfo2().uordblks - heapBefore);
    const double peakBytes = StatusBytes("VmHWM") - residentBefore;
    std::printf("entries %zu, tree %.1f MB, load peak %.1f MB, ratio %.3f\n", tree.NodeCount(), treeBytes / 1e6,
                peakBytes / 1e6, peakBytes / treeBytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    vellumark::NullProgress progress;
    if (mode == "memory")
        return Memory(argv[2]);
    if (mode == "pugixml") {
        pugi::xml_document document;
        if (!document.load_file(argv[2]))
            return 1;
        struct Walker : pugi::xml_tree_walker {
            std::size_t total = 0;
            bool for_each(pugi::xml_node& node) override
            {
                for (pugi::xml_attribute attribute : node.attributes())
                    total += std::strlen(attribute.value());
                return true;
            }
        } walker;
        document.traverse(walker);
        std::printf("%zu\n", walker.total);
        return 0;
    }
    vellumark::CatalogTree tree;
    if (vellumark::Status status = vellumark::ReadCatalogFile(argv[2], tree, progress); !status) {
        std::fprintf(stderr, "%s\n", status.message().c_str());
        return 1;
    }
    if (mode == "save" && argc > 3)
        return vellumark::WriteCatalogFile(tree, argv[3], progress) ? 0 : 1;
    std::printf("%zu\n", tree.NodeCount());
    return 0;
}
