#pragma once

// The pictures of the execute page's buttons, drawn in code at 1× and 2× so
// they stay sharp on any screen scale.

#include <QIcon>

enum class PageIcon {
    kExecuteOnce,        // a single play triangle
    kExecuteContinuous,  // a play triangle inside a circling arrow
    kSettings,           // a gear
    kFullScreen,         // four corners pointing outwards
};

QIcon MakePageIcon(PageIcon icon);
