#include "UndoHistory.h"

#include "ObjectFile.h"

#include <utility>

namespace {

// Exchanges what two polygons hold, their places in their lists staying as they are.
void swapValues(tElement& a, tElement& b)
{
    std::swap(a, b);
    std::swap(a.next, b.next);
    std::swap(a.prev, b.prev);
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
    // A polygon's footprint is the same for every polygon, so no list is walked for it.
    const uint64_t polygons = uint64_t(step.held.Count()) + (step.kind == Step::Kind::Update);
    step.bytes = sizeof(Step) + polygons * PolygonFootprint(step.value);
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
    tElement e = element;
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
    step->value = value;
    step->value.next = step->value.prev = nullptr;
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
    const ListChange change = apply(*steps_[--cursor_], false);
    if (sink_)
        sink_->undone();
    return change;
}

ListChange UndoHistory::redo()
{
    if (!canRedo())
        return {};
    const ListChange change = apply(*steps_[cursor_++], true);
    trim();
    if (sink_)
        sink_->redone();
    return change;
}

ListChange UndoHistory::apply(Step& s, bool redoing)
{
    // Update and Replace exchange what the list and the step hold, so either way is the same;
    // Append and Remove move their nodes one way or the other.
    ListChange change;
    switch (s.kind) {
    case Step::Kind::Append:
        if (redoing) {
            list_.AppendAll(s.held);
            change = {ListChange::Kind::Appended, s.position, s.count};
        } else {
            list_.MoveTailTo(s.count, s.held);
            change = s.count == 1 ? ListChange{ListChange::Kind::Removed, s.position, 1}
                                  : ListChange{ListChange::Kind::Replaced, 1, list_.Count()};
        }
        break;
    case Step::Kind::Update:
        swapValues(*list_.GetAt(s.position), s.value);
        change = {ListChange::Kind::Changed, s.position, 1};
        break;
    case Step::Kind::Remove:
        if (redoing) {
            list_.MoveNodeTo(s.position, s.held);
            change = {ListChange::Kind::Removed, s.position, 1};
        } else {
            list_.InsertFirstOf(s.held, s.position);
            change = {ListChange::Kind::Inserted, s.position, 1};
        }
        break;
    case Step::Kind::Replace:
        list_.SwapWith(s.held);
        change = {ListChange::Kind::Replaced, 1, list_.Count()};
        break;
    }
    setHeld(s);
    return change;
}
