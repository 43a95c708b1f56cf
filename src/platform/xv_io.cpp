#include "xv_io.h"

#include "os_file.h"
#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_io_ini.h"
#include "xv_list.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr size_t kIdleStreams = 8;

enum {
    MALLOC_FAILED = 0,
    OPEN_FAILED = 1,
    WRITE_FAILED = 2,
    CLOSE_FAILED = 4,
    NULL_FILE = 7,
    FILES_LEFT_OPEN = 8,
    ARCHIVE_UNUSABLE = 9,
    ARCHIVE_NO_MEMORY = 10,
    ARCHIVE_OPEN_FAILED = 11,
    BUFFER_TOO_SMALL = 17,
    INVALID_MODE = 18,
    READ_ONLY = 19,
    WRITE_ONLY = 20,
    ARCHIVE_WRITE = 25,
    NOT_8_3 = 26,
};

const char *const messages[] = {
    "malloc failed",
    "Could not open file",
    "Could not write to file",
    "Could not read from file",
    "Could not close file",
    "Could not rename file",
    "Could not remove file",
    "Passed NULL file pointer to xv_io_file_deinit",
    "One or more files were not closed",
    "Could not initialize the resource file",
    "Not enough memory for the resource table of content",
    "Could not open file in the resource",
    "",
    "Can't find the section in the string file",
    "Can't find the key in the string file",
    "Size of the key in the string file is greater than the size of the buffer",
    "Not enough free memory",
    "Buffer passed to this function is too small",
    "Invalid mode in call to xv_io_fopen",
    "This file is open in READ_ONLY",
    "This file is open in WRITE_ONLY",
    "Passed a NULL filename to xv_io_ini_set_mode()",
    "Called xv_io_ini_set_mode (KEEP_OPEN) with a file that is already open",
    "Called xv_io_ini_set_mode (KEEP_CLOSE) with a file that is not open",
    "Tried to write past the end of a file in the resource.",
    "Attempting to write into the resource. This is not allowed.",
    "File or path is too long (8.3 format)",
    nullptr,
};

// One file of the archive, as its table of contents describes it.
struct ArchiveEntry {
    const char *first_name; // both inside the table's buffer, folded (see fold_name)
    const char *second_name;
    uint32_t offset;
    uint32_t size;
    uint8_t key;
};

struct FileLayer {
    XV_IO_CONFIG *config = nullptr;
    int module = -1;
    bool running = false;
    XV_LIST *open_files = nullptr;
    int open_count = 0;
    std::string start_directory;
    std::string archive_path;  // as this file system names it
    std::string settings_file; // kept past shutdown, when the tracker writes to it
    char *table = nullptr;     // the table of contents, unscrambled
    ArchiveEntry *entries = nullptr;
    uint32_t entry_count = 0;
    // The first entry, in table order, that bears each name.
    std::unordered_map<std::string_view, uint32_t> entry_of_name;
    // Streams on the archive that closed archived files gave back; the next
    // one opened for reading takes one instead of opening the archive again.
    std::vector<FILE *> idle_streams;
    bool report_open_failures = true;
    long bytes_read = 0;
    // Folders read after the archive and the game's own (the courses built
    // from folders of text), each ending with a separator.
    std::vector<std::string> read_folders;
};

FileLayer layer;
// Chosen before the layer starts, and kept past its stop: the logs go on.
std::string write_directory;
// Chosen with it: where the settings and best scores are kept.
std::string settings_directory;

bool reporting() {
    return layer.config && layer.config->report;
}

// Most failures are reported only when the configuration asks; a few always.
void report(int code) {
    xv_error_report(layer.module, code, reporting());
}

void report_always(int code) {
    xv_error_report(layer.module, code, 1);
}

