#pragma once

#include "services/status.h"
#include "system/folder_listing.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Writes a file as a whole or not at all: the bytes go to a temporary file in the target's
// folder, which takes the target's place by rename only when it is complete and synced. Until
// Commit succeeds the old file stays untouched; a failure or a destroyed writer removes the
// temporary file. Every file the program writes goes through here.
//
// The temporary file has a short name of fixed length (IsTemporaryFileName), so a target of the
// longest name the file system allows can be written, and the writer holds a lock on it for its
// whole life: a reader of the folder that finds one unlocked knows its writer died and may
// remove it (RemoveStaleTemporaryFile). The folder is opened once; the file is created and
// renamed inside it, so a folder renamed meanwhile takes the new file along.
class AtomicFile {
public:
    // The steps at which a write can fail; tests make each of them fail in turn.
    enum class Step { Create, Write, Sync, Rename };
    using FaultHook = std::function<bool(Step)>;  // returns true to make the step fail
    static void SetFaultHook(FaultHook hook);

    explicit AtomicFile(std::string targetPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    Status Open();
    // Buffered; after the first failure every further call returns that failure.
    Status Write(std::string_view bytes);
    // Puts the file in the target's place, replacing what is there; on a thread where a
    // NoReplaceScope lives, as CommitWithoutReplacing.
    Status Commit();
    // Puts the file in the target's place only when nothing is there at that moment, else
    // Exists (and the new file is removed). The rename itself decides (renameat2 with
    // RENAME_NOREPLACE; link and unlink where the file system refuses that), so of two writers
    // racing for one name exactly one wins.
    Status CommitWithoutReplacing();

    const std::string& TargetPath() const { return target_; }
    // The temporary file, between Open and Commit, for a writer that must write the file itself
    // by name (a library): it writes into that file instead of calling Write, and Commit syncs
    // it and puts it in the target's place.
    const std::string& TemporaryPath() const { return temp_; }

private:
    Status Flush();
    Status WriteOut(std::string_view bytes);
    Status Place(bool replace);
    Status Fail(std::string what, int error);
    void Discard();

    std::string target_;
    std::string targetName_;
    FolderHandle folder_;
    std::string temp_;
    std::string tempName_;
    int fd_ = -1;
    std::vector<char> buffer_;
    Status status_;
};

// While one lives, every AtomicFile committed on this thread keeps an existing target: Commit
// acts as CommitWithoutReplacing. A front end sets one around writers that make their files
// themselves (the catalog writer, the exports) when the user has not agreed to replace the
// target, so the decision falls at the final rename and not at an earlier look.
class NoReplaceScope {
public:
    NoReplaceScope();
    ~NoReplaceScope();
    NoReplaceScope(const NoReplaceScope&) = delete;
    NoReplaceScope& operator=(const NoReplaceScope&) = delete;

private:
    bool outer_;
};

// True for the names AtomicFile gives its temporary files: ".vm-", eight lower-case letters or
// digits, ".tmp". Such a file is never a catalog nor an export.
bool IsTemporaryFileName(std::string_view name);

// Removes the temporary file of that name in the open folder when no writer holds its lock:
// its writer died before it finished. A file a live writer holds, on this machine or another,
// is left alone; so is one whose lock cannot be tried (no permission to read it, a file system
// without locks). Never judged by age or process. True when it was removed.
bool RemoveStaleTemporaryFile(int folderFd, const char* name);

// Writes the whole text to the path through an AtomicFile.
Status WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace vellumark
