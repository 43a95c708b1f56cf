// Singly linked lists of opaque items, with one cursor per list.
// A node owns its item only when its flag says so; emptying the list then
// frees the item through the memory tracker.
#pragma once

struct XV_LIST_CONFIG {
    int report; // non-zero: failures are reported
};

struct XV_LIST_NODE {
    int owns_item;
    void *item;
    XV_LIST_NODE *next;
};

struct XV_LIST {
    XV_LIST_NODE *head;
    int count;
    XV_LIST_NODE *cursor; // the node xv_list_next returns next
    XV_LIST_NODE *tail;
};

int xv_list_init(XV_LIST_CONFIG *config);
int xv_list_deinit();

// Every operation given a null list reports it and returns 0 (-1 for the count).
int xv_list_create(XV_LIST **out);
int xv_list_destroy(XV_LIST *list);
// Returns the new count; the node does not own its item.
int xv_list_append(XV_LIST *list, void *item);
// Unlinks the first node holding item; the item itself is not freed.
int xv_list_remove(XV_LIST *list, void *item);
void *xv_list_first(XV_LIST *list);
void *xv_list_last(XV_LIST *list);
int xv_list_count(XV_LIST *list);
void *xv_list_pop_first(XV_LIST *list);
void *xv_list_pop_last(XV_LIST *list);
// Frees every node, and the items of the nodes that own theirs.
int xv_list_clear(XV_LIST *list);
// Empties destination, then appends every item of source (not owned).
int xv_list_copy(XV_LIST *source, XV_LIST *destination);
// Reverses the order of the items; no node owns its item afterwards.
int xv_list_reverse(XV_LIST *list);
// Sets the owns-item flag of every node now in the list.
int xv_list_set_owner(XV_LIST *list, int flag);

// Iteration. Removing the node under the cursor moves the cursor on to the
// node after it, so a walk survives the removal of any item.
int xv_list_rewind(XV_LIST *list);
int xv_list_has_next(XV_LIST *list);
void *xv_list_next(XV_LIST *list);
