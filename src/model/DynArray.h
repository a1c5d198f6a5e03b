#pragma once

#include "Element.h"

#include <cstdint>
#include <string>
#include <string_view>

// Gives the memory of freed polygons back to the system; Clear does so itself for a list of
// kManyNodes polygons or more, whose pages would otherwise stay with the program.
void ReturnFreedMemory();
inline constexpr int kManyNodes = 4096;

// The polygon list: a doubly linked list of tElement nodes addressed by 1-based position.
// The list owns its nodes; textures named by textureId are not owned.
class CDynArray {
public:
    CDynArray() = default;
    CDynArray(const CDynArray&) = delete;
    CDynArray& operator=(const CDynArray&) = delete;
    virtual ~CDynArray();

    int Count() const;
    tElement* GetAt(int position) const;
    bool Add(const tElement& element);
    bool RemoveFirst();
    bool RemoveLast();
    bool RemoveAt(int position);
    bool Clear();
    bool FindTextureId(std::string_view texture, uint32_t& textureId) const;

    // The removal the editor uses: first, last or interior by position.
    bool RemovePosition(int position);

    // Moving nodes between lists without copying them, so that a history can keep what a
    // command took away and give it back in the same nodes (their textures stay valid).
    void SwapWith(CDynArray& other);
    // The last count nodes go, in order, to the end of into.
    void MoveTailTo(int count, CDynArray& into);
    // Every node of from, in order, to the end of this list; from is left empty.
    void AppendAll(CDynArray& from);
    // The node at position goes to the end of into; false when there is none.
    bool MoveNodeTo(int position, CDynArray& into);
    // The first node of from goes to position (1 .. Count() + 1) of this list.
    bool InsertFirstOf(CDynArray& from, int position);

    tElement* First() const { return first_; }
    tElement* Last() const { return last_; }

protected:
    // One node per polygon; returns nullptr when no memory can be had.
    virtual tElement* allocateNode(const tElement& element);

private:
    void freeNode(tElement* node);
    void unlink(tElement* node);
    void linkBefore(tElement* node, tElement* before);   // before nullptr: at the end

    tElement* first_ = nullptr;
    tElement* last_ = nullptr;
    int count_ = 0;
};
