#pragma once

#include "core/catalog_edit.h"
#include "core/catalog_tree.h"
#include "services/prompts.h"
#include "services/status.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vellumark {

class FileListModel;
class TaskRunner;
struct FileStatus;

// What the main window's file list holds: one catalog read from its file, the results of a
// search (which belong to no file), or nothing. The session owns the list's model and is the
// one place that opens, saves and edits what the list shows, so the path, the tree and the
// file they came from always agree. Reading and writing run on the runner's worker behind
// the wait window; everything else runs on the GUI thread.
class CatalogSession final : public QObject {
public:
    CatalogSession(TaskRunner& runner, Prompts& prompts, QObject* parent = nullptr);
    ~CatalogSession() override;

    // The list's entries as the view shows them.
    FileListModel* Model() const { return model_; }
    const CatalogTree& Tree() const;
    // The catalog file the list shows; empty while it shows nothing or search results.
    const std::string& CatalogPath() const { return catalogPath_; }
    // The catalog file (system/file_status.h) as it was when the list's tree was read from it
    // or last written to it; nullptr while the list belongs to no file or its file is not
    // written yet.
    const FileStatus* FileIdentity() const { return identity_.get(); }

    // Reads the catalog on a worker and shows it; the path already shown does nothing. On
    // failure the list, the path and the identity stay as they were.
    Status Open(const std::string& path);
    // Shows a tree built elsewhere (a scan) as the catalog at the path, before it is written.
    void Adopt(CatalogTree tree, std::string path);
    // The list stays but no longer belongs to its file: a later save asks for one.
    void Detach();
    // Empties the list; it belongs to no file.
    void Clear();
    // Appends a batch of search results (top-level entries) at the end of the list.
    void AppendResults(CatalogTree batch);

    // Writes the list to the catalog file it was adopted with (a new catalog), on a worker. A
    // file found at the path is kept unless the user agreed to replace it (see WriteUserFile).
    Status SaveNewCatalog(bool replaceAgreed);
    // Saves the edits since the last save. The list's catalog file is edited under its lock: when
    // another window, program or machine changed it since it was read, it is read again, the
    // edits are applied to its fresh content, the list shows that content and the user is told.
    // A list that belongs to no file (search results) is written whole where the user says.
    Status SaveEdits();
    // Stores the edit of one field as the user typed it and queues the save: it runs right
    // after the editor's call, and edits in quick succession share it.
    void EditEntry(CatalogTreeNode& node, int key, const std::string& text);

    // The window's reactions: a catalog file's tree has just filled the list (opened or
    // scanned); an entry was edited in the list itself (not in the detail panel).
    void SetCatalogShownHandler(std::function<void()> handler) { catalogShown_ = std::move(handler); }
    void SetListEditHandler(std::function<void(CatalogTreeNode& node)> handler) { listEdited_ = std::move(handler); }

private:
    void CatalogShown();
    void QueueSave();
    // Runs a queued save now. Called before the list changes, so that an edit is written to
    // the file it was made in, whatever the order in which the queued call and the command
    // that replaces the list reach the event loop.
    void WritePendingSave();

    TaskRunner& runner_;
    Prompts& prompts_;
    FileListModel* model_;
    std::string catalogPath_;
    std::unique_ptr<FileStatus> identity_;
    std::vector<EntryEdit> pendingEdits_;  // since the last save, in the order made
    bool savePending_ = false;
    std::function<void()> catalogShown_;
    std::function<void(CatalogTreeNode& node)> listEdited_;
};

}  // namespace vellumark
