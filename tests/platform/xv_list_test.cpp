#include "test_support.h"

#include <vector>

namespace {

using ListTest = test::PlatformTest;

std::vector<int> items_of(XV_LIST *list) {
    std::vector<int> items;
    xv_list_rewind(list);
    while (xv_list_has_next(list)) {
        items.push_back(*static_cast<int *>(xv_list_next(list)));
    }
    return items;
}

TEST_F(ListTest, EmptyListHasNothingToGive) {
    XV_LIST *list = nullptr;
    ASSERT_EQ(xv_list_create(&list), 1);
    xv_list_rewind(list);
    EXPECT_FALSE(xv_list_has_next(list));
    EXPECT_EQ(xv_list_next(list), nullptr);
    EXPECT_EQ(xv_list_first(list), nullptr);
    EXPECT_EQ(xv_list_last(list), nullptr);
    EXPECT_EQ(xv_list_pop_first(list), nullptr);
    EXPECT_EQ(xv_list_pop_last(list), nullptr);
    EXPECT_EQ(xv_list_count(list), 0);
    xv_list_destroy(list);
}

TEST_F(ListTest, ItemsKeepTheirOrderThroughAppendRemoveAndPop) {
    int a = 1, b = 2, c = 3, d = 4;
    XV_LIST *list = nullptr;
    xv_list_create(&list);
    EXPECT_EQ(xv_list_append(list, &a), 1);
    EXPECT_EQ(xv_list_append(list, &b), 2);
    EXPECT_EQ(xv_list_append(list, &c), 3);
    EXPECT_EQ(xv_list_remove(list, &b), 1);
    EXPECT_EQ(items_of(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(xv_list_last(list), &c);

    EXPECT_EQ(xv_list_remove(list, &d), 0);
    EXPECT_NE(warnings().find("In module Linked List \n\n Could not remove from list"),
              std::string::npos);
    EXPECT_EQ(items_of(list), (std::vector<int>{1, 3}));

    xv_list_append(list, &d);
    EXPECT_EQ(xv_list_pop_last(list), &d);
    EXPECT_EQ(xv_list_pop_first(list), &a);
    EXPECT_EQ(xv_list_first(list), &c);
    EXPECT_EQ(xv_list_last(list), &c);
    EXPECT_EQ(xv_list_pop_last(list), &c);
    EXPECT_EQ(xv_list_count(list), 0);
    xv_list_append(list, &a); // the tail was forgotten with the last node
    EXPECT_EQ(items_of(list), (std::vector<int>{1}));
    xv_list_destroy(list);
}

TEST_F(ListTest, OwnedItemsAreFreedWithTheListAndCopiesOwnNothing) {
    long before = xv_mem_used();
    XV_LIST *owner = nullptr;
    XV_LIST *copy = nullptr;
    xv_list_create(&owner);
    xv_list_create(&copy);
    for (int i = 0; i < 3; ++i) {
        auto *item = static_cast<int *>(xv_mem_malloc(sizeof(int)));
        *item = i;
        xv_list_append(owner, item);
    }
    xv_list_set_owner(owner, 1);

    xv_list_copy(owner, copy);
    xv_list_copy(copy, copy); // onto itself: unchanged
    EXPECT_EQ(items_of(copy), (std::vector<int>{0, 1, 2}));
    long with_items = xv_mem_used();
    xv_list_clear(copy);
    EXPECT_LT(xv_mem_used(), with_items);                    // its nodes went...
    EXPECT_EQ(items_of(owner), (std::vector<int>{0, 1, 2})); // ...but not the items

    xv_list_destroy(copy);
    xv_list_destroy(owner);
    EXPECT_EQ(xv_mem_used(), before);
}

TEST_F(ListTest, OwnershipCoversOnlyTheNodesPresentWhenSet) {
    long before = xv_mem_used();
    int kept = 7;
    XV_LIST *list = nullptr;
    xv_list_create(&list);
    xv_list_append(list, xv_mem_malloc(16));
    xv_list_set_owner(list, 1);
    xv_list_append(list, &kept); // not owned: clearing must not free it
    xv_list_destroy(list);
    EXPECT_EQ(xv_mem_used(), before);
    EXPECT_EQ(xv_mem_heap_check(), 2);
}

TEST_F(ListTest, ReverseTurnsTheOrderAndDropsOwnership) {
    int a = 1, b = 2, c = 3;
    XV_LIST *list = nullptr;
    xv_list_create(&list);
    xv_list_append(list, &a);
    xv_list_append(list, &b);
    xv_list_append(list, &c);
    xv_list_set_owner(list, 1);
    xv_list_reverse(list);
    EXPECT_EQ(items_of(list), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(xv_list_last(list), &a);
    xv_list_destroy(list); // would free stack items if they were still owned
    EXPECT_EQ(warnings(), "");
}

TEST_F(ListTest, WalkSurvivesTheRemovalOfTheItemUnderTheCursor) {
    int a = 1, b = 2, c = 3, d = 4;
    XV_LIST *list = nullptr;
    xv_list_create(&list);
    for (int *item : {&a, &b, &c, &d}) {
        xv_list_append(list, item);
    }
    std::vector<int> visited;
    xv_list_rewind(list);
    while (xv_list_has_next(list)) {
        int *item = static_cast<int *>(xv_list_next(list));
        visited.push_back(*item);
        if (item == &a) {
            xv_list_remove(list, &b); // the next one, not visited yet: skipped
        }
        if (item == &c) {
            xv_list_remove(list, &c); // the current one
        }
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(items_of(list), (std::vector<int>{1, 4}));
    xv_list_destroy(list);
}

TEST_F(ListTest, NullListIsReportedByEveryOperation) {
    int a = 0;
    EXPECT_EQ(xv_list_append(nullptr, &a), 0);
    EXPECT_EQ(xv_list_count(nullptr), -1);
    EXPECT_EQ(xv_list_pop_last(nullptr), nullptr);
    EXPECT_EQ(xv_list_destroy(nullptr), 0);
    EXPECT_EQ(test::warnings_holding(warnings(), "Passed NULL list pointer to list function"), 4);
}

} // namespace
