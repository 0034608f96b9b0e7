#pragma once

#include "core/catalog_file.h"
#include "core/catalog_tree.h"
#include "export/export_formats.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vellumark::testing {

// A fresh folder and a small catalog: a folder with two files, the first without a description.
class ExportTest : public ::testing::Test {
protected:
    ExportTest()
    {
        CatalogTreeNode* root = AddEntry(nullptr, "Disc", "/media/Disc", "30", "directory", "");
        AddEntry(root, "a.txt", "/media/Disc/a.txt", "10", "file", "");
        AddEntry(root, "b.mp3", "/media/Disc/b.mp3", "20", "file", "best");
    }

    CatalogTreeNode* AddEntry(CatalogTreeNode* parent, std::string_view name, std::string_view path,
                              std::string_view size, std::string_view kind, std::string_view description)
    {
        CatalogTreeNode* node = tree.Append(parent);
        node->record.SetField(kFileName, name);
        node->record.SetField(kFullPath, path);
        node->record.SetField(kFileSize, size);
        node->record.SetField(kFileType, kind);
        node->record.SetField(kDescription, description);
        node->record.SetField(kDiskName, "Disc");
        return node;
    }

    // Writes the tree as a catalog file of the folder and forgets what that showed.
    std::string WriteCatalog(std::string_view name)
    {
        const std::string path = dir / name;
        EXPECT_TRUE(WriteCatalogFile(tree, path, progress).ok());
        progress.shownMessages.clear();
        progress.shows = progress.hides = 0;
        return path;
    }

    // An export of the tree (the screen), or of a catalog file when one is given.
    Status Export(ExportFormatKind format, const std::string& out, const std::string& catalog = {})
    {
        ExportJob job;
        job.format = format;
        job.catalogPath = catalog;
        job.screen = &tree;
        job.columns = columns;
        job.outputPath = out;
        return RunExport(job, progress);
    }

    TempDir dir;
    RecordingProgress progress;
    CatalogTree tree;
    std::vector<std::string> columns;
};

// Runs a Python script (written to the folder) with the arguments and returns what it printed.
inline std::string RunPython(const TempDir& dir, std::string_view script, const std::vector<std::string>& arguments)
{
    const std::string scriptPath = dir / "check.py";
    WriteFile(scriptPath, script);
    std::string command = "python3 '" + scriptPath + "'";
    for (const std::string& argument : arguments)
        command += " '" + argument + "'";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, got);
        EXPECT_EQ(::pclose(pipe), 0) << command;
    } else {
        ADD_FAILURE() << "cannot run " << command;
    }
    return output;
}

}  // namespace vellumark::testing
