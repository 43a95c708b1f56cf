// Heap strings: a block of capacity + 1 bytes owned by whoever created it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

struct XV_STR_CONFIG {
    int report; // non-zero: failures are reported
};

int xv_str_init(XV_STR_CONFIG *config);
int xv_str_deinit();

// Allocates capacity + 1 bytes holding at most capacity bytes of source, the
// rest zero. A capacity of 0 means strlen(source) + 1. With neither a source
// nor a capacity the result is null and 0.
int xv_str_create(char **out, const char *source, int capacity);
int xv_str_destroy(char *string);
// Refused (0) when source is longer than destination's current length,
// which stands for its capacity.
int xv_str_copy(char *destination, const char *source);
int xv_str_length(const char *string);
// Removes leading and trailing spaces in place.
void xv_str_trim(char *string);

// An upper-cased copy (ASCII letters only), for names compared without case.
std::string xv_str_upper(const char *text);
// printf into a std::string, for texts the memory tracker need not see.
std::string xv_str_format(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The word that follows option on a command line ("--hole 3" gives "3"), or
// null when the option is not there or ends the line.
const char *xv_str_option(int argc, char **argv, const char *option);
// A 64-bit fingerprint of the texts one after the other (FNV-1a), never 0:
// to know a text again, not to keep a secret.
uint64_t xv_str_fingerprint(std::initializer_list<std::string_view> texts);
