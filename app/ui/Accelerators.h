#pragma once

// The accelerator table of the main window: the three shortcut settings
// (ShotcutKey_FullScreen, ShotcutKey_Picture, ShotcutKey_Video) as key
// sequences for the commands 3000, 3001 and 3002. A setting without a letter
// gives no shortcut for its command.

#include <QKeySequence>

#include <vector>

#include "app/ui/WindowMessages.h"
#include "settings/Settings.h"

struct Accelerator {
    AcceleratorCommand command;
    QKeySequence keys;
};

// "^" Ctrl, "_" Shift, the letter the key; empty for a setting without one.
QKeySequence KeysOf(const Shortcut& shortcut);
// From the settings in ./Application.ini.
std::vector<Accelerator> ReadAccelerators();