uint32_t read_u32(const unsigned char *bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Names in the archive and the names asked for are compared folded: upper
// case, with '/' read as '\', as the desktop's file system compared them.
void fold_name(char *text) {
    for (; *text; ++text) {
        *text = *text == '/' ? '\\' : static_cast<char>(toupper(static_cast<unsigned char>(*text)));
    }
}

// ---- the archive --------------------------------------------------------------

void free_table() {
    xv_mem_release(layer.table);
    xv_mem_release(layer.entries);
    layer.table = nullptr;
    layer.entries = nullptr;
    layer.entry_count = 0;
    layer.entry_of_name.clear();
}

// Walks the unscrambled table for count entries. Nothing is trusted: a name
// must end inside the table, a record must fit in it, and a file's data must
// lie inside the archive before its table.
bool parse_table(uint32_t table_size, uint32_t count, uint32_t table_offset) {
    uint32_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        ArchiveEntry &entry = layer.entries[i];
        char *names[2];
        for (char *&name : names) {
            const void *end = memchr(layer.table + at, '\0', table_size - at);
            if (!end) {
                return false;
            }
            name = layer.table + at;
            fold_name(name);
            at = static_cast<uint32_t>(static_cast<const char *>(end) - layer.table) + 1;
        }
        if (table_size - at < XV_ARCHIVE_RECORD_SIZE) {
            return false;
        }
        auto *record = reinterpret_cast<const unsigned char *>(layer.table + at);
        entry = {names[0], names[1], read_u32(record), read_u32(record + 4), record[12]};
        if (entry.offset > table_offset || entry.size > table_offset - entry.offset) {
            return false;
        }
        at += XV_ARCHIVE_RECORD_SIZE;
    }
    // Walked backwards, so that the earliest entry bearing a name, under
    // either of its names, is the one left.
    for (uint32_t i = count; i-- > 0;) {
        layer.entry_of_name[layer.entries[i].second_name] = i;
        layer.entry_of_name[layer.entries[i].first_name] = i;
    }
    layer.entry_count = count;
    return true;
}

// Reads and checks the trailer, then the table it points to.
bool read_table(XV_FILE *archive) {
    if (xv_io_fseek(archive, 0, SEEK_END) != 0) {
        return false;
    }
    long size = xv_io_ftell(archive);
    // Offsets in the archive are 32-bit; a long is 64 bits on Linux and 32
    // on Windows, where no size passes the limit.
    if (size < static_cast<long>(XV_ARCHIVE_TRAILER_SIZE) || !std::in_range<uint32_t>(size)) {
        return false;
    }
    unsigned char trailer[XV_ARCHIVE_TRAILER_SIZE];
    xv_io_fseek(archive, size - XV_ARCHIVE_TRAILER_SIZE, SEEK_SET);
    if (xv_io_fread(trailer, 1, sizeof trailer, archive) != sizeof trailer) {
        return false;
    }
    uint32_t table_end = static_cast<uint32_t>(size) - XV_ARCHIVE_TRAILER_SIZE;
    uint32_t table_offset = read_u32(trailer + 4);
    uint32_t count = read_u32(trailer + 8);
    uint8_t key = trailer[12];
    if (read_u32(trailer) != XV_ARCHIVE_MAGIC || table_offset >= table_end) {
        return false;
    }
    uint32_t table_size = table_end - table_offset;
    // Every entry takes two name terminators and its record.
    if (count > table_size / (XV_ARCHIVE_RECORD_SIZE + 2)) {
        return false;
    }
    layer.table = static_cast<char *>(XV_MALLOC(table_size));
    layer.entries = static_cast<ArchiveEntry *>(XV_CALLOC(count + 1, sizeof(ArchiveEntry)));
    if (!layer.table || !layer.entries) {
        report(ARCHIVE_NO_MEMORY);
        return false;
    }
    xv_io_fseek(archive, table_offset, SEEK_SET);
    if (xv_io_fread(layer.table, 1, table_size, archive) != table_size) {
        return false;
    }
    for (uint32_t i = 0; i < table_size; ++i) {
        layer.table[i] = static_cast<char>(layer.table[i] ^ key);
    }
    return parse_table(table_size, count, table_offset);
}

bool load_archive(const char *path) {
    layer.archive_path = os_file_find_path(path);
    layer.report_open_failures = false; // reported here, whatever the switch
    XV_FILE *archive = xv_io_fopen(path, "rb");
    layer.report_open_failures = true;
    if (!archive) {
        xv_error_set_detail("%s", path);
        report_always(OPEN_FAILED);
        return false;
    }
    bool usable = read_table(archive);
    xv_io_fclose(archive);
    if (!usable) {
        free_table();
        report(ARCHIVE_UNUSABLE);
    }
    return usable;
}

const ArchiveEntry *entry_of(const XV_FILE *file) {
    return file->entry ? &layer.entries[file->entry - 1] : nullptr;
}

