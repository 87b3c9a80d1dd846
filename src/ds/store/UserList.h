#pragma once

#include <cstdint>

namespace vexa {

// An element of a UserList; the list owns it once inserted and destroys it virtually.
class UserListItem {
public:
    UserListItem() = default;
    virtual ~UserListItem() = default;

    UserListItem(const UserListItem&) = delete;
    UserListItem& operator=(const UserListItem&) = delete;

private:
    friend class UserList;
    UserListItem* m_prev = nullptr;
    UserListItem* m_next = nullptr;
};

// An intrusive doubly linked list that owns its items: O(1) eviction from the front and stable
// cursors into the middle. Walks treat null as the end: next(null) is the head, so a walk that
// continues from what erase() of the tail returned would start over.
class UserList {
public:
    UserList() = default;
    virtual ~UserList();

    UserList(const UserList&) = delete;
    UserList& operator=(const UserList&) = delete;

    void push_back(UserListItem* item);
    void push_front(UserListItem* item);
    // Before pos; null pos appends.
    void insert(UserListItem* pos, UserListItem* item);
    // After pos; null pos prepends.
    void insert_after(UserListItem* pos, UserListItem* item);
    // Unlinks without destroying; returns the following item. Null changes nothing and gives
    // the head.
    UserListItem* remove(const UserListItem* item);
    // Unlinks and destroys; returns the following item.
    UserListItem* erase(UserListItem* item);
    // Null gives the head.
    UserListItem* next(const UserListItem* item) const;
    // Null gives the tail.
    UserListItem* previous(const UserListItem* item) const;
    // Detaches the head; null when empty.
    UserListItem* pop_front();
    void deleteAll();

    UserListItem* head() const { return m_head; }
    UserListItem* tail() const { return m_tail; }
    uint32_t count() const { return m_count; }

private:
    UserListItem* m_head = nullptr;
    UserListItem* m_tail = nullptr;
    uint32_t m_count = 0;
};

}  // namespace vexa
