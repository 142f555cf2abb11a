// Shortcut settings turned into key sequences.

#include "app/ui/Accelerators.h"

QKeySequence KeysOf(const Shortcut& shortcut) {
    if (shortcut.key < 'A' || shortcut.key > 'Z') {
        return {};
    }
    int modifiers = 0;
    if (shortcut.ctrl) {
        modifiers |= Qt::CTRL;
    }
    if (shortcut.shift) {
        modifiers |= Qt::SHIFT;
    }
    return QKeySequence(modifiers | (Qt::Key_A + (shortcut.key - 'A')));
}

std::vector<Accelerator> ReadAccelerators() {
    std::vector<Accelerator> table;
    const std::pair<AcceleratorCommand, Shortcut> settings[] = {
        {ID_ACCEL_FULL_SCREEN, ReadFullScreenShortcut()},
        {ID_ACCEL_PICTURE, ReadPictureShortcut()},
        {ID_ACCEL_VIDEO, ReadVideoShortcut()},
    };
    for (const auto& [command, shortcut] : settings) {
        const QKeySequence keys = KeysOf(shortcut);
        if (!keys.isEmpty()) {
            table.push_back({command, keys});
        }
    }
    return table;
}
