#include "xv_str.h"

#include <cctype>

#include "xv_error.h"
#include "xv_mem.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

enum { MALLOC_FAILED, TOO_BIG, DESTROY_NULL, NULL_STRING };

const char *const messages[] = {
    "Could not malloc space",
    "String too big",
    "Trying to destroy a null string",
    "Passed a NULL string to string function.  Shame on you.",
    nullptr,
};

XV_STR_CONFIG *config = nullptr;
int module = -1;

void report(int code) {
    xv_error_report(module, code, config && config->report);
}

} // namespace

int xv_str_init(XV_STR_CONFIG *configuration) {
    config = configuration;
    module = xv_error_register("String", messages);
    return 1;
}

int xv_str_deinit() {
    config = nullptr;
    return 1;
}

int xv_str_create(char **out, const char *source, int capacity) {
    if (!out) {
        report(NULL_STRING);
        return 0;
    }
    *out = nullptr;
    if (capacity < 0) {
        report(TOO_BIG);
        return 0;
    }
    size_t size = static_cast<size_t>(capacity);
    if (size == 0) {
        if (!source) {
            return 0;
        }
        size = strlen(source) + 1;
    }
    auto *string = static_cast<char *>(XV_MALLOC(size + 1));
    if (!string) {
        report(MALLOC_FAILED);
        return 0;
    }
    memset(string, 0, size + 1);
    if (source) {
        memcpy(string, source, strnlen(source, size));
    }
    *out = string;
    return 1;
}

int xv_str_destroy(char *string) {
    if (!string) {
        report(DESTROY_NULL);
        return 0;
    }
    xv_mem_free(string);
    return 1;
}

int xv_str_copy(char *destination, const char *source) {
    if (!destination || !source) {
        report(NULL_STRING);
        return 0;
    }
    size_t length = strlen(source);
    if (length > strlen(destination)) {
        report(TOO_BIG);
        return 0;
    }
    memmove(destination, source, length + 1);
    return 1;
}

int xv_str_length(const char *string) {
    if (!string) {
        report(NULL_STRING);
        return 0;
    }
    return static_cast<int>(strlen(string));
}

void xv_str_trim(char *string) {
    if (!string) {
        report(NULL_STRING);
        return;
    }
    size_t end = strlen(string);
    while (end > 1 && string[end - 1] == ' ') {
        --end;
    }
    string[end] = '\0';
    size_t start = strspn(string, " ");
    memmove(string, string + start, end - start + 1);
}

std::string xv_str_format(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    int length = vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) {
        vsnprintf(text.data(), text.size() + 1, format, arguments);
    }
    va_end(arguments);
    return text;
}

std::string xv_str_upper(const char *text) {
    std::string upper = text ? text : "";
    for (char &c : upper) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

const char *xv_str_option(int argc, char **argv, const char *option) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) {
            return argv[i + 1];
        }
    }
    return nullptr;
}

uint64_t xv_str_fingerprint(std::initializer_list<std::string_view> texts) {
    uint64_t hash = 14695981039346656037ull;
    for (std::string_view text : texts) {
        for (char c : text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
    }
    return hash ? hash : 1;
}
