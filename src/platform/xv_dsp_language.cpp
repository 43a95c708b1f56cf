// The display's languages: the language file read into a table, the
// current language chosen and kept in the settings.
#include "xv_dsp.h"
#include "xv_io.h"
#include "xv_io_ini.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <cstring>

namespace {

const char kSection[] = "Languages";

char *copy_text(const char *text) {
    char *copy = nullptr;
    xv_str_create(&copy, text, static_cast<int>(strlen(text)) + 1);
    return copy;
}

std::string read_text(const char *section, const char *key, const char *file) {
    char value[256] = "";
    xv_io_ini_read(section, key, value, sizeof value - 1, file);
    return value;
}

bool read_int(const char *section, const char *key, int *value, const char *file) {
    int read = 0;
    xv_io_ini_read_int(section, key, &read, file);
    if (xv_io_ini_status(1)) {
        return false;
    }
    *value = read;
    return true;
}

XV_DSP_LANGUAGE *load_language(const char *section, const char *file) {
    auto *language = static_cast<XV_DSP_LANGUAGE *>(xv_mem_calloc(1, sizeof(XV_DSP_LANGUAGE)));
    if (!language) {
        return nullptr;
    }
    language->name = copy_text(read_text(section, "Name", file).c_str());
    language->abbreviation = copy_text(read_text(section, "Abbreviation", file).c_str());
    language->fullscreen_text = copy_text(read_text(section, "Fullscreen", file).c_str());
    language->window_text = copy_text(read_text(section, "Window", file).c_str());
    language->characters = 1;
    read_int(section, "Number", &language->number, file);
    read_int(section, "Characters", &language->characters, file);
    return language;
}

void free_language(XV_DSP_LANGUAGE *language) {
    if (!language) {
        return;
    }
    for (char *text : {language->name, language->abbreviation, language->fullscreen_text,
                       language->window_text}) {
        if (text) {
            xv_str_destroy(text);
        }
    }
    xv_mem_free(language);
}

int first_language(const XV_DSP_LANGUAGES *languages) {
    for (int i = 0; i < languages->count; ++i) {
        if (languages->languages[i]) {
            return i;
        }
    }
    return 0;
}

} // namespace

XV_DSP_LANGUAGES *xv_dsp_load_languages(const char *file_name) {
    if (!file_name || !*file_name || !xv_io_fexist(file_name, XV_IO_THROUGH_LAYER)) {
        return nullptr;
    }
    XV_INI_QUIET quiet; // optional keys: their absence is no fault
    int count = 0;
    if ((!read_int(kSection, "NumLanguages", &count, file_name) &&
         !read_int(kSection, "NbLanguages", &count, file_name)) ||
        count < 1 || count > 99) {
        return nullptr;
    }
    auto *table = static_cast<XV_DSP_LANGUAGES *>(xv_mem_calloc(1, sizeof(XV_DSP_LANGUAGES)));
    auto **entries = static_cast<XV_DSP_LANGUAGE **>(xv_mem_calloc(count, sizeof(void *)));
    if (!table || !entries) {
        xv_mem_release(table);
        xv_mem_release(entries);
        return nullptr;
    }
    table->count = count;
    table->languages = entries;
    read_int(kSection, "MultiLanguages", &table->multi, file_name);
    for (int i = 0; i < count; ++i) {
        int included = 0;
        std::string key = xv_str_format("Included_%02d", i + 1);
        if (!read_int(kSection, key.c_str(), &included, file_name) || !included) {
            continue;
        }
        key = xv_str_format("Language_%02d", i + 1);
        std::string section = read_text(kSection, key.c_str(), file_name);
        if (section.empty()) {
            xv_warning(
                xv_str_format("Sorry, I can't find language %s in %s", key.c_str(), file_name)
                    .c_str(),
                nullptr, XV_MB_OK);
            continue;
        }
        entries[i] = load_language(section.c_str(), file_name);
    }
    int default_place = 0;
    read_int(kSection, "Default", &default_place, file_name);
    table->current = default_place >= 1 && default_place <= count && entries[default_place - 1]
                         ? default_place - 1
                         : first_language(table);
    // The player's last choice, kept in the settings.
    int number = 0;
    const char *settings = xv_io_ini_path();
    if (table->multi && settings && xv_io_fexist(settings, XV_IO_ON_DISK) &&
        read_int("Application", "Language", &number, settings)) {
        xv_dsp_select_language(table, number);
    }
    return table;
}

int xv_dsp_select_language(XV_DSP_LANGUAGES *languages, int number) {
    for (int i = 0; languages && i < languages->count; ++i) {
        if (languages->languages[i] && languages->languages[i]->number == number) {
            languages->current = i;
            return 1;
        }
    }
    return 0;
}

void xv_dsp_write_language(const XV_DSP_LANGUAGES *languages) {
    const char *settings = xv_io_ini_path();
    if (!languages || !settings || !languages->languages[languages->current]) {
        return;
    }
    xv_io_ini_write_int("Application", "Language", languages->languages[languages->current]->number,
                        settings);
}

void xv_dsp_free_languages(XV_DSP_LANGUAGES *languages) {
    if (!languages) {
        return;
    }
    for (int i = 0; i < languages->count; ++i) {
        free_language(languages->languages[i]);
    }
    xv_mem_free(languages->languages);
    xv_mem_free(languages);
}
