#include "ui/catalog_session.h"

#include "core/catalog_file.h"
#include "core/entry_edit.h"
#include "services/messages.h"
#include "system/file_status.h"
#include "ui/command_guard.h"
#include "ui/file_list_model.h"
#include "ui/task_runner.h"

namespace vellumark {

namespace {

std::unique_ptr<FileStatus> IdentityOf(const std::optional<FileStatus>& status)
{
    return status ? std::make_unique<FileStatus>(*status) : nullptr;
}

}  // namespace

CatalogSession::CatalogSession(TaskRunner& runner, Prompts& prompts, QObject* parent)
    : QObject(parent), runner_(runner), prompts_(prompts), model_(new FileListModel(this))
{
    model_->SetEditHandler([this](CatalogTreeNode& node, int key, const std::string& text) {
        RunCommand(prompts_, [&] {
            EditEntry(node, key, text);
            if (listEdited_)
                listEdited_(node);
        });
    });
}

CatalogSession::~CatalogSession() = default;

const CatalogTree& CatalogSession::Tree() const { return model_->Tree(); }

void CatalogSession::CatalogShown()
{
    if (catalogShown_)
        catalogShown_();
}

Status CatalogSession::Open(const std::string& path)
{
    if (path == catalogPath_)
        return Status::Ok();
    WritePendingSave();
    CatalogTree tree;
    std::optional<FileStatus> identity;
    const Status loaded = runner_.Run(messages::kLoadingInfo, false, [&](Progress& progress) {
        // Taken before the read: a change made while the file is read then shows as a change
        // since the identity, never the other way round.
        identity = StatusOfPath(path, FollowLinks::Yes);
        return ReadCatalogFile(path, tree, progress);
    });
    if (!loaded.ok())
        return loaded;
    model_->AdoptTree(std::move(tree));
    catalogPath_ = path;
    identity_ = IdentityOf(identity);
    CatalogShown();
    return Status::Ok();
}

void CatalogSession::Adopt(CatalogTree tree, std::string path)
{
    WritePendingSave();
    model_->AdoptTree(std::move(tree));
    catalogPath_ = std::move(path);
    identity_.reset();
    CatalogShown();
}

void CatalogSession::Detach()
{
    WritePendingSave();
    catalogPath_.clear();
    identity_.reset();
}

void CatalogSession::Clear()
{
    Detach();
    model_->Clear();
}

void CatalogSession::AppendResults(CatalogTree batch) { model_->AppendBatch(std::move(batch)); }

Status CatalogSession::SaveCatalog()
{
    std::string path = catalogPath_;
    // Asked here rather than on the worker, so the dialog is not hidden behind the wait window.
    if (path.empty())
        path = AskSaveFile(prompts_, {std::string(kCatalogExtension), std::string(kCatalogFilter), ""});
    if (path.empty())
        return Status::Cancelled();
    const Status saved = runner_.Run(messages::kSavingInfo, false,
                                     [&](Progress& progress) { return WriteCatalogFile(model_->Tree(), path, progress); });
    // The save replaced the file: the list now matches the new one. A file chosen for search
    // results does not make the list that file's catalog.
    if (saved.ok() && path == catalogPath_)
        identity_ = IdentityOf(StatusOfPath(path, FollowLinks::Yes));
    return saved;
}

void CatalogSession::EditEntry(CatalogTreeNode& node, int key, const std::string& text)
{
    ApplyEntryEdit(node, key, text);
    model_->EntryChanged(node, key == kFileName);
    QueueSave();
}

void CatalogSession::QueueSave()
{
    // The save runs right after the edit has finished, outside the editor's own call, so the
    // wait window's event loop never runs inside a model's setData.
    if (savePending_)
        return;
    savePending_ = true;
    QMetaObject::invokeMethod(this, [this] { WritePendingSave(); }, Qt::QueuedConnection);
}

void CatalogSession::WritePendingSave()
{
    if (!savePending_)
        return;
    savePending_ = false;
    RunCommand(prompts_, [this] { ReportStatus(prompts_, SaveCatalog()); });
}

}  // namespace vellumark
