#include "album/UserInfo.h"

CUserInfo::CUserInfo(int capacity)
    : dataCapacity(capacity > 0 ? capacity : 0),
      usedSlots(static_cast<std::size_t>(dataCapacity), 0) {}

CUserInfo::CUserInfo(const CUserInfo& other)
    : id(other.id), name(other.name), dataCapacity(other.dataCapacity) {
    for (const RegDataInfo& entry : other.data) {
        if (entry.dataNumber != -1) {
            data.push_back(entry);
        }
    }
    RebuildSlots();
}

CUserInfo& CUserInfo::operator=(const CUserInfo& other) {
    if (this != &other) {
        CUserInfo copy(other);
        id = copy.id;
        name = std::move(copy.name);
        data = std::move(copy.data);
        dataCapacity = copy.dataCapacity;
        usedSlots = std::move(copy.usedSlots);
    }
    return *this;
}

void CUserInfo::RebuildSlots() {
    usedSlots.assign(static_cast<std::size_t>(dataCapacity), 0);
    for (const RegDataInfo& entry : data) {
        if (ValidDataNumber(entry.dataNumber)) {
            usedSlots[static_cast<std::size_t>(entry.dataNumber)] = 1;
        }
    }
}

bool CUserInfo::SlotUsed(int dataNumber) const {
    return ValidDataNumber(dataNumber) && usedSlots[static_cast<std::size_t>(dataNumber)] != 0;
}
