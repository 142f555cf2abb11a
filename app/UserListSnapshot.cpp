// Builds and publishes the user-list snapshots.

#include "app/UserListSnapshot.h"

#include <unordered_map>
#include <unordered_set>

#include "album/AlbumMngr.h"

const UserListRow* UserListSnapshot::Find(int id) const {
    for (const auto& row : rows) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

UserListSnapshot TakeUserListSnapshot(const CAlbumMngr& album) {
    const std::vector<RegUserEntry> users = album.Store().ListUsers();
    std::unordered_map<int, const RegUserEntry*> byId;
    byId.reserve(users.size());
    for (const auto& user : users) {
        byId.emplace(user.id, &user);
    }

    UserListSnapshot snapshot;
    snapshot.rows.reserve(users.size());
    std::unordered_set<int> placed;
    // The order may still name users deleted since it was set, and may name
    // one twice after a careless caller; neither may show up as a row.
    for (int id : album.UserOrder()) {
        auto it = byId.find(id);
        if (it != byId.end() && placed.insert(id).second) {
            snapshot.rows.push_back({id, it->second->name, it->second->dataCount});
        }
    }
    for (const auto& user : users) {
        if (placed.insert(user.id).second) {
            snapshot.rows.push_back({user.id, user.name, user.dataCount});
        }
    }
    for (const auto& row : snapshot.rows) {
        snapshot.totalData += row.dataCount;
    }
    return snapshot;
}

void CUserListPublisher::Refresh(const CAlbumMngr& album) {
    UserListSnapshot snapshot = TakeUserListSnapshot(album);
    snapshot.generation = ++generation_;
    published_.Publish(std::move(snapshot));
}
