// Behaviours of the application that its references leave open. The host
// plays each either way, so the plug-in can be shown right under every
// reading; the defaults are the readings the host played first.
#pragma once

namespace host {

enum class CopyPlacement {
    AboveSelection,  // Layer.copyToComp pastes above the target's topmost selected layer
    Top,             // it always prepends the copy to the target's layers
};

enum class ItemNumbering {
    AsWalk,    // app.project.item(n) follows the suites' item walk
    Reversed,  // it numbers the items from the end of the walk
};

struct Readings {
    CopyPlacement copyPlacement = CopyPlacement::AboveSelection;
    // Layer.copyToComp leaves the copy alone selected in the target.
    bool pasteSelectsCopy = false;
    ItemNumbering itemNumbering = ItemNumbering::AsWalk;
    // AEGP_GetNewLayerStream refuses a stream AEGP_IsStreamLegal calls illegal.
    bool refuseIllegalStreams = false;
    // app.project.autoFixExpressions leaves the expressions of locked layers alone.
    bool autoFixSkipsLocked = false;
};

}  // namespace host
