// String files: "[Section]" headers and "key=value" lines, read and written
// byte for byte: names are case-sensitive, nothing is trimmed, a line holds
// at most 254 characters. The file layer's module; its reports are its own.
#pragma once

#include <string>

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

// Rewrites the file, lines ending with CR LF; a missing section is added
// at the end, a missing key at the end of its section's first paragraph.
// The whole new file is written beside the old one under the file's lock
// and renamed over it, so that another program, or this one killed at any
// moment, leaves the old file or the new one; the old one stays as
// "<name>.bak". A file in the archive is never changed.
int xv_io_ini_write(const char *section, const char *key, const char *value, const char *file_name);
int xv_io_ini_write_int(const char *section, const char *key, int value, const char *file_name);
int xv_io_ini_write_float(const char *section, const char *key, float value, const char *file_name);

// Several keys of one section in one rewrite: all of them are in the file
// afterwards, or none.
struct XV_INI_KEY {
    const char *key;
    const char *value;
};
int xv_io_ini_write_keys(const char *section, const XV_INI_KEY *keys, int count,
                         const char *file_name);

// The lock every program takes to write the file ("<name>.lock" beside
// it), held until unlocked: a caller that reads a value, decides, and
// writes keeps every other writer out between. Its own writes go on
// meanwhile. 1 when held; a lock that cannot be had is reported.
int xv_io_ini_lock(const char *file_name);
void xv_io_ini_unlock(const char *file_name);

class XV_INI_LOCK {
  public:
    explicit XV_INI_LOCK(const char *file_name);
    ~XV_INI_LOCK();
    XV_INI_LOCK(const XV_INI_LOCK &) = delete;
    XV_INI_LOCK &operator=(const XV_INI_LOCK &) = delete;
    bool held() const { return held_; }

  private:
    std::string file_name_;
    bool held_;
};

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
// The settings file, in the directory the game writes in (see
// xv_io_write_directory).
const char *xv_io_ini_path();
// The settings file was named (again): its path is made anew at the next
// use, and a write of it that was cut off is put right (see rewrite).
void xv_io_ini_settings_named();

// The file layer starts and stops the string files with itself.
void xv_io_ini_start();
void xv_io_ini_stop();
