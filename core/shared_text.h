#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vellumark {

// An immutable, reference-counted text. Fields that repeat across a catalog (its disk name,
// the two kinds, the extensions) point at one copy instead of each holding their own.
// The count is atomic: trees are built on a worker and handed to the GUI thread.
class SharedText {
public:
    SharedText() = default;
    explicit SharedText(std::string_view text);
    SharedText(const SharedText& other) noexcept;
    SharedText(SharedText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    SharedText& operator=(SharedText other) noexcept;
    ~SharedText();

    std::string_view View() const { return block_ ? std::string_view(block_->data, block_->size) : std::string_view(); }
    bool Empty() const { return block_ == nullptr; }
    bool SameBlock(const SharedText& other) const { return block_ == other.block_; }

    // The two kinds, shared by every tree of the program.
    static const SharedText& Directory();
    static const SharedText& File();

private:
    struct Block {
        std::atomic<std::int32_t> references;
        std::uint32_t size;
        char data[1];
    };
    void Release() noexcept;

    Block* block_ = nullptr;
};

// Hands out one SharedText per distinct value while a tree is built. Bounded, so that a
// catalog of a million distinct values costs no more than plain texts.
class TextPool {
public:
    SharedText Get(std::string_view text);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    static constexpr std::size_t kMaxEntries = 4096;
    std::unordered_map<std::string, SharedText, Hash, std::equal_to<>> texts_;
};

}  // namespace vellumark
