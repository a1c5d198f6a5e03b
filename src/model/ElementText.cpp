#include "ElementText.h"

#include <cstdlib>
#include <new>

tSharedText& tSharedText::assign(std::string_view text)
{
    if (text == view())
        return *this;
    Block* fresh = nullptr;
    if (!text.empty()) {
        // The block ends in the text's bytes and a zero byte, so data() is a C string too.
        void* memory = std::malloc(offsetof(Block, bytes) + text.size() + 1);
        if (!memory)
            throw std::bad_alloc();
        fresh = new (memory) Block{{1}, uint32_t(text.size()), {0}};
        std::memcpy(fresh->bytes, text.data(), text.size());
        fresh->bytes[text.size()] = 0;
    }
    release();
    block_ = fresh;
    return *this;
}

void tSharedText::release()
{
    if (block_ && block_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block_->~Block();
        std::free(block_);
    }
    block_ = nullptr;
}
