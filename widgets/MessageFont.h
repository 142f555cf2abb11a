#pragma once

// The large bold font of the wait and progress dialogs' messages: the
// dialog's font three times as large, bold.

#include <QFont>

QFont MessageFont(const QFont& dialogFont);
