#pragma once

// The user list as the window shows it, taken from the album after each
// album operation and published whole: the window and the device worker
// read the same immutable rows, and nobody walks the store while a job on
// the worker changes it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Published.h"

class CAlbumMngr;

struct UserListRow {
    int id = -1;
    std::string name;
    int dataCount = 0;
};

struct UserListSnapshot {
    // Rows in the album's user order (the order an album file lists them);
    // users that order does not name follow in store order.
    std::vector<UserListRow> rows;
    int totalData = 0;
    std::uint64_t generation = 0;  // 0 until the first snapshot is published

    const UserListRow* Find(int id) const;
};

UserListSnapshot TakeUserListSnapshot(const CAlbumMngr& album);

// Owned by whoever changes the album (the device worker's jobs): Refresh
// after each operation, Get from any thread.
class CUserListPublisher {
public:
    void Refresh(const CAlbumMngr& album);
    std::shared_ptr<const UserListSnapshot> Get() const { return published_.Get(); }

private:
    CPublished<UserListSnapshot> published_;
    std::atomic<std::uint64_t> generation_{0};
};
