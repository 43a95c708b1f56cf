// The program's resources, as the desktop kept them inside the executable:
// numbered strings and named menus in several languages. The game hands
// its table over at start; the modules below look things up in it.
#pragma once

#include "os_menu.h"

#include <string>
#include <vector>

struct OS_RESOURCE_STRING {
    int id;
    const char *text;
};

struct OS_RESOURCE_MENU {
    const char *name;
    int language; // primary | sub << 10
    std::vector<OS_MENU_ITEM> bar;
};

struct OS_RESOURCES {
    std::vector<OS_RESOURCE_STRING> strings;
    std::vector<OS_RESOURCE_MENU> menus;
};

void os_resources_set(const OS_RESOURCES *resources);
// Copies at most size - 1 characters; the length, 0 when there is no such string.
int os_resource_string(int id, char *buffer, int size);
// The menu of that name in that language, or null.
const std::vector<OS_MENU_ITEM> *os_resource_menu(const char *name, int language);
