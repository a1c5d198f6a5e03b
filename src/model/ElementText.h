#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

// A polygon's text kept inside the polygon, laid out as its object file field: N bytes,
// ended by a zero byte unless the text fills them. Texts longer than N bytes are cut, which
// loses nothing a file could have held: every writer cuts them to the field anyway.
template <std::size_t N>
class tInlineText {
public:
    tInlineText() = default;
    tInlineText(std::string_view text) { assign(text); }
    tInlineText(const char* text) { assign(text); }

    tInlineText& operator=(std::string_view text) { return assign(text); }
    tInlineText& operator=(const char* text) { return assign(text); }
    tInlineText& operator=(const std::string& text) { return assign(text); }

    tInlineText& assign(std::string_view text)
    {
        const std::size_t n = text.size() < N ? text.size() : N;
        std::memmove(bytes_, text.data(), n);
        std::memset(bytes_ + n, 0, N - n);
        return *this;
    }
    void clear() { std::memset(bytes_, 0, N); }

    const char* data() const { return bytes_; }
    std::size_t size() const
    {
        const void* zero = std::memchr(bytes_, 0, N);
        return zero ? std::size_t(static_cast<const char*>(zero) - bytes_) : N;
    }
    bool empty() const { return bytes_[0] == 0; }
    char operator[](std::size_t i) const { return bytes_[i]; }
    static constexpr std::size_t capacity() { return N; }

    std::string_view view() const { return {bytes_, size()}; }
    std::string str() const { return std::string(view()); }
    operator std::string() const { return str(); }

    friend bool operator==(const tInlineText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const tInlineText& a, const char* b) { return a.view() == b; }
    friend bool operator==(const tInlineText& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const tInlineText& a, const tInlineText& b) { return a.view() == b.view(); }
    friend std::string operator+(const std::string& a, const tInlineText& b) { return a + b.str(); }
    friend std::string operator+(const char* a, const tInlineText& b) { return a + b.str(); }
    friend std::ostream& operator<<(std::ostream& out, const tInlineText& t) { return out << t.view(); }

private:
    char bytes_[N] = {};
};

// A text that copies of a polygon share: copying takes a reference, never memory, so a list
// of a million polygons naming a few bitmaps holds a few texts. It is never changed in place,
// only replaced, so sharing is invisible to its users; the count is atomic so that a copy may
// be released on another thread than the one that made it.
class tSharedText {
public:
    tSharedText() = default;
    tSharedText(std::string_view text) { assign(text); }
    tSharedText(const char* text) { assign(text); }
    tSharedText(const std::string& text) { assign(text); }
    tSharedText(const tSharedText& other) : block_(other.block_) { retain(); }
    tSharedText(tSharedText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    ~tSharedText() { release(); }

    tSharedText& operator=(const tSharedText& other)
    {
        if (block_ != other.block_) {
            other.retain();
            release();
            block_ = other.block_;
        }
        return *this;
    }
    tSharedText& operator=(tSharedText&& other) noexcept
    {
        if (this != &other) {
            release();
            block_ = other.block_;
            other.block_ = nullptr;
        }
        return *this;
    }
    tSharedText& operator=(std::string_view text) { return assign(text); }
    tSharedText& operator=(const char* text) { return assign(text); }
    tSharedText& operator=(const std::string& text) { return assign(text); }

    // Throws std::bad_alloc when a new text cannot be had; the old one is kept then.
    tSharedText& assign(std::string_view text);
    void clear()
    {
        release();
        block_ = nullptr;
    }

    const char* data() const { return block_ ? block_->bytes : ""; }
    std::size_t size() const { return block_ ? block_->size : 0; }
    bool empty() const { return size() == 0; }
    char operator[](std::size_t i) const { return data()[i]; }
    const char* c_str() const { return data(); }

    std::string_view view() const { return {data(), size()}; }
    std::string str() const { return std::string(view()); }
    operator std::string() const { return str(); }

    friend bool operator==(const tSharedText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const tSharedText& a, const char* b) { return a.view() == b; }
    friend bool operator==(const tSharedText& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const tSharedText& a, const tSharedText& b)
    {
        return a.block_ == b.block_ || a.view() == b.view();
    }
    friend std::string operator+(const std::string& a, const tSharedText& b) { return a + b.str(); }
    friend std::string operator+(const char* a, const tSharedText& b) { return a + b.str(); }
    friend std::ostream& operator<<(std::ostream& out, const tSharedText& t) { return out << t.view(); }

private:
    struct Block {
        std::atomic<uint32_t> references;
        uint32_t size;
        char bytes[1];
    };

    void retain() const
    {
        if (block_)
            block_->references.fetch_add(1, std::memory_order_relaxed);
    }
    void release();

    Block* block_ = nullptr;
};
