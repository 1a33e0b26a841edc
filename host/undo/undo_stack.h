// Undo groups: the outermost group snapshots the project when it starts and
// becomes one history entry when it ends; nested groups only count depth.
// Undoing the newest entry puts the snapshot back. Ids are never handed out
// twice, so the project's nextId is kept at its highest value across an undo:
// a handle to an object that the undo removed stays stale instead of naming
// some later object.
#pragma once

#include <string>
#include <vector>

#include "model/model.h"

namespace host::undo {

struct Entry {
    std::string name;
    model::Project before;
};

class UndoStack {
public:
    void begin(const std::string& name, const model::Project& project);
    // False when no group is open.
    bool end();
    int depth() const { return depth_; }
    const std::vector<Entry>& entries() const { return entries_; }
    // Restores the project as it was when the newest group started and drops
    // that entry; false when there is nothing to undo or a group is open.
    bool undo(model::Project& project);
    void clear();

private:
    int depth_ = 0;
    Entry open_;
    std::vector<Entry> entries_;
};

}  // namespace host::undo
