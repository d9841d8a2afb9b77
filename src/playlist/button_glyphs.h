#pragma once
// The arrow pictures of the editor's glyph buttons, drawn rather than shipped as files so
// they stay sharp at any screen scale. The disabled look comes from QIcon.

#include <QIcon>

namespace playlist {

enum class Glyph {
    Include,     // one arrow right
    IncludeAll,  // two arrows right
    Exclude,     // one arrow left
    ExcludeAll,  // two arrows left
    Up,
    Down,
    Top,     // arrow up to a bar
    Bottom,  // arrow down to a bar
    Invert,  // arrows up and down side by side
};

QIcon glyphIcon(Glyph glyph);

}  // namespace playlist
