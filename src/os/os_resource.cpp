#include "os_resource.h"

#include <algorithm>
#include <cstring>

namespace {

const OS_RESOURCES *table = nullptr;

} // namespace

void os_resources_set(const OS_RESOURCES *resources) {
    table = resources;
}

int os_resource_string(int id, char *buffer, int size) {
    if (!table || !buffer || size < 1) {
        return 0;
    }
    for (const OS_RESOURCE_STRING &string : table->strings) {
        if (string.id == id) {
            int length = static_cast<int>(std::min<size_t>(strlen(string.text), size - 1));
            memcpy(buffer, string.text, length);
            buffer[length] = '\0';
            return length;
        }
    }
    buffer[0] = '\0';
    return 0;
}

const std::vector<OS_MENU_ITEM> *os_resource_menu(const char *name, int language) {
    if (!table || !name) {
        return nullptr;
    }
    for (const OS_RESOURCE_MENU &menu : table->menus) {
        if (menu.language == language && strcmp(menu.name, name) == 0) {
            return &menu.bar;
        }
    }
    return nullptr;
}
