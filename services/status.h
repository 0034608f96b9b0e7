#pragma once

#include <string>
#include <utility>

namespace vellumark {

// The outcome of an operation that can fail, with a message meant for the user.
// The code tells callers (and the command-line tool's exit status) what kind of failure it was.
class Status {
public:
    enum class Code {
        Ok,
        Cancelled,  // the user chose nothing or answered No; nothing was done
        Failed,     // reading, parsing or writing went wrong
        Invalid,    // bad input: a bad name, a missing folder or catalog
        Exists,     // refused because the target exists or is taken
    };

    Status() = default;
    static Status Ok() { return {}; }
    static Status Cancelled() { return Status(Code::Cancelled, {}); }
    static Status Failed(std::string message) { return Status(Code::Failed, std::move(message)); }
    static Status Invalid(std::string message) { return Status(Code::Invalid, std::move(message)); }
    static Status Exists(std::string message) { return Status(Code::Exists, std::move(message)); }

    bool ok() const { return code_ == Code::Ok; }
    explicit operator bool() const { return ok(); }
    Code code() const { return code_; }
    const std::string& message() const { return message_; }

private:
    Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}

    Code code_ = Code::Ok;
    std::string message_;
};

}  // namespace vellumark
