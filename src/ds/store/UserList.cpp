#include "ds/store/UserList.h"

namespace vexa {

UserList::~UserList() {
    deleteAll();
}

void UserList::push_back(UserListItem* item) {
    item->m_next = nullptr;
    item->m_prev = m_tail;
    if (m_tail)
        m_tail->m_next = item;
    else
        m_head = item;
    m_tail = item;
    ++m_count;
}

void UserList::push_front(UserListItem* item) {
    item->m_prev = nullptr;
    item->m_next = m_head;
    if (m_head)
        m_head->m_prev = item;
    else
        m_tail = item;
    m_head = item;
    ++m_count;
}

void UserList::insert(UserListItem* pos, UserListItem* item) {
    if (!pos) {
        push_back(item);
        return;
    }
    item->m_next = pos;
    item->m_prev = pos->m_prev;
    if (pos->m_prev)
        pos->m_prev->m_next = item;
    else
        m_head = item;
    pos->m_prev = item;
    ++m_count;
}

void UserList::insert_after(UserListItem* pos, UserListItem* item) {
    if (!pos) {
        push_front(item);
        return;
    }
    item->m_prev = pos;
    item->m_next = pos->m_next;
    if (pos->m_next)
        pos->m_next->m_prev = item;
    else
        m_tail = item;
    pos->m_next = item;
    ++m_count;
}

UserListItem* UserList::remove(const UserListItem* item) {
    if (!item)
        return m_head;
    UserListItem* const following = item->m_next;
    if (item->m_prev)
        item->m_prev->m_next = item->m_next;
    else
        m_head = item->m_next;
    if (item->m_next)
        item->m_next->m_prev = item->m_prev;
    else
        m_tail = item->m_prev;
    UserListItem* const self = const_cast<UserListItem*>(item);
    self->m_prev = nullptr;
    self->m_next = nullptr;
    --m_count;
    return following;
}

UserListItem* UserList::erase(UserListItem* item) {
    if (!item)
        return m_head;
    UserListItem* const following = remove(item);
    delete item;
    return following;
}

UserListItem* UserList::next(const UserListItem* item) const {
    return item ? item->m_next : m_head;
}

UserListItem* UserList::previous(const UserListItem* item) const {
    return item ? item->m_prev : m_tail;
}

UserListItem* UserList::pop_front() {
    UserListItem* const item = m_head;
    if (!item)
        return nullptr;
    m_head = item->m_next;
    if (m_head)
        m_head->m_prev = nullptr;
    else
        m_tail = nullptr;
    item->m_next = nullptr;
    --m_count;
    return item;
}

void UserList::deleteAll() {
    UserListItem* item = m_head;
    while (item) {
        UserListItem* const following = item->m_next;
        delete item;
        item = following;
    }
    m_head = m_tail = nullptr;
    m_count = 0;
}

}  // namespace vexa
