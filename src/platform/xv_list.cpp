#include "xv_list.h"

#include "xv_error.h"
#include "xv_mem.h"

namespace {

enum { MALLOC_FAILED, FREE_FAILED, REMOVE_FAILED, NULL_LIST };

const char *const messages[] = {
    "Could not malloc list",
    "Could not free list",
    "Could not remove from list",
    "Passed NULL list pointer to list function",
    nullptr,
};

XV_LIST_CONFIG *config = nullptr;
int module = -1;

void report(int code) {
    xv_error_report(module, code, config && config->report);
}

bool usable(const XV_LIST *list) {
    if (!list) {
        report(NULL_LIST);
    }
    return list != nullptr;
}

// Headers and nodes carry no tracker element of their own; their sizes
// still count in the tracked bytes.
template <typename T>
T *allocate() {
    return static_cast<T *>(xv_mem_internal_malloc(sizeof(T)));
}

template <typename T>
void release(T *pointer) {
    xv_mem_internal_free(pointer, sizeof(T));
}

// Unlinks node, whose predecessor is previous (null for the head), and frees it.
void unlink(XV_LIST *list, XV_LIST_NODE *previous, XV_LIST_NODE *node) {
    (previous ? previous->next : list->head) = node->next;
    if (list->tail == node) {
        list->tail = previous;
    }
    if (list->cursor == node) {
        list->cursor = node->next;
    }
    list->count--;
    release(node);
}

} // namespace

int xv_list_init(XV_LIST_CONFIG *configuration) {
    config = configuration;
    module = xv_error_register("Linked List", messages);
    return 1;
}

int xv_list_deinit() {
    config = nullptr;
    return 1;
}

int xv_list_create(XV_LIST **out) {
    if (!out) {
        report(NULL_LIST);
        return 0;
    }
    *out = allocate<XV_LIST>();
    if (!*out) {
        report(MALLOC_FAILED);
        return 0;
    }
    **out = XV_LIST{};
    return 1;
}

int xv_list_destroy(XV_LIST *list) {
    if (!usable(list)) {
        return 0;
    }
    xv_list_clear(list);
    release(list);
    return 1;
}

int xv_list_append(XV_LIST *list, void *item) {
    if (!usable(list)) {
        return 0;
    }
    auto *node = allocate<XV_LIST_NODE>();
    if (!node) {
        report(MALLOC_FAILED);
        return 0;
    }
    *node = XV_LIST_NODE{0, item, nullptr};
    (list->tail ? list->tail->next : list->head) = node;
    list->tail = node;
    return ++list->count;
}

int xv_list_remove(XV_LIST *list, void *item) {
    if (!usable(list)) {
        return 0;
    }
    XV_LIST_NODE *previous = nullptr;
    for (XV_LIST_NODE *node = list->head; node; previous = node, node = node->next) {
        if (node->item == item) {
            unlink(list, previous, node);
            return 1;
        }
    }
    report(REMOVE_FAILED);
    return 0;
}

void *xv_list_first(XV_LIST *list) {
    return usable(list) && list->head ? list->head->item : nullptr;
}

void *xv_list_last(XV_LIST *list) {
    return usable(list) && list->tail ? list->tail->item : nullptr;
}

int xv_list_count(XV_LIST *list) {
    return usable(list) ? list->count : -1;
}

void *xv_list_pop_first(XV_LIST *list) {
    if (!usable(list) || !list->head) {
        return nullptr;
    }
    void *item = list->head->item;
    unlink(list, nullptr, list->head);
    return item;
}

void *xv_list_pop_last(XV_LIST *list) {
    if (!usable(list) || !list->tail) {
        return nullptr;
    }
    XV_LIST_NODE *previous = nullptr;
    for (XV_LIST_NODE *node = list->head; node != list->tail; node = node->next) {
        previous = node;
    }
    void *item = list->tail->item;
    unlink(list, previous, list->tail);
    return item;
}

int xv_list_clear(XV_LIST *list) {
    if (!usable(list)) {
        return 0;
    }
    while (XV_LIST_NODE *node = list->head) {
        if (node->owns_item) {
            xv_mem_free(node->item);
        }
        unlink(list, nullptr, node);
    }
    return 1;
}

int xv_list_copy(XV_LIST *source, XV_LIST *destination) {
    if (!usable(source) || !usable(destination)) {
        return 0;
    }
    if (source == destination) {
        return 1; // emptying the destination first would empty the source too
    }
    xv_list_clear(destination);
    for (XV_LIST_NODE *node = source->head; node; node = node->next) {
        if (!xv_list_append(destination, node->item)) {
            return 0;
        }
    }
    return 1;
}

int xv_list_reverse(XV_LIST *list) {
    if (!usable(list)) {
        return 0;
    }
    XV_LIST_NODE *reversed = nullptr;
    list->tail = list->head;
    while (XV_LIST_NODE *node = list->head) {
        list->head = node->next;
        node->next = reversed;
        node->owns_item = 0;
        reversed = node;
    }
    list->head = reversed;
    list->cursor = nullptr; // a walk does not survive the turn-around
    return 1;
}

int xv_list_set_owner(XV_LIST *list, int flag) {
    if (!usable(list)) {
        return 0;
    }
    for (XV_LIST_NODE *node = list->head; node; node = node->next) {
        node->owns_item = flag;
    }
    return 1;
}

int xv_list_rewind(XV_LIST *list) {
    if (!usable(list)) {
        return 0;
    }
    list->cursor = list->head;
    return 1;
}

int xv_list_has_next(XV_LIST *list) {
    return usable(list) && list->cursor != nullptr;
}

void *xv_list_next(XV_LIST *list) {
    if (!usable(list) || !list->cursor) {
        return nullptr;
    }
    void *item = list->cursor->item;
    list->cursor = list->cursor->next;
    return item;
}
