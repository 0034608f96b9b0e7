#pragma once

#include "services/status.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Writes a file as a whole or not at all: the bytes go to a temporary file in the target's
// folder, which replaces the target by rename only when it is complete and synced. Until
// Commit succeeds the old file stays untouched; a failure or a destroyed writer removes the
// temporary file. Every file the program writes goes through here.
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
    Status Commit();

    const std::string& TargetPath() const { return target_; }
    // The temporary file, between Open and Commit, for a writer that must write the file itself
    // by name (a library): it writes into that file instead of calling Write, and Commit syncs
    // it and puts it in the target's place.
    const std::string& TemporaryPath() const { return temp_; }

private:
    Status Flush();
    Status Fail(std::string what, int error);
    void Discard();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    std::vector<char> buffer_;
    Status status_;
};

// Writes the whole text to the path through an AtomicFile.
Status WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace vellumark
