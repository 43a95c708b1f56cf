// String files: "[Section]" headers and "key=value" lines, read and written
// byte for byte: names are case-sensitive, nothing is trimmed, a line holds
// at most 254 characters. The file layer's module; its reports are its own.
#pragma once

enum {
    KEEP_OPEN = 1,  // hold the file open between reads
    KEEP_CLOSE = 2, // and close it again
    KEY_ERRORS_OFF = 4,
    KEY_ERRORS_ON = 8,
    SECTION_ERRORS_OFF = 16,
    SECTION_ERRORS_ON = 32,
};

// Stores at most size characters of the value, and a terminator, in buffer
// (size + 1 bytes); returns the number stored, 0 on failure.
int xv_io_ini_read(const char *section, const char *key, char *buffer, int size,
                   const char *file_name);
// Trims spaces and converts; a missing key stores 0.
int xv_io_ini_read_int(const char *section, const char *key, int *value, const char *file_name);
// Trims spaces and converts; when nothing converts, value keeps what it had.
int xv_io_ini_read_float(const char *section, const char *key, float *value, const char *file_name);

// Rewrites the file through a backup copy, lines ending with CR LF; a
// missing section is added at the end, a missing key at the end of its
// section's first paragraph. A file in the archive is never changed.
int xv_io_ini_write(const char *section, const char *key, const char *value, const char *file_name);
int xv_io_ini_write_int(const char *section, const char *key, int value, const char *file_name);
int xv_io_ini_write_float(const char *section, const char *key, float value, const char *file_name);

int xv_io_ini_set_mode(const char *file_name, int mode);

// While one lives, missing keys and sections go unreported: for loaders
// that read optional keys and report what is missing in their own words.
class XV_INI_QUIET {
  public:
    XV_INI_QUIET();
    ~XV_INI_QUIET();
    XV_INI_QUIET(const XV_INI_QUIET &) = delete;
    XV_INI_QUIET &operator=(const XV_INI_QUIET &) = delete;

  private:
    int saved_;
};
// Selector 1: whether the last read failed.
int xv_io_ini_status(int selector);
// The settings file, under the start directory.
const char *xv_io_ini_path();
// The settings file was named again: its path is made anew at the next use.
void xv_io_ini_forget_path();

// The file layer starts and stops the string files with itself.
void xv_io_ini_start();
void xv_io_ini_stop();
