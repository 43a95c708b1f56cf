// Font descriptions, raw or built from the input around pictures and
// animations it also shapes: every font that loads is measured and drawn
// into bitmaps of two depths, then freed; nothing may leak.
#include "flic_writer.h"
#include "fuzz_picture.h"

#include <filesystem>
#include <vector>

namespace {

// Bytes of a description value: anything but line ends and the terminator.
std::string value_bytes(fuzz::Bytes &input, int most) {
    std::string text;
    for (int length = input.next() % most; length > 0; --length) {
        char c = static_cast<char>(input.next());
        text += c == '\r' || c == '\n' || c == '\0' ? 'A' : c;
    }
    return text;
}

void write_sheet(fuzz::Bytes &input) {
    XV_BITMAP sheet{};
    XV_RECT area = {0, 0, static_cast<int16_t>(input.next() % 40 + 1),
                    static_cast<int16_t>(input.next() % 20 + 1)};
    if (!xv_bit_alloc(&sheet, &area, XV_BIT_BPP8)) {
        return;
    }
    for (long i = 0; i < static_cast<long>(area.width) * area.height; ++i) {
        sheet.pixels[i] = input.next() % 3 ? 0 : input.next();
    }
    sheet.palette = xv_pal_alloc(nullptr, 256, XV_PAL_RGB | XV_PAL_GRAY);
    xv_bit_save(&sheet, "g.pcx", nullptr, 0);
    xv_bit_free(&sheet);
}

void write_animation(fuzz::Bytes &input) {
    int width = input.next() % 16 + 1, height = input.next() % 16 + 1;
    FlicWriter writer(input.next() % 2 + 1, width, height, 1);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    std::vector<uint8_t> rgb(768, 90);
    for (int frame = input.next() % 4; frame >= 0; --frame) {
        for (uint8_t &value : pixels) {
            value = input.next() % 4 ? 0 : input.next();
        }
        writer.begin_frame();
        rgb[input.next() % 768] = input.next();
        writer.colours(rgb.data());
        writer.byte_run(pixels.data());
        writer.end_frame();
    }
    std::string bytes = writer.bytes();
    fuzz::damage(bytes, input);
    fuzz::write_input("a.flc", reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

std::string description(fuzz::Bytes &input) {
    const char *names[] = {"g.pcx", "a.flc", "none.png", "g.pcx"};
    int version = input.next() % 3;
    std::string text = "[Font Properties]\r\nName=F\r\n";
    text += version ? "Version=" + std::to_string(version) + "\r\n" : "";
    text += "Width=" + std::to_string(input.next() % 10) + "\r\n";
    text += "Height=" + std::to_string(input.next() % 10) + "\r\n";
    int files = input.next() % 4;
    text += "NumFiles=" + std::to_string(files) + "\r\n";
    if (input.next() % 4 == 0) {
        text += "Palette=g.pcx\r\n";
    }
    for (int i = 1; i <= files; ++i) {
        char section[32];
        snprintf(section, sizeof section, version == 2 ? "[File%06d]\r\n" : "[File%03d]\r\n", i);
        text += section;
        text += std::string("Name=") + names[input.next() % 4] + "\r\n";
        text += "Type=" + std::to_string(input.next() % 9) + "\r\n";
        int lines = input.next() % 4;
        text += "NumLines=" + std::to_string(lines) + "\r\n";
        for (const char *key : {"X", "Y", "Width", "Height"}) {
            if (input.next() % 2) {
                text += std::string(key) + "=" + std::to_string(input.next() % 20) + "\r\n";
            }
        }
        for (int j = 1; j <= lines; ++j) {
            char key[16];
            snprintf(key, sizeof key, "Line%03d=", j);
            text += key + value_bytes(input, 10) + "\r\n";
        }
    }
    if (input.next() % 2) {
        text += "[Character Properties]\r\nMapSrc=" + value_bytes(input, 6) +
                "\r\nMapDst=" + value_bytes(input, 6) + "\r\n";
    }
    return text;
}

void draw(XV_FONT *font, fuzz::Bytes &input) {
    std::string text = value_bytes(input, 24);
    for (int type : {XV_BIT_BPP8, XV_BIT_BPP32}) {
        XV_BITMAP page{};
        XV_RECT whole = {0, 0, 48, 16};
        if (!xv_bit_alloc(&page, &whole, type)) {
            continue;
        }
        int flags = input.next() | input.next() << 8;
        XV_RECT area = {static_cast<int16_t>(static_cast<int8_t>(input.next()) / 4),
                        static_cast<int16_t>(static_cast<int8_t>(input.next()) / 8),
                        static_cast<int16_t>(input.next() % 64),
                        static_cast<int16_t>(input.next() % 24)};
        xv_font_draw_text(font, &page, input.next() % 2 ? &area : nullptr, flags, "%s",
                          text.c_str());
        uint32_t code = text.empty() ? ' ' : static_cast<uint8_t>(text[0]);
        xv_font_draw_char(font, code, static_cast<int8_t>(input.next()), &page, &area, flags);
        xv_bit_free(&page);
    }
    XV_RECT size;
    xv_font_text_size(font, text.c_str(), &size, input.next());
    uint32_t small[4];
    uint32_t *buffer = small;
    int capacity = input.next() % 5;
    xv_font_utf_8_to_unicode(&buffer, &capacity, text.c_str(), XV_FONT_UTF_8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::enter_work_directory();
    std::filesystem::remove("Warning.txt");
    fuzz::Bytes input(data, size);
    fuzz::QuietPlatform platform;
    XV_IO_CONFIG io{0, nullptr, nullptr};
    xv_io_init(&io);
    // Now and then with reports on: they check UTF-8 and name every fault.
    XV_FONT_CONFIG config{input.next() % 8 == 0};
    xv_font_init(&config);
    write_sheet(input);
    write_animation(input);
    std::string text = input.next() % 4 ? description(input) : input.rest();
    fuzz::write_input("f.fnt", reinterpret_cast<const uint8_t *>(text.data()), text.size());
    XV_FONT font{};
    if (xv_font_load(&font, "f.fnt", input.next() % 8)) {
        draw(&font, input);
        xv_font_free(&font);
    }
    xv_font_deinit();
    xv_pal_release_shared();
    xv_io_deinit();
    return 0;
}