// ---- opening --------------------------------------------------------------------

// A base of at most 8 characters and an extension of at most 3 in every
// component below the start directory (or the folders the game writes in,
// or a read folder: a course built there keeps its maps beside its models).
bool is_8_3(const char *name) {
    std::string_view rest = name;
    const auto read_folder =
        std::find_if(layer.read_folders.begin(), layer.read_folders.end(),
                     [&](const std::string &folder) { return rest.starts_with(folder); });
    if (read_folder != layer.read_folders.end()) {
        rest.remove_prefix(read_folder->size());
    } else if (!write_directory.empty() && rest.starts_with(write_directory)) {
        rest.remove_prefix(write_directory.size());
    } else if (!settings_directory.empty() && rest.starts_with(settings_directory)) {
        rest.remove_prefix(settings_directory.size());
    } else if (rest.starts_with(layer.start_directory)) {
        rest.remove_prefix(layer.start_directory.size());
    }
    size_t base = 0;
    size_t extension = 0;
    bool in_extension = false;
    for (char c : rest) {
        if (c == '\\' || c == '/' || c == ':') {
            base = extension = 0;
            in_extension = false;
        } else if (c == '.' && !in_extension) {
            in_extension = true;
        } else if (c != '.') {
            size_t &count = in_extension ? extension : base;
            if (++count > (in_extension ? 3u : 8u)) {
                return false;
            }
        }
    }
    return true;
}

int access_of(const char *mode) {
    int access = 0;
    if (strpbrk(mode, "+wa")) {
        access |= XV_IO_WRITE;
    }
    if (strchr(mode, 'r') || strstr(mode, "w+")) {
        access |= XV_IO_READ;
    }
    return access;
}

// Opens a disk file by the game's name. A read tries the name as written
// first, and looks for it without regard to case only when that fails; a
// write resolves it first, so that it never makes a second file beside one
// that differs only in case.
FILE *open_on_disk(const char *name, const char *mode) {
    bool reading_only = mode[0] == 'r' && !strchr(mode, '+');
    if (reading_only) {
        if (FILE *stream = fopen(os_file_native_path(name).c_str(), mode)) {
            return stream;
        }
    }
    if (FILE *stream = fopen(os_file_find_path(name).c_str(), mode); stream || !reading_only) {
        return stream;
    }
    for (const std::string &folder : layer.read_folders) {
        const std::string path = folder + name;
        if (FILE *stream = fopen(os_file_find_path(path.c_str()).c_str(), mode)) {
            return stream;
        }
    }
    return nullptr;
}

