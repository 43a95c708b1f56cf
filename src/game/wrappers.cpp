#include "wrappers.h"

#include "gen.h"
#include "xv.h"

namespace {

AppDescriptor *application = nullptr;

// Every module keeps a pointer to its record for its life.
XV_DX_CONFIG dx_config = {1, 0, 0};
XV_ERROR_CONFIG error_config = {1};
XV_LIST_CONFIG list_config = {1};
XV_MEM_CONFIG mem_config = {1, 0};
XV_STR_CONFIG str_config = {1};
XV_FONT_CONFIG font_config = {1};
XV_MENU_CONFIG menu_config = {1, 800, 600};
// The archive and the settings file are named once the game has its data.
XV_IO_CONFIG io_config = {1, nullptr, nullptr};

void check_heap(const char *caption) {
    if (!xv_mem_heap_check()) {
        xv_warning_at("mainpc", __LINE__, "Heap Corrupted", caption, XV_MB_OK);
    }
}

} // namespace

int app_init(AppDescriptor *descriptor) {
    application = descriptor;
    mem_config.heap_size = descriptor->heap_size;

    if (!xv_dx_check(&dx_config)) {
        return 0;
    }
    xv_error_init(&error_config);
    xv_list_init(&list_config);
    xv_mem_init(&mem_config);
    xv_str_init(&str_config);
    xv_io_init(&io_config);
    xv_font_init(&font_config);
    xv_menu_init(&menu_config);
    gen_info_init();
    return 1;
}

int app_deinit() {
    gen_info_deinit();
    xv_font_deinit(); // menus have nothing to stop
    xv_io_deinit();   // names every file still open
    xv_str_deinit();
    xv_mem_deinit(); // names every block still alive
    xv_list_deinit();
    return xv_error_deinit();
}

int system_deinit() {
    check_heap("system_deinit 1");
    check_heap("system_deinit 2");
    return app_deinit();
}
