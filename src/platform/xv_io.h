// The file layer: every data file of the game is opened here, loose from
// the disk or from the packed archive RESOURCE.DAT, whose table of contents
// is loaded at start. Open files are listed, so that any left open are named
// at shutdown. Names use '\' or '/', in any letter case.
#pragma once

#include <string>
#include <vector>

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct XV_IO_CONFIG {
    int report;                // non-zero: failures are reported
    const char *archive_path;  // the resource archive; null: every file is loose
    const char *settings_file; // the settings file's name, see xv_io_ini_path
};

struct XV_FILE {
    FILE *stream; // for an archived file, a stream of its own on the archive
    char *name;   // the name it was opened under
    int open;
    int entry;  // 0 for a loose file, else 1 + its index in the table of contents
    int access; // XV_IO_READ, XV_IO_WRITE
};

enum {
    XV_IO_READ = 1,
    XV_IO_WRITE = 2,
};

// How xv_io_fexist and xv_io_fcopy look for a file.
enum {
    XV_IO_THROUGH_LAYER = 1, // through xv_io_fopen: archive first, then the disk
    XV_IO_ON_DISK = 2,       // as a plain disk file
};

// The archive: file data, each file's bytes XORed with its own key byte;
// the table of contents, XORed with one key byte; and a 13-byte trailer:
// magic, table offset, entry count (u32 each, little-endian), table key.
// Each entry is two NUL-terminated names, then data offset, data size, a
// CRC-32 of the file's bytes (not read by the game; u32 each) and the key.
enum : uint32_t {
    XV_ARCHIVE_MAGIC = 0xBABEFACE,
    XV_ARCHIVE_TRAILER_SIZE = 13,
    XV_ARCHIVE_RECORD_SIZE = 13,
};

int xv_io_init(XV_IO_CONFIG *config);
int xv_io_deinit();

XV_FILE *xv_io_fopen(const char *name, const char *mode);
// 0 when closed; otherwise the stream's result, and the handle stays.
int xv_io_fclose(XV_FILE *file);
size_t xv_io_fread(void *buffer, size_t size, size_t count, XV_FILE *file);
// -1 for an archived file, which is never written.
long xv_io_fwrite(const void *buffer, size_t size, size_t count, XV_FILE *file);
int xv_io_fgetc(XV_FILE *file);
int xv_io_fputc(int byte, XV_FILE *file);
// Reads a line without its line end; null at the end of the file (an
// empty line gives an empty buffer).
char *xv_io_fgets(char *buffer, int size, XV_FILE *file);
int xv_io_fputs(const char *text, XV_FILE *file);
int xv_io_fseek(XV_FILE *file, long offset, int origin);
long xv_io_ftell(XV_FILE *file);
void xv_io_rewind(XV_FILE *file);
int xv_io_feof(XV_FILE *file);
int xv_io_flush(XV_FILE *file);
int xv_io_is_open(XV_FILE *file);

// A new empty record on the open-file list, and its release.
XV_FILE *xv_io_file_init();
int xv_io_file_deinit(XV_FILE *file);

// A folder (a path of this system) whose files are read, by the game's
// names, after the archive's and the game folder's, the folder given last
// first: where a course built from a folder of text keeps what the game
// reads. A game name is never written there (a write by the folder's own
// path is). The folders are forgotten when the layer stops.
void xv_io_add_read_folder(const char *folder);

// Where the name is found: 1 in the archive, 2 on the disk.
int xv_io_fexist(const char *name, int how);
// The file's size in bytes as xv_io_fopen finds it, archive first; -1,
// unreported, when it does not open. Loaders hold the counts a file claims
// to what its bytes can hold.
long xv_io_file_size(const char *name);
// The whole file, when it opens, reads to its end and is at most largest
// bytes long.
bool xv_io_read_whole(const char *name, std::vector<uint8_t> *bytes, size_t largest);
// The snapshots' names: "Snap0000.tga" onwards, the first that is not on
// the disk; an empty name when all 10,000 are taken.
std::string xv_io_snapshot_name();
// The directory part of path, up to its last separator, and its length;
// -1 when it does not fit in size characters.
int xv_io_fgetdir(const char *path, char *buffer, int size);
// A new tracked string: path with its extension replaced (or added).
char *xv_io_change_ext(const char *path, const char *extension);
int xv_io_fcopy(const char *destination, const char *source, int how);

// Bytes read through xv_io_fread, xv_io_fgetc and xv_io_fgets.
long xv_io_get_bytes_read();
void xv_io_set_bytes_read(long bytes);

// For the string-file module, which shares this module's reports.
int xv_io_module();
int xv_io_reporting();
// The settings file's name, as configured at the last start or named since
// (the game learns it from its texts, after the file layer has started);
// null for none. Naming it puts right a write of it that was cut off.
const char *xv_io_settings_file();
void xv_io_set_settings_file(const char *name);
// The directory the game started in, ending with a separator.
const char *xv_io_start_directory();
int xv_io_running();

// Where the game writes its own files (the warning and engine logs,
// snapshots): the directory it runs in when it may write there,
// otherwise the user's own folder for the game. Chosen once at start,
// before any module, and said on standard error when it is not the
// directory the game runs in; 0 when there is nowhere to write, which is
// said there too.
int xv_io_choose_write_directory(const char *program);
// "" for the directory the game runs in; else a path ending with a separator.
const char *xv_io_write_directory();
// Where the settings and best scores are kept, chosen with the write
// directory: the directory the game runs in ("") when it may be written
// and holds the settings already (<program>.ini), else the user's settings
// folder ($XDG_CONFIG_HOME/program, %APPDATA%\program on Windows), else
// the write directory.
const char *xv_io_settings_directory();
// The settings directory, or the start directory when that is where they are kept.
const char *xv_io_settings_directory_or_start();
// The write directory, or the start directory when that is where it writes.
const char *xv_io_write_directory_or_start();
// The file's name in the write directory.
std::string xv_io_write_path(const char *name);
