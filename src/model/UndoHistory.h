#pragma once

#include "DynArray.h"
#include "TextureRule.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

// What a command, an undo or a redo did to the list, so that a view of it can follow in one
// step: Appended count polygons from position on, Removed or Inserted the one at position,
// Changed the one at position, or Replaced everything.
struct ListChange {
    enum class Kind { None, Appended, Removed, Inserted, Changed, Replaced };
    Kind kind = Kind::None;
    int position = 0;
    int count = 0;
};

// Told of every change to the object after it is made, in the order they are made: what a
// journal needs to make the same changes again from nothing.
class ObjectChangeSink {
public:
    virtual ~ObjectChangeSink() = default;
    virtual void added(const tElement& element) = 0;
    virtual void updated(int position, const tElement& element) = 0;
    virtual void removed(int position) = 0;
    // The whole list now holds the count polygons read from source (none: a new object).
    virtual void replaced(const std::string& source, int count) = 0;
    // count polygons read from source were appended.
    virtual void appended(const std::string& source, int count) = 0;
    virtual void undone() = 0;
    virtual void redone() = 0;
};

// Bytes of polygons the history keeps for undo and redo: when more, the oldest steps go,
// but never the one an undo or a redo would take next.
inline constexpr uint64_t kUndoByteBound = uint64_t(512) << 20;

// The changes to the polygon list, made here so that each can be taken back and made again.
// Steps keep the very nodes a command took away or an undo took back: undoing Open or New
// swaps whole chains, so nothing is copied however large the object.
class UndoHistory {
public:
    explicit UndoHistory(CDynArray& list, uint64_t byteBound = kUndoByteBound);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    CDynArray& list() const { return list_; }
    void setSink(ObjectChangeSink* sink) { sink_ = sink; }

    // The commands. add and the fills return false when memory ran out; what was appended
    // before stays and is one step.
    bool add(const tElement& element, const TextureLoader& load);
    bool update(int position, const tElement& value, const TextureLoader& load);
    bool remove(int position);
    // The list emptied, then given what fill appends (no fill: a new object).
    bool replace(const std::function<bool(CDynArray&)>& fill, const std::string& source);
    bool append(const std::function<bool(CDynArray&)>& fill, const std::string& source);

    bool canUndo() const { return cursor_ > 0; }
    bool canRedo() const { return cursor_ < steps_.size(); }
    ListChange undo();
    ListChange redo();

    uint64_t bytesHeld() const { return bytes_; }
    std::size_t stepCount() const { return steps_.size(); }

private:
    struct Step;
    void record(std::unique_ptr<Step> step);
    void setHeld(Step& step);
    ListChange apply(Step& step, bool redoing);
    void trim();

    CDynArray& list_;
    uint64_t byteBound_;
    ObjectChangeSink* sink_ = nullptr;
    std::deque<std::unique_ptr<Step>> steps_;
    std::size_t cursor_ = 0;   // steps before it are done, from it on undone
    uint64_t bytes_ = 0;
};
