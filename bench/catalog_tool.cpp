// A command for whole-process measurements (hyperfine, /usr/bin/time -v): loads a catalog the
// program's way or the XML component's way, and optionally saves it again.
//   catalog_tool load FILE        streamed load into a tree
//   catalog_tool pugixml FILE     the component's load_file and one walk over all attributes
//   catalog_tool save FILE OUT    streamed load, then save
#include "core/catalog_file.h"

#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    vellumark::NullProgress progress;
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
