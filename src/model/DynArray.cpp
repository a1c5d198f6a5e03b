#include "DynArray.h"

#include <new>

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
