#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One registered face datum of a user.
struct RegDataInfo {
    int dataNumber = -1;  // slot on the module, 0..9; -1 marks an unused record
    std::string date;     // "%Y/%m/%d"; empty for entries loaded from disk
    int width = 0;        // size of the stored face picture
    int height = 0;
};

// Summary row handed to every user list.
struct RegUserEntry {
    int id = -1;
    std::string name;
    int dataCount = 0;
};

// One registered user: its name and its data entries in the order they were
// added. usedSlots always mirrors the data numbers of the entries.
class CUserInfo {
public:
    explicit CUserInfo(int dataCapacity = 10);
    virtual ~CUserInfo() = default;
    CUserInfo(const CUserInfo& other);
    CUserInfo& operator=(const CUserInfo& other);

    // Clears the slot array and marks the slot of every entry; numbers
    // outside 0..capacity-1 never index it.
    void RebuildSlots();
    bool SlotUsed(int dataNumber) const;
    bool ValidDataNumber(int dataNumber) const {
        return dataNumber >= 0 && dataNumber < dataCapacity;
    }
    int DataCount() const { return static_cast<int>(data.size()); }

    int id = -1;
    std::string name;
    std::vector<RegDataInfo> data;
    int dataCapacity = 10;
    std::vector<std::uint8_t> usedSlots;
};
