#include "undo/undo_stack.h"

#include <algorithm>

namespace host::undo {

void UndoStack::begin(const std::string& name, const model::Project& project) {
    if (depth_++ == 0) open_ = Entry{name, project};
}

bool UndoStack::end() {
    if (depth_ == 0) return false;
    if (--depth_ == 0) entries_.push_back(std::move(open_));
    return true;
}

bool UndoStack::undo(model::Project& project) {
    if (depth_ != 0 || entries_.empty()) return false;
    const model::Id highest = std::max(project.nextId, entries_.back().before.nextId);
    project = std::move(entries_.back().before);
    project.nextId = highest;
    entries_.pop_back();
    return true;
}

void UndoStack::clear() {
    depth_ = 0;
    open_ = Entry{};
    entries_.clear();
}

}  // namespace host::undo
