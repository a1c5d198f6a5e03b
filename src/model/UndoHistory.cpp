#include "UndoHistory.h"

#include "ObjectFile.h"

#include <algorithm>

namespace {

void copyValue(tElement& to, const tElement& from)
{
    to.type = from.type;
    to.name = from.name;
    std::copy(std::begin(from.vertex), std::end(from.vertex), std::begin(to.vertex));
    to.color = from.color;
    to.red = from.red;
    to.green = from.green;
    to.blue = from.blue;
    to.texture = from.texture;
    to.textureId = from.textureId;
}

void swapValues(tElement& a, tElement& b)
{
    tElement t;
    copyValue(t, a);
    copyValue(a, b);
    copyValue(b, t);
}

uint64_t footprint(const CDynArray& list)
{
    uint64_t bytes = 0;
    for (const tElement* p = list.First(); p; p = p->next)
        bytes += PolygonFootprint(*p);
    return bytes;
}

} // namespace

struct UndoHistory::Step {
    enum class Kind { Append, Update, Remove, Replace } kind;
    int position = 0;
    int count = 0;
    // Append: the appended nodes while undone. Remove: the removed node while done.
    // Replace: the other whole list.
    CDynArray held;
    tElement value;   // Update: the other value
    uint64_t bytes = 0;
};

UndoHistory::UndoHistory(CDynArray& list, uint64_t byteBound) : list_(list), byteBound_(byteBound) {}

UndoHistory::~UndoHistory() = default;

void UndoHistory::setHeld(Step& step)
{
    bytes_ -= step.bytes;
    step.bytes = sizeof(Step) + footprint(step.held) +
                 (step.kind == Step::Kind::Update ? PolygonFootprint(step.value) : 0);
    bytes_ += step.bytes;
}

void UndoHistory::record(std::unique_ptr<Step> step)
{
    while (steps_.size() > cursor_) {
        bytes_ -= steps_.back()->bytes;
        steps_.pop_back();
    }
    setHeld(*step);
    steps_.push_back(std::move(step));
    cursor_ = steps_.size();
    trim();
}

void UndoHistory::trim()
{
    while (bytes_ > byteBound_ && cursor_ > 1) {
        bytes_ -= steps_.front()->bytes;
        steps_.pop_front();
        --cursor_;
    }
}

bool UndoHistory::add(const tElement& element, const TextureLoader& load)
{
    tElement e;
    copyValue(e, element);
    e.textureId = SettleTextureId(list_, e, load);
    if (!list_.Add(e))
        return false;
    auto step = std::make_unique<Step>();
    step->kind = Step::Kind::Append;
    step->position = list_.Count();
    step->count = 1;
    record(std::move(step));
    if (sink_)
        sink_->added(*list_.Last());
    return true;
}

bool UndoHistory::update(int position, const tElement& value, const TextureLoader& load)
{
    tElement* p = list_.GetAt(position);
    if (!p)
        return false;
    uint32_t textureId = kNoTexture;
    if (value.isTextured())
        textureId = value.texture == p->texture ? p->textureId : SettleTextureId(list_, value, load);
    auto step = std::make_unique<Step>();
    step->kind = Step::Kind::Update;
    step->position = position;
    copyValue(step->value, value);
    step->value.textureId = textureId;
    swapValues(*p, step->value);
    record(std::move(step));
    if (sink_)
        sink_->updated(position, *p);
    return true;
}

bool UndoHistory::remove(int position)
{
    auto step = std::make_unique<Step>();
    if (!list_.MoveNodeTo(position, step->held))
        return false;
    step->kind = Step::Kind::Remove;
    step->position = position;
    record(std::move(step));
    if (sink_)
        sink_->removed(position);
    return true;
}

bool UndoHistory::replace(const std::function<bool(CDynArray&)>& fill, const std::string& source)
{
    auto step = std::make_unique<Step>();
    step->kind = Step::Kind::Replace;
    list_.SwapWith(step->held);
    const bool filled = !fill || fill(list_);
    record(std::move(step));
    if (sink_)
        sink_->replaced(source, list_.Count());
    return filled;
}

bool UndoHistory::append(const std::function<bool(CDynArray&)>& fill, const std::string& source)
{
    const int before = list_.Count();
    const bool filled = fill(list_);
    const int count = list_.Count() - before;
    if (count > 0) {
        auto step = std::make_unique<Step>();
        step->kind = Step::Kind::Append;
        step->position = before + 1;
        step->count = count;
        record(std::move(step));
        if (sink_)
            sink_->appended(source, count);
    }
    return filled;
}

ListChange UndoHistory::undo()
{
    if (!canUndo())
        return {};
    Step& s = *steps_[--cursor_];
    ListChange change;
    switch (s.kind) {
    case Step::Kind::Append:
        list_.MoveTailTo(s.count, s.held);
        change = s.count == 1 ? ListChange{ListChange::Kind::Removed, s.position, 1}
                              : ListChange{ListChange::Kind::Replaced, 1, list_.Count()};
        break;
    case Step::Kind::Update:
        swapValues(*list_.GetAt(s.position), s.value);
        change = {ListChange::Kind::Changed, s.position, 1};
        break;
    case Step::Kind::Remove:
        list_.InsertFirstOf(s.held, s.position);
        change = {ListChange::Kind::Inserted, s.position, 1};
        break;
    case Step::Kind::Replace:
        list_.SwapWith(s.held);
        change = {ListChange::Kind::Replaced, 1, list_.Count()};
        break;
    }
    setHeld(s);
    if (sink_)
        sink_->undone();
    return change;
}

ListChange UndoHistory::redo()
{
    if (!canRedo())
        return {};
    Step& s = *steps_[cursor_++];
    ListChange change;
    switch (s.kind) {
    case Step::Kind::Append:
        list_.AppendAll(s.held);
        change = {ListChange::Kind::Appended, s.position, s.count};
        break;
    case Step::Kind::Update:
        swapValues(*list_.GetAt(s.position), s.value);
        change = {ListChange::Kind::Changed, s.position, 1};
        break;
    case Step::Kind::Remove:
        list_.MoveNodeTo(s.position, s.held);
        change = {ListChange::Kind::Removed, s.position, 1};
        break;
    case Step::Kind::Replace:
        list_.SwapWith(s.held);
        change = {ListChange::Kind::Replaced, 1, list_.Count()};
        break;
    }
    setHeld(s);
    trim();
    if (sink_)
        sink_->redone();
    return change;
}
