// Any bytes as RESOURCE.DAT: the table of contents is refused or read, and
// files in it open, seek and read, without reading outside what was loaded
// and without leaking. Half the inputs are first made into a real archive
// (packed from files the input describes) and then damaged where the input
// says, so that the reader's deeper paths are reached.
#include "fuzz_support.h"
#include "respack.h"

#include <vector>

namespace {

const char *const kNames[] = {"a", "b", "a.txt", "data/texts.txt"};

class Input {
  public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    size_t left() const { return size_ - at_; }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

void pack_and_damage(Input &input) {
    std::filesystem::remove_all("tree");
    int files = input.byte() % 4 + 1;
    for (int i = 0; i < files; ++i) {
        std::string content(input.byte() % 64, '\0');
        for (char &c : content) {
            c = static_cast<char>(input.byte());
        }
        std::filesystem::path path = std::filesystem::path("tree") / kNames[i];
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string error;
    if (!respack_write(respack_entries("tree"), "RESOURCE.DAT", input.byte(), &error)) {
        abort();
    }
    std::fstream archive("RESOURCE.DAT", std::ios::in | std::ios::out | std::ios::binary);
    archive.seekg(0, std::ios::end);
    auto size = static_cast<size_t>(archive.tellg());
    for (int damage = input.byte() % 4; damage > 0 && size; --damage) {
        size_t at = (input.byte() | input.byte() << 8) % size;
        archive.seekp(static_cast<std::streamoff>(at));
        archive.put(static_cast<char>(input.byte()));
    }
}

void read_everything(XV_FILE *file) {
    char buffer[300];
    while (xv_io_fgets(buffer, sizeof buffer, file)) {
    }
    xv_io_fseek(file, 0, SEEK_END);
    long size = xv_io_ftell(file);
    xv_io_rewind(file);
    long total = 0;
    while (size_t read = xv_io_fread(buffer, 1, sizeof buffer, file)) {
        total += static_cast<long>(read);
    }
    if (total != size || !xv_io_feof(file)) {
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    Input input(data, size);
    if (input.byte() % 2) {
        pack_and_damage(input);
    } else {
        fuzz::write_input("RESOURCE.DAT", data + 1, size ? size - 1 : 0);
    }
    fuzz::QuietPlatform platform;
    XV_IO_CONFIG config{0, "RESOURCE.DAT", nullptr};
    xv_io_init(&config);
    for (const char *name : {"A", "B", "A.TXT", "DATA\\TEXTS.TXT", "data/texts.txt"}) {
        if (XV_FILE *file = xv_io_fopen(name, "rb")) {
            read_everything(file);
            xv_io_fclose(file);
        }
    }
    xv_io_deinit();
    return 0;
}
