#include "ui/catalog_session.h"

#include "core/catalog_file.h"
#include "core/entry_edit.h"
#include "services/messages.h"
#include "services/prompts.h"
#include "system/file_lock.h"
#include "system/file_status.h"
#include "ui/command_guard.h"
#include "ui/file_list_model.h"
#include "ui/task_runner.h"
#include "ui/user_file_write.h"

#include <iterator>

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

Status CatalogSession::SaveNewCatalog(bool replaceAgreed)
{
    const std::string path = catalogPath_;
    // Taken here: the model puts any level still owing its sort in order on first reading, which
    // must happen on this thread, not on the worker while the views paint.
    const CatalogTree& tree = model_->Tree();
    const Status saved = WriteUserFile(runner_, prompts_, messages::kSavingInfo, replaceAgreed,
                                       [&](Progress& progress, bool replace) {
                                           // An edit of the old catalog in flight lands before it is replaced.
                                           FileLock replacing;
                                           if (replace)
                                               replacing = FileLock::OnPath(path);
                                           return WriteCatalogFile(tree, path, progress);
                                       });
    if (saved.ok())
        identity_ = IdentityOf(StatusOfPath(path, FollowLinks::Yes));
    return saved;
}

Status CatalogSession::SaveEdits()
{
    std::vector<EntryEdit> edits = std::move(pendingEdits_);
    pendingEdits_.clear();
    if (catalogPath_.empty()) {
        // Asked here rather than on the worker, so the dialog is not hidden behind the wait window.
        const SaveTarget target = AskSaveFile(prompts_, {std::string(kCatalogExtension), std::string(kCatalogFilter), ""});
        if (target.path.empty())
            return Status::Cancelled();
        const CatalogTree& tree = model_->Tree();  // sorted here, as above
        return WriteUserFile(runner_, prompts_, messages::kSavingInfo, target.replaceAgreed,
                             [&](Progress& progress, bool) { return WriteCatalogFile(tree, target.path, progress); });
    }

    if (edits.empty())
        return Status::Ok();
    const std::optional<FileStatus> readIdentity = identity_ ? std::optional(*identity_) : std::nullopt;
    CatalogSaveOutcome outcome;
    const CatalogTree& shown = model_->Tree();  // sorted here, as above
    const Status saved = runner_.Run(messages::kSavingInfo, false, [&](Progress& progress) {
        return SaveCatalogEdits(catalogPath_, shown, readIdentity, edits, outcome, progress);
    });
    if (outcome.reread) {
        // The list shows the file as it is now; a refused edit is dropped with the old content.
        model_->AdoptTree(std::move(outcome.fresh));
        identity_ = IdentityOf(outcome.identity);
        CatalogShown();
        if (saved.ok())
            prompts_.ShowMessage(messages::kWarningCaption, messages::kCatalogReread, MessageIcon::Information);
    } else if (saved.ok()) {
        identity_ = IdentityOf(outcome.identity);
    } else {
        // Nothing was written: the edits wait for the next save.
        edits.insert(edits.end(), std::make_move_iterator(pendingEdits_.begin()), std::make_move_iterator(pendingEdits_.end()));
        pendingEdits_ = std::move(edits);
    }
    return saved;
}

void CatalogSession::EditEntry(CatalogTreeNode& node, int key, const std::string& text)
{
    // Found by the path it had before the edit, should the file have to be read again.
    pendingEdits_.push_back({std::string(node.record.Field(kFullPath)), key, text});
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
    RunCommand(prompts_, [this] { ReportStatus(prompts_, SaveEdits()); });
}

}  // namespace vellumark
