#pragma once

#include "core/catalog_tree.h"
#include "core/xml_document.h"
#include "services/progress.h"
#include "services/prompts.h"
#include "services/status.h"

#include <string>
#include <vector>

namespace vellumark {

inline constexpr const char* kXmlExtension = ".xml";
inline constexpr const char* kXmlFilter = "XML File|*.XML";

// Moves a catalog between a file, an XML document and a tree. Made for one operation; it
// borrows the caller's document (the main window's one document) and never frees it.
class TFileInfo {
public:
    TFileInfo(XmlDocument& document, Progress& progress, Prompts& prompts);

    XmlDocument& Document() { return document_; }
    Progress& GetProgress() { return progress_; }
    Prompts& GetPrompts() { return prompts_; }
    const std::string& CatalogPath() const { return catalogPath_; }
    // Column keys in output order, for the export writers.
    std::vector<std::string>& ExportColumns() { return exportColumns_; }

    void ResetDocument();
    XmlElement RootElement();
    void GatherFromTree(const CatalogTree& tree);
    // Ok when a file was parsed; Cancelled when no file was chosen; Failed with the parser's
    // message otherwise.
    Status LoadFile(std::string path);
    void LoadIntoTree(CatalogTree& tree);
    Status SaveFile(std::string path);
    Status AppendToFile(const std::string& path);
    Status SaveOrAppend(const std::string& path);

    // The main window's two roads, streamed: LoadFile followed by LoadIntoTree, and
    // ResetDocument, GatherFromTree and SaveFile, with the same results but without building
    // a document. The tree is kept as it was when loading fails.
    Status LoadCatalog(std::string path, CatalogTree& tree);
    Status SaveCatalog(const CatalogTree& tree, std::string path);

private:
    std::string AskCatalogToOpen();
    std::string AskCatalogToSave();

    XmlDocument& document_;
    Progress& progress_;
    Prompts& prompts_;
    std::string catalogPath_;
    std::vector<std::string> exportColumns_;
};

}  // namespace vellumark
