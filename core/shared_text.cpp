#include "core/shared_text.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vellumark {

SharedText::SharedText(std::string_view text)
{
    if (text.empty())
        return;
    void* memory = std::malloc(offsetof(Block, data) + text.size());
    if (memory == nullptr)
        throw std::bad_alloc();
    block_ = static_cast<Block*>(memory);
    new (&block_->references) std::atomic<std::int32_t>(1);
    block_->size = static_cast<std::uint32_t>(text.size());
    std::memcpy(block_->data, text.data(), text.size());
}

SharedText::SharedText(const SharedText& other) noexcept : block_(other.block_)
{
    if (block_)
        block_->references.fetch_add(1, std::memory_order_relaxed);
}

SharedText& SharedText::operator=(SharedText other) noexcept
{
    std::swap(block_, other.block_);
    return *this;
}

SharedText::~SharedText() { Release(); }

void SharedText::Release() noexcept
{
    if (block_ && block_->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        std::free(block_);
    block_ = nullptr;
}

const SharedText& SharedText::Directory()
{
    // Never destroyed: trees owned by other statics may outlive this one.
    static const SharedText* text = new SharedText("directory");
    return *text;
}

const SharedText& SharedText::File()
{
    static const SharedText* text = new SharedText("file");
    return *text;
}

SharedText TextPool::Get(std::string_view text)
{
    if (text.empty())
        return {};
    if (auto found = texts_.find(text); found != texts_.end())
        return found->second;
    SharedText shared(text);
    if (texts_.size() < kMaxEntries)
        texts_.emplace(std::string(text), shared);
    return shared;
}

}  // namespace vellumark
