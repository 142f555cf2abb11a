// The choices every frame reads, shared between the window thread and the
// device worker behind one small lock (a copy of a few dozen bytes).
#include "app/ExecutionChoices.h"

#include <algorithm>

ExecutionChoices CChoicesSnapshot::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return choices_;
}

std::uint64_t CChoicesSnapshot::Version() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return version_;
}

template <class Change>
void CChoicesSnapshot::Modify(Change change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(choices_);
    ++version_;
}

void CChoicesSnapshot::Set(const ExecutionChoices& choices) {
    Modify([&](ExecutionChoices& c) { c = choices; });
}

void CChoicesSnapshot::SetFunctionFlags(const std::uint8_t flags[11]) {
    Modify([&](ExecutionChoices& c) { std::copy(flags, flags + 11, c.functionFlags); });
}

void CChoicesSnapshot::SetFunction(int index, bool on) {
    if (index < 0 || index >= 11) {
        return;
    }
    Modify([&](ExecutionChoices& c) { c.functionFlags[index] = on ? 1 : 0; });
}

void CChoicesSnapshot::SetImageType(int imageType) {
    Modify([&](ExecutionChoices& c) { c.imageType = imageType; });
}

void CChoicesSnapshot::SetStabilisation(bool on) {
    Modify([&](ExecutionChoices& c) { c.stabilisation = on; });
}

void CChoicesSnapshot::SetDisplayImage(bool on) {
    Modify([&](ExecutionChoices& c) { c.displayImage = on; });
}

void CChoicesSnapshot::SetVerifyUserId(int userId) {
    Modify([&](ExecutionChoices& c) { c.verifyUserId = userId; });
}
