#include "DynArray.h"

#include <new>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

CDynArray::~CDynArray()
{
    Clear();
}

int CDynArray::Count() const
{
    return count_;
}

tElement* CDynArray::GetAt(int position) const
{
    if (position < 1 || position > count_)
        return nullptr;
    // Walk from whichever end is nearer; the result is the same as walking from the front.
    tElement* node;
    if (position <= count_ / 2 + 1) {
        node = first_;
        for (int i = 1; i < position; ++i)
            node = node->next;
    } else {
        node = last_;
        for (int i = count_; i > position; --i)
            node = node->prev;
    }
    return node;
}

tElement* CDynArray::allocateNode(const tElement& element)
{
    // Copying a polygon's texts allocates nothing (the type and name are inline, the texture
    // name is shared), so the node itself is the only memory that can fail to be had.
    tElement* node = new (std::nothrow) tElement(element);
    if (node)
        node->next = node->prev = nullptr;
    return node;
}

void CDynArray::freeNode(tElement* node)
{
    delete node;
}

bool CDynArray::Add(const tElement& element)
{
    tElement* node = allocateNode(element);
    if (!node)
        return false;
    node->next = nullptr;
    node->prev = last_;
    if (last_)
        last_->next = node;
    else
        first_ = node;
    last_ = node;
    ++count_;
    return true;
}

bool CDynArray::RemoveFirst()
{
    if (!first_)
        return false;
    tElement* old = first_;
    first_ = old->next;
    if (first_)
        first_->prev = nullptr;
    else
        last_ = nullptr;
    --count_;
    freeNode(old);
    return true;
}

bool CDynArray::RemoveLast()
{
    if (!last_)
        return false;
    tElement* old = last_;
    last_ = old->prev;
    if (last_)
        last_->next = nullptr;
    else
        first_ = nullptr;
    --count_;
    freeNode(old);
    return true;
}

bool CDynArray::RemoveAt(int position)
{
    if (position < 1 || position > count_)
        return false;
    // The ends are never asked for by the editor, but must keep first and last right.
    if (position == 1)
        return RemoveFirst();
    if (position == count_)
        return RemoveLast();
    tElement* node = GetAt(position);
    node->prev->next = node->next;
    node->next->prev = node->prev;
    --count_;
    freeNode(node);
    return true;
}

bool CDynArray::RemovePosition(int position)
{
    if (position == 1)
        return RemoveFirst();
    if (position == count_)
        return RemoveLast();
    if (position > 1 && position < count_)
        return RemoveAt(position);
    return false;
}

void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    // The allocator keeps freed blocks for the program's next ones and gives back only the
    // top of its heap, which other blocks usually hold; the pages of a list just freed would
    // stay the program's until it ends.
    malloc_trim(0);
#endif
}

bool CDynArray::Clear()
{
    if (!first_)
        return false;
    const int cleared = count_;
    while (RemoveFirst()) {
    }
    if (cleared >= kManyNodes)
        ReturnFreedMemory();
    return true;
}

bool CDynArray::FindTextureId(std::string_view texture, uint32_t& textureId) const
{
    for (const tElement* node = first_; node; node = node->next) {
        if (node->texture == texture) {
            textureId = node->textureId;
            return true;
        }
    }
    return false;
}

void CDynArray::unlink(tElement* node)
{
    (node->prev ? node->prev->next : first_) = node->next;
    (node->next ? node->next->prev : last_) = node->prev;
    node->next = node->prev = nullptr;
    --count_;
}

void CDynArray::linkBefore(tElement* node, tElement* before)
{
    tElement* after = before ? before->prev : last_;
    node->prev = after;
    node->next = before;
    (after ? after->next : first_) = node;
    (before ? before->prev : last_) = node;
    ++count_;
}

void CDynArray::SwapWith(CDynArray& other)
{
    std::swap(first_, other.first_);
    std::swap(last_, other.last_);
    std::swap(count_, other.count_);
}

void CDynArray::AppendAll(CDynArray& from)
{
    if (&from == this || !from.first_)
        return;
    from.first_->prev = last_;
    (last_ ? last_->next : first_) = from.first_;
    last_ = from.last_;
    count_ += from.count_;
    from.first_ = from.last_ = nullptr;
    from.count_ = 0;
}

void CDynArray::MoveTailTo(int count, CDynArray& into)
{
    if (count <= 0 || &into == this)
        return;
    if (count >= count_) {
        into.AppendAll(*this);
        return;
    }
    tElement* head = last_;
    for (int i = 1; i < count; ++i)
        head = head->prev;
    CDynArray tail;
    tail.first_ = head;
    tail.last_ = last_;
    tail.count_ = count;
    last_ = head->prev;
    last_->next = nullptr;
    head->prev = nullptr;
    count_ -= count;
    into.AppendAll(tail);
}

bool CDynArray::MoveNodeTo(int position, CDynArray& into)
{
    tElement* node = GetAt(position);
    if (!node || &into == this)
        return false;
    unlink(node);
    into.linkBefore(node, nullptr);
    return true;
}

bool CDynArray::InsertFirstOf(CDynArray& from, int position)
{
    if (!from.first_ || &from == this || position < 1 || position > count_ + 1)
        return false;
    tElement* node = from.first_;
    from.unlink(node);
    linkBefore(node, position > count_ ? nullptr : GetAt(position));
    return true;
}