// The first entry in table order that bears the name, from index from on.
int find_entry(const std::string &folded, uint32_t from) {
    if (from == 0) {
        auto found = layer.entry_of_name.find(folded);
        return found == layer.entry_of_name.end() ? -1 : static_cast<int>(found->second);
    }
    for (uint32_t i = from; i < layer.entry_count; ++i) {
        if (folded == layer.entries[i].first_name || folded == layer.entries[i].second_name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A stream on the archive at the entry that bears the name, if any.
FILE *open_in_archive(const char *name, const char *mode, int *entry) {
    if (!layer.entry_count) {
        return nullptr;
    }
    std::string folded = name;
    fold_name(folded.data());
    const char *archive_mode = strcmp(mode, "wb") == 0 || strcmp(mode, "w") == 0 ? "r+b" : mode;
    for (int index = find_entry(folded, 0); index >= 0; index = find_entry(folded, index + 1)) {
        FILE *stream = nullptr;
        if (access_of(mode) == XV_IO_READ && !layer.idle_streams.empty()) {
            stream = layer.idle_streams.back();
            layer.idle_streams.pop_back();
        } else {
            stream = fopen(layer.archive_path.c_str(), archive_mode);
        }
        if (stream) {
            fseek(stream, layer.entries[index].offset, SEEK_SET);
            *entry = index + 1;
            return stream;
        }
        report(ARCHIVE_OPEN_FAILED);
    }
    return nullptr;
}

void add_read(size_t bytes) {
    layer.bytes_read += static_cast<long>(bytes);
}

// Gives an open stream its record on the open-file list.
XV_FILE *adopt(const char *name, FILE *stream, const char *mode) {
    XV_FILE *file = xv_io_file_init();
    if (!file) {
        fclose(stream);
        return nullptr;
    }
    xv_str_create(&file->name, name, 0);
    file->stream = stream;
    file->open = 1;
    file->access = access_of(mode);
    layer.open_count++;
    return file;
}

bool check_readable(XV_FILE *file, const char *operation) {
    if (file->access & XV_IO_READ) {
        return true;
    }
    xv_error_set_detail("File: %s in %s", file->name, operation);
    report(WRITE_ONLY);
    return false;
}

bool refuse_archive_write(XV_FILE *file) {
    if (!file->entry) {
        return false;
    }
    xv_error_set_detail("%s", file->name);
    report_always(ARCHIVE_WRITE);
    return true;
}

// The position inside an archived file.
long archived_position(const XV_FILE *file) {
    return ftell(file->stream) - static_cast<long>(entry_of(file)->offset);
}

char *strip_line_end(char *buffer) {
    size_t length = strlen(buffer);
    while (length && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) {
        buffer[--length] = '\0';
    }
    return buffer;
}

// A line ends at LF, CR, CR LF or LF CR, or where the file's data ends.
char *archived_gets(char *buffer, int size, XV_FILE *file) {
    const ArchiveEntry &entry = *entry_of(file);
    long position = archived_position(file);
    if (position >= static_cast<long>(entry.size)) {
        return nullptr;
    }
    int stored = 0;
    bool ended = false;
    while (stored < size - 1 && position < static_cast<long>(entry.size) && !ended) {
        int c = fgetc(file->stream);
        if (c == EOF) {
            break;
        }
        ++position;
        add_read(1);
        c ^= entry.key;
        if (c == '\n' || c == '\r') {
            ended = true;
            int pair = c == '\n' ? '\r' : '\n';
            if (position < static_cast<long>(entry.size)) {
                int next = fgetc(file->stream);
                if (next != EOF && (next ^ entry.key) == pair) {
                    add_read(1);
                } else if (next != EOF) {
                    ungetc(next, file->stream);
                }
            }
        } else {
            buffer[stored++] = static_cast<char>(c);
        }
    }
    buffer[stored] = '\0';
    return buffer;
}

} // namespace

int xv_io_init(XV_IO_CONFIG *config) {
    layer = FileLayer{};
    layer.config = config;
    layer.settings_file = config && config->settings_file ? config->settings_file : "";
    layer.module = xv_error_register("File I/O", messages);
    xv_list_create(&layer.open_files);
    layer.start_directory = os_current_directory();
    layer.running = true;
    xv_io_ini_start();
    if (!config || !config->archive_path) {
        return 1;
    }
    return load_archive(config->archive_path) ? 1 : 0;
}

int xv_io_deinit() {
    if (layer.open_count > 0) {
        report(FILES_LEFT_OPEN);
        while (auto *file = static_cast<XV_FILE *>(xv_list_first(layer.open_files))) {
            if (reporting()) {
                xv_warning(xv_str_format("Name: '%s' File not closed.", file->name).c_str(),
                           "File I/O Info", XV_MB_OK);
            }
            if (xv_io_fclose(file) != 0) {
                xv_io_file_deinit(file); // the stream would not close; the record goes anyway
            }
        }
    }
    xv_io_ini_stop();
    xv_list_destroy(layer.open_files);
    for (FILE *stream : layer.idle_streams) {
        fclose(stream);
    }
    layer.idle_streams.clear();
    layer.read_folders.clear();
    free_table();
    layer.open_files = nullptr;
    layer.running = false;
    layer.config = nullptr; // the caller's record need not outlive the layer
    return 1;
}

XV_FILE *xv_io_fopen(const char *name, const char *mode) {
    if (!name || !*name) {
        xv_error_set_detail("(null)");
        report(OPEN_FAILED);
        return nullptr;
    }
    mode = mode ? mode : "";
    if (!access_of(mode)) {
        // No stream opens with such a mode; a file that allows nothing is refused.
        xv_error_set_detail("%s", name);
        report(INVALID_MODE);
        return nullptr;
    }
    if (reporting() && !is_8_3(name)) {
        xv_error_set_detail("%s", name);
        report(NOT_8_3);
        return nullptr;
    }
    int entry = 0;
    FILE *stream = open_in_archive(name, mode, &entry);
    if (!stream) {
        stream = open_on_disk(name, mode);
    }
    if (!stream) {
        if (layer.report_open_failures) {
            xv_error_set_detail("%s", name);
            report(OPEN_FAILED);
        }
        return nullptr;
    }
    XV_FILE *file = adopt(name, stream, mode);
    if (file) {
        file->entry = entry;
    }
    return file;
}

int xv_io_fclose(XV_FILE *file) {
    if (!file) {
        report(NULL_FILE);
        return EOF;
    }
    // A stream that only read the archive is as good as new for the next file.
    bool reusable =
        file->entry && file->access == XV_IO_READ && layer.idle_streams.size() < kIdleStreams;
    if (reusable) {
        clearerr(file->stream);
        layer.idle_streams.push_back(file->stream);
    }
    int result = reusable ? 0 : fclose(file->stream);
    if (result != 0) {
        report(CLOSE_FAILED);
        return result;
    }
    layer.open_count--;
    xv_io_file_deinit(file);
    return 0;
}

XV_FILE *xv_io_file_init() {
    auto *file = static_cast<XV_FILE *>(XV_CALLOC(1, sizeof(XV_FILE)));
    if (!file) {
        report(MALLOC_FAILED);
        return nullptr;
    }
    xv_list_append(layer.open_files, file);
    return file;
}

int xv_io_file_deinit(XV_FILE *file) {
    if (!file) {
        report(NULL_FILE);
        return 0;
    }
    if (file->name) {
        xv_str_destroy(file->name);
    }
    xv_list_remove(layer.open_files, file);
    XV_FREE(file);
    return 1;
}

size_t xv_io_fread(void *buffer, size_t size, size_t count, XV_FILE *file) {
    if (!check_readable(file, "xv_io_fread")) {
        return 0;
    }
    const ArchiveEntry *entry = entry_of(file);
    if (!entry) {
        size_t items = fread(buffer, size, count, file->stream);
        add_read(items * size);
        return items;
    }
    // An archived file ends where its data ends, not where the archive does.
    long left = static_cast<long>(entry->size) - archived_position(file);
    if (size == 0 || left <= 0) {
        return 0;
    }
    count = std::min<size_t>(count, static_cast<size_t>(left) / size);
    size_t items = fread(buffer, size, count, file->stream);
    auto *bytes = static_cast<unsigned char *>(buffer);
    for (size_t i = 0; i < items * size; ++i) {
        bytes[i] ^= entry->key;
    }
    add_read(items * size);
    return items;
}

long xv_io_fwrite(const void *buffer, size_t size, size_t count, XV_FILE *file) {
    if (refuse_archive_write(file)) {
        return -1;
    }
    return static_cast<long>(fwrite(buffer, size, count, file->stream));
}

int xv_io_fgetc(XV_FILE *file) {
    if (!check_readable(file, "xv_io_fgetc")) {
        return 0;
    }
    const ArchiveEntry *entry = entry_of(file);
    if (entry && archived_position(file) >= static_cast<long>(entry->size)) {
        return EOF;
    }
    int c = fgetc(file->stream);
    if (c == EOF) {
        return EOF;
    }
    add_read(1);
    return entry ? c ^ entry->key : c;
}

int xv_io_fputc(int byte, XV_FILE *file) {
    if (refuse_archive_write(file)) {
        return -1;
    }
    int written = fputc(byte, file->stream);
    if (written != byte) {
        report(WRITE_FAILED);
    }
    return written;
}

char *xv_io_fgets(char *buffer, int size, XV_FILE *file) {
    if (!check_readable(file, "xv_io_fgets") || size < 1) {
        return nullptr;
    }
    buffer[0] = '\0';
    if (file->entry) {
        return archived_gets(buffer, size, file);
    }
    if (!fgets(buffer, size, file->stream)) {
        buffer[0] = '\0';
        return nullptr;
    }
    add_read(strlen(buffer));
    return strip_line_end(buffer);
}

int xv_io_fputs(const char *text, XV_FILE *file) {
    if (refuse_archive_write(file)) {
        return -1;
    }
    int result = fputs(text, file->stream);
    if (result == EOF) {
        report(WRITE_FAILED);
    }
    return result;
}

int xv_io_fseek(XV_FILE *file, long offset, int origin) {
    const ArchiveEntry *entry = entry_of(file);
    if (!entry || origin == SEEK_CUR) {
        return fseek(file->stream, offset, origin);
    }
    long base = static_cast<long>(entry->offset) + (origin == SEEK_END ? entry->size : 0);
    return fseek(file->stream, base + offset, SEEK_SET);
}

long xv_io_ftell(XV_FILE *file) {
    return file->entry ? archived_position(file) : ftell(file->stream);
}

void xv_io_rewind(XV_FILE *file) {
    if (file->entry) {
        xv_io_fseek(file, 0, SEEK_SET);
    } else {
        rewind(file->stream);
    }
}

int xv_io_feof(XV_FILE *file) {
    const ArchiveEntry *entry = entry_of(file);
    return entry ? archived_position(file) >= static_cast<long>(entry->size) : feof(file->stream);
}

int xv_io_flush(XV_FILE *file) {
    if (!(file->access & XV_IO_WRITE)) {
        xv_error_set_detail("File: %s in xv_io_flush", file->name);
        report(READ_ONLY);
        return -1;
    }
    return fflush(file->stream);
}

int xv_io_is_open(XV_FILE *file) {
    if (!file) {
        report(NULL_FILE);
        return 0;
    }
    return file->open;
}

void xv_io_add_read_folder(const char *folder) {
    std::string path = folder ? folder : "";
    if (path.empty()) {
        return;
    }
    if (path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    // The folder given last is read first: a course built again from
    // changed texts stands before its earlier build.
    std::erase(layer.read_folders, path);
    layer.read_folders.insert(layer.read_folders.begin(), path);
}

int xv_io_fexist(const char *name, int how) {
    int found = 0;
    if (how & XV_IO_THROUGH_LAYER) {
        layer.report_open_failures = false;
        XV_FILE *file = xv_io_fopen(name, "rb");
        layer.report_open_failures = true;
        if (file) {
            found |= file->entry ? 1 : 2;
            xv_io_fclose(file);
        }
    }
    if ((how & XV_IO_ON_DISK) && name && os_file_exists(os_file_find_path(name).c_str())) {
        found |= 2;
    }
    return found;
}

long xv_io_file_size(const char *name) {
    layer.report_open_failures = false;
    XV_FILE *file = xv_io_fopen(name, "rb");
    layer.report_open_failures = true;
    if (!file) {
        return -1;
    }
    const long size = xv_io_fseek(file, 0, SEEK_END) == 0 ? xv_io_ftell(file) : -1;
    xv_io_fclose(file);
    return size;
}

std::string xv_io_snapshot_name() {
    for (int n = 0; n < 10000; ++n) {
        std::string name = xv_io_write_path(xv_str_format("Snap%04d.tga", n).c_str());
        if (!xv_io_fexist(name.c_str(), XV_IO_ON_DISK)) {
            return name;
        }
    }
    return {};
}

int xv_io_fgetdir(const char *path, char *buffer, int size) {
    const char *last = nullptr;
    for (const char *c = path; *c; ++c) {
        if (*c == '\\' || *c == '/' || *c == ':') {
            last = c;
        }
    }
    buffer[0] = '\0';
    if (!last || last == path) {
        return 0;
    }
    int length = static_cast<int>(last - path) + 1;
    if (length >= size) {
        xv_error_set_detail("xv_io_fgetdir (%s)", path);
        report(BUFFER_TOO_SMALL);
        return -1;
    }
    memcpy(buffer, path, length);
    buffer[length] = '\0';
    return length;
}

char *xv_io_change_ext(const char *path, const char *extension) {
    std::string_view whole = path;
    size_t name = whole.find_last_of("\\/:");
    name = name == std::string_view::npos ? 0 : name + 1;
    // Only a dot in the file's own name starts its extension, and not its first character.
    size_t dot = whole.rfind('.');
    std::string_view stem =
        dot != std::string_view::npos && dot > name ? whole.substr(0, dot) : whole;
    std::string changed = std::string(stem) + "." + extension;
    char *result = nullptr;
    xv_str_create(&result, changed.c_str(), 0);
    return result;
}

int xv_io_fcopy(const char *destination, const char *source, int how) {
    if (!(how & (XV_IO_THROUGH_LAYER | XV_IO_ON_DISK))) {
        return 0;
    }
    XV_FILE *from = nullptr;
    if (!(how & XV_IO_THROUGH_LAYER)) {
        if (FILE *plain = fopen(os_file_find_path(source).c_str(), "rb")) {
            from = adopt(source, plain, "rb");
        }
    }
    if (!from) {
        from = xv_io_fopen(source, "rb");
    }
    if (!from) {
        return 0;
    }
    FILE *to = fopen(os_file_find_path(destination).c_str(), "wb");
    bool copied = to != nullptr;
    char chunk[16384];
    while (copied) {
        size_t read = xv_io_fread(chunk, 1, sizeof chunk, from);
        if (read == 0) {
            break;
        }
        copied = fwrite(chunk, 1, read, to) == read;
    }
    if (to && fclose(to) != 0) {
        copied = false;
    }
    xv_io_fclose(from);
    return copied ? 1 : 0;
}

long xv_io_get_bytes_read() {
    return layer.bytes_read;
}
void xv_io_set_bytes_read(long bytes) {
    layer.bytes_read = bytes;
}

int xv_io_module() {
    return layer.module;
}
int xv_io_reporting() {
    return reporting();
}
const char *xv_io_settings_file() {
    return layer.settings_file.empty() ? nullptr : layer.settings_file.c_str();
}
void xv_io_set_settings_file(const char *name) {
    layer.settings_file = name ? name : "";
    xv_io_ini_settings_named();
}

namespace {

// The logs and snapshots: the folder the game runs in when it may write
// there, else the user's data folder.
int choose_log_directory(const char *program, bool here_writable, const std::string &here) {
    if (here_writable) {
        return 1;
    }
    std::string why;
    std::string own = os_user_data_directory(program, &why);
    if (own.empty()) {
        os_debug_output({program, ": cannot write in ", here, " nor in the user's folder (", why,
                         "): no settings, scores, logs or snapshots can be kept\n"});
        return 0;
    }
    write_directory = own;
    os_debug_output(
        {program, ": cannot write in ", here, "; the logs and snapshots go to ", own, "\n"});
    return 1;
}

// The settings and best scores belong to the player, not to the copy of
// the game: they go to the user's settings folder, unless the game's
// folder may be written and holds them already (a copy carried around
// with its settings beside it keeps them there).
void choose_settings_directory(const char *program, bool here_writable) {
    const std::string portable = std::string(program) + ".ini";
    if (here_writable && os_file_exists(os_file_find_path(portable.c_str()).c_str())) {
        return;
    }
    std::string why;
    std::string own = os_user_config_directory(program, &why);
    if (own.empty()) {
        settings_directory = write_directory;
        os_debug_output({program, ": no settings folder (", why, "); the settings go to ",
                         here_writable ? "the game's folder" : write_directory, "\n"});
        return;
    }
    settings_directory = own;
}

} // namespace

int xv_io_choose_write_directory(const char *program) {
    write_directory.clear();
    settings_directory.clear();
    const bool here_writable = os_directory_writable(".");
    if (!choose_log_directory(program, here_writable, os_current_directory())) {
        return 0;
    }
    choose_settings_directory(program, here_writable);
    return 1;
}

const char *xv_io_settings_directory() {
    return settings_directory.c_str();
}

const char *xv_io_settings_directory_or_start() {
    return settings_directory.empty() ? layer.start_directory.c_str() : settings_directory.c_str();
}

const char *xv_io_write_directory() {
    return write_directory.c_str();
}

const char *xv_io_write_directory_or_start() {
    return write_directory.empty() ? layer.start_directory.c_str() : write_directory.c_str();
}

std::string xv_io_write_path(const char *name) {
    return write_directory + (name ? name : "");
}

const char *xv_io_start_directory() {
    return layer.start_directory.c_str();
}
int xv_io_running() {
    return layer.running;
}

bool xv_io_read_whole(const char *name, std::vector<uint8_t> *bytes, size_t largest) {
    XV_FILE *file = xv_io_fopen(name, "rb");
    if (!file) {
        return false;
    }
    bool read = xv_io_fseek(file, 0, SEEK_END) == 0;
    long size = read ? xv_io_ftell(file) : -1;
    read = read && size >= 0 && static_cast<size_t>(size) <= largest;
    if (read) {
        bytes->resize(static_cast<size_t>(size));
        xv_io_rewind(file);
        read = xv_io_fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    xv_io_fclose(file);
    return read;
}
