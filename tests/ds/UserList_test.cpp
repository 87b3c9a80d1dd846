#include "ds/store/UserList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Item : vexa::UserListItem {
    Item(int v, int* destroyed = nullptr) : value(v), destroyed(destroyed) {}
    ~Item() override {
        if (destroyed)
            ++*destroyed;
    }
    int value;
    int* destroyed;
};

int valueOf(vexa::UserListItem* item) {
    return static_cast<Item*>(item)->value;
}

// Walks forward from null and backward from null; both must agree with the count.
std::vector<int> checkedValues(const vexa::UserList& list) {
    std::vector<int> forward;
    for (vexa::UserListItem* it = list.next(nullptr); it; it = list.next(it)) {
        forward.push_back(valueOf(it));
        if (forward.size() > list.count())
            break;
    }
    std::vector<int> backward;
    for (vexa::UserListItem* it = list.previous(nullptr); it; it = list.previous(it)) {
        backward.insert(backward.begin(), valueOf(it));
        if (backward.size() > list.count())
            break;
    }
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(forward.size(), list.count());
    EXPECT_EQ(list.head() == nullptr, list.count() == 0);
    EXPECT_EQ(list.tail() == nullptr, list.count() == 0);
    return forward;
}

TEST(UserList, EmptyListWalksNothing) {
    vexa::UserList list;
    EXPECT_EQ(list.next(nullptr), nullptr);
    EXPECT_EQ(list.previous(nullptr), nullptr);
    EXPECT_EQ(list.pop_front(), nullptr);
    EXPECT_TRUE(checkedValues(list).empty());
}

TEST(UserList, InsertionsAtBothEndsKeepHeadTailAndCount) {
    using Op = void (*)(vexa::UserList&, vexa::UserListItem*, vexa::UserListItem*);
    const Op insertBefore = [](vexa::UserList& l, vexa::UserListItem* p, vexa::UserListItem* i) {
        l.insert(p, i);
    };
    const Op insertAfter = [](vexa::UserList& l, vexa::UserListItem* p, vexa::UserListItem* i) {
        l.insert_after(p, i);
    };
    struct Case {
        const char* name;
        Op op;
        int at;  // 0 head, 1 tail, -1 null position
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"insert before head", insertBefore, 0, {9, 1, 2, 3}},
        {"insert before tail", insertBefore, 1, {1, 2, 9, 3}},
        {"insert at null appends", insertBefore, -1, {1, 2, 3, 9}},
        {"insert after head", insertAfter, 0, {1, 9, 2, 3}},
        {"insert after tail", insertAfter, 1, {1, 2, 3, 9}},
        {"insert_after at null prepends", insertAfter, -1, {9, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vexa::UserList list;
        list.push_back(new Item(2));
        list.push_front(new Item(1));
        list.push_back(new Item(3));
        vexa::UserListItem* pos = c.at == 0 ? list.head() : c.at == 1 ? list.tail() : nullptr;
        c.op(list, pos, new Item(9));
        EXPECT_EQ(checkedValues(list), c.expected);
        EXPECT_EQ(valueOf(list.head()), c.expected.front());
        EXPECT_EQ(valueOf(list.tail()), c.expected.back());
    }
}

TEST(UserList, InsertIntoEmptyListFromEitherSide) {
    vexa::UserList a;
    a.insert(nullptr, new Item(1));
    EXPECT_EQ(checkedValues(a), std::vector<int>{1});
    vexa::UserList b;
    b.insert_after(nullptr, new Item(1));
    EXPECT_EQ(checkedValues(b), std::vector<int>{1});
}

TEST(UserList, EraseWhileWalkingVisitsEachOnceAndEndsAtNull) {
    int destroyed = 0;
    vexa::UserList list;
    for (int v = 1; v <= 6; ++v)
        list.push_back(new Item(v, &destroyed));
    std::vector<int> visited;
    // Erase the even ones, including the tail: erase of the tail returns null, which ends the
    // walk instead of restarting it from the head.
    for (vexa::UserListItem* it = list.next(nullptr); it;) {
        visited.push_back(valueOf(it));
        it = valueOf(it) % 2 == 0 ? list.erase(it) : list.next(it);
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(checkedValues(list), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(list.erase(list.tail()), nullptr);
    EXPECT_EQ(checkedValues(list), (std::vector<int>{1, 3}));
}

TEST(UserList, RemoveDetachesWithoutDestroying) {
    int destroyed = 0;
    vexa::UserList list;
    Item* first = new Item(1, &destroyed);
    list.push_back(first);
    list.push_back(new Item(2, &destroyed));
    EXPECT_EQ(list.remove(nullptr), list.head());
    EXPECT_EQ(valueOf(list.remove(first)), 2);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(checkedValues(list), std::vector<int>{2});
    list.push_back(first);  // a removed item can be linked again
    EXPECT_EQ(checkedValues(list), (std::vector<int>{2, 1}));
}

TEST(UserList, PopFrontOfOneItemEmptiesTheList) {
    vexa::UserList list;
    list.push_back(new Item(7));
    vexa::UserListItem* item = list.pop_front();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(valueOf(item), 7);
    EXPECT_TRUE(checkedValues(list).empty());
    delete item;
    list.push_back(new Item(8));  // usable again after becoming empty
    EXPECT_EQ(checkedValues(list), std::vector<int>{8});
}

TEST(UserList, DestructionDeletesEveryItem) {
    int destroyed = 0;
    {
        vexa::UserList list;
        for (int v = 0; v < 4; ++v)
            list.push_back(new Item(v, &destroyed));
        list.deleteAll();
        EXPECT_EQ(destroyed, 4);
        EXPECT_TRUE(checkedValues(list).empty());
        list.push_back(new Item(5, &destroyed));
    }
    EXPECT_EQ(destroyed, 5);
}

}  // namespace
