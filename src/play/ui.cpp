#include "ui.h"

#include "app.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>

namespace ui {

namespace {

constexpr char kTexts[] = "data\\play.txt";

struct Fonts {
    XV_FONT menu{}, japanese{}, title{}, japanese_title{};
    bool menu_loaded = false, japanese_loaded = false, title_loaded = false,
         japanese_title_loaded = false;
};
Fonts fonts;

std::map<std::string, std::string> said; // "EN/NewGame" -> its text
std::map<uint32_t, XV_BITMAP> swatches;  // a colour's picture, by its RGBA
std::map<uint64_t, XV_BITMAP> arrows;    // by colour and angle in steps of kArrowStep
std::map<uint32_t, XV_BITMAP> dots;      // a round dot's picture, by its RGBA
constexpr int kArrowStep = 10;           // degrees
constexpr int kArrowSize = 48;           // pixels of its picture
constexpr int kDotSize = 32;             // pixels of its picture
// The window's bar is about 21 pixels high (its font and padding); a bar
// not yet drawn once is counted as that.
constexpr int kLeastBar = 22;
std::vector<Placed> *placing = nullptr; // what is placed goes here too

// The pad's directions and its first three buttons (A, B, Start).
enum Pad { PAD_UP, PAD_DOWN, PAD_LEFT, PAD_RIGHT, PAD_A, PAD_B, PAD_START, PAD_INPUTS };

// The mouse moved this many counts in a step: the player has taken it up.
constexpr int kMouseTaken = 6;

struct Input {
    bool swallow = false; // the next reading makes no presses
    Device device = Device::KEYBOARD;
    uint8_t keys[256] = {}, previous[256] = {};
    bool pad[PAD_INPUTS] = {}, previous_pad[PAD_INPUTS] = {};
    int pad_x = 0;
    XV_INPUT_MOUSE mouse{};
    bool button = false, previous_button = false;
};
Input input;

bool japanese() {
    return std::strcmp(app_language(), "JP") == 0;
}

// Japanese is drawn with its own font, and so is a text with Japanese in
// it (a language's name, a player's) whatever the language.
bool has_japanese(const std::string &text) {
    for (unsigned char c : text) {
        if (c >= 0xE3 && c <= 0xEF) { // the lead byte of U+3000 to U+FFFF
            return true;
        }
    }
    return false;
}

XV_FONT *font_for(bool big, const std::string &text = "") {
    if (japanese() || has_japanese(text)) {
        if (big && fonts.japanese_title_loaded) {
            return &fonts.japanese_title;
        }
        if (fonts.japanese_loaded) {
            return &fonts.japanese;
        }
    }
    if (big && fonts.title_loaded) {
        return &fonts.title;
    }
    return fonts.menu_loaded ? &fonts.menu : nullptr;
}

std::string lookup(const std::string &language, const char *key) {
    const std::string name = language + "/" + key;
    const auto found = said.find(name);
    if (found != said.end()) {
        return found->second;
    }
    char value[256] = "";
    {
        XV_INI_QUIET quiet; // a text missing in one language falls back to English
        xv_io_ini_read(("Play_" + language).c_str(), key, value, 254, kTexts);
    }
    return said[name] = value;
}

// The text's "%s" replaced by the values in order, left to right, so that
// a value (a name typed in) is never read again: a text is never a format.
std::string fill_in(const std::string &text, std::initializer_list<std::string> values) {
    std::string filled;
    auto value = values.begin();
    size_t from = 0;
    for (size_t at; value != values.end() && (at = text.find("%s", from)) != std::string::npos;
         ++value) {
        filled += text.substr(from, at - from) + *value;
        from = at + 2;
    }
    return filled + text.substr(from);
}

uint32_t rgba(Colour colour) {
    return static_cast<uint32_t>(colour.r) << 24 | colour.g << 16 | colour.b << 8 | colour.a;
}

XV_BITMAP *swatch(Colour colour) {
    const uint32_t key = rgba(colour);
    auto found = swatches.find(key);
    if (found != swatches.end()) {
        return &found->second;
    }
    XV_BITMAP &bitmap = swatches[key];
    XV_RECT size = {0, 0, 4, 4};
    if (xv_bit_alloc(&bitmap, &size, XV_BIT_BPP32)) {
        for (int i = 0; i < 16; ++i) {
            uint8_t *pixel = bitmap.pixels + i * 4;
            pixel[0] = colour.r, pixel[1] = colour.g, pixel[2] = colour.b, pixel[3] = colour.a;
        }
    }
    return &bitmap;
}

// An arrow pointing up, turned: a shaft and a head, drawn by testing each
// pixel's place turned back.
XV_BITMAP *arrow_picture(int angle, Colour colour) {
    const uint64_t key = static_cast<uint64_t>(angle) << 32 | rgba(colour);
    if (auto found = arrows.find(key); found != arrows.end()) {
        return &found->second;
    }
    XV_BITMAP &bitmap = arrows[key];
    XV_RECT size = {0, 0, kArrowSize, kArrowSize};
    if (!xv_bit_alloc(&bitmap, &size, XV_BIT_BPP32)) {
        return &bitmap;
    }
    const float radians = static_cast<float>(angle) * 3.14159265f / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians);
    const float half = kArrowSize / 2.0f;
    for (int y = 0; y < kArrowSize; ++y) {
        for (int x = 0; x < kArrowSize; ++x) {
            // The pixel's place in the arrow's own frame: u across, v up.
            const float px = x + 0.5f - half, py = half - (y + 0.5f);
            const float u = px * c - py * s, v = px * s + py * c;
            const bool shaft = std::fabs(u) < 3.5f && v > -20.0f && v < 6.0f;
            const bool head = v >= 4.0f && v < 21.0f && std::fabs(u) < (21.0f - v) * 0.7f;
            uint8_t *pixel = bitmap.pixels + (y * kArrowSize + x) * 4;
            const bool in = shaft || head;
            pixel[0] = colour.r, pixel[1] = colour.g, pixel[2] = colour.b;
            pixel[3] = in ? colour.a : 0;
        }
    }
    return &bitmap;
}

// A disc, its edge softened by a pixel.
XV_BITMAP *dot_picture(Colour colour) {
    const uint32_t key = rgba(colour);
    if (auto found = dots.find(key); found != dots.end()) {
        return &found->second;
    }
    XV_BITMAP &bitmap = dots[key];
    XV_RECT size = {0, 0, kDotSize, kDotSize};
    if (!xv_bit_alloc(&bitmap, &size, XV_BIT_BPP32)) {
        return &bitmap;
    }
    const float half = kDotSize / 2.0f;
    for (int y = 0; y < kDotSize; ++y) {
        for (int x = 0; x < kDotSize; ++x) {
            const float distance = std::hypot(x + 0.5f - half, y + 0.5f - half);
            const float inside = std::clamp(half - distance, 0.0f, 1.0f);
            uint8_t *pixel = bitmap.pixels + (y * kDotSize + x) * 4;
            pixel[0] = colour.r, pixel[1] = colour.g, pixel[2] = colour.b;
            pixel[3] = static_cast<uint8_t>(colour.a * inside);
        }
    }
    return &bitmap;
}

XV_BITMAP *screen() {
    return app_state()->screen;
}

// Notes what is placed while the layout is being checked; true when it is
// to be drawn (not while it is checked, nor without a screen).
bool place(Placed::Kind kind, int x, int y, int width, int height, const std::string &what = "") {
    if (placing) {
        placing->push_back({kind, x, y, width, height, what});
        return false;
    }
    return screen() != nullptr;
}

bool pad_pressed(int i) {
    return input.pad[i] && !input.previous_pad[i];
}

bool function_key(int code);

// The hints speak of what the player touched last: a key, the mouse taken
// up (moved a little or clicked), the pad's buttons or stick.
void note_device() {
    for (int code = 1; code < 256; ++code) {
        if (input.keys[code] && !input.previous[code] && !function_key(code)) {
            input.device = Device::KEYBOARD;
        }
    }
    if (std::abs(input.mouse.x) + std::abs(input.mouse.y) >= kMouseTaken ||
        (input.button && !input.previous_button)) {
        input.device = Device::MOUSE;
    }
    for (int i = 0; i < PAD_INPUTS; ++i) {
        if (pad_pressed(i)) {
            input.device = Device::PAD;
        }
    }
}

} // namespace

bool start() {
    fonts.menu_loaded = xv_font_load(&fonts.menu, "fonts\\menu.fnt",
                                     XV_FONT_LOAD_PALETTE | XV_FONT_LOAD_PROPORTIONAL) != 0;
    fonts.title_loaded = xv_font_load(&fonts.title, "fonts\\title.fnt",
                                      XV_FONT_LOAD_PALETTE | XV_FONT_LOAD_PROPORTIONAL) != 0;
    fonts.japanese_loaded = xv_font_load(&fonts.japanese, "fonts\\menujp.fnt",
                                         XV_FONT_LOAD_PALETTE | XV_FONT_LOAD_PROPORTIONAL) != 0;
    fonts.japanese_title_loaded =
        xv_font_load(&fonts.japanese_title, "fonts\\titlejp.fnt",
                     XV_FONT_LOAD_PALETTE | XV_FONT_LOAD_PROPORTIONAL) != 0;
    return fonts.menu_loaded;
}

void stop() {
    for (auto *font : {&fonts.menu, &fonts.title, &fonts.japanese, &fonts.japanese_title}) {
        xv_font_free(font);
    }
    fonts = Fonts{};
    for (auto &[key, bitmap] : swatches) {
        xv_bit_free(&bitmap);
    }
    swatches.clear();
    for (auto &[key, bitmap] : arrows) {
        xv_bit_free(&bitmap);
    }
    arrows.clear();
    for (auto &[key, bitmap] : dots) {
        xv_bit_free(&bitmap);
    }
    dots.clear();
    said.clear();
    input = Input{};
}

// ---- texts --------------------------------------------------------------------------------

std::string say(const char *key) {
    std::string text = lookup(app_language(), key);
    if (text.empty()) {
        text = lookup("EN", key);
    }
    return text.empty() ? key : text;
}

std::string say(const char *key, const std::string &value) {
    return fill_in(say(key), {value});
}

std::string say(const char *key, const std::string &first, const std::string &second) {
    return fill_in(say(key), {first, second});
}

std::string say(const char *key, std::initializer_list<std::string> values) {
    return fill_in(say(key), values);
}

std::string say(const char *key, int value) {
    return say(key, std::to_string(value));
}

// ---- drawing ------------------------------------------------------------------------------

namespace {

// What the pictures are laid on: the 3D view, which takes the window's
// whole client area (the screen's bitmap keeps the design's size while the
// display draws in 3D); without one, the screen's bitmap.
void drawn_size(int *width, int *height) {
    if (gen_gl_is_inited()) {
        gen_gl_viewport(width, height);
        if (*width > 0 && *height > 0) {
            return;
        }
    }
    *width = screen() ? screen()->width : 800;
    *height = screen() ? screen()->height : 600;
}

} // namespace

int screen_width() {
    int width, height;
    drawn_size(&width, &height);
    return width;
}

int screen_height() {
    int width, height;
    drawn_size(&width, &height);
    return height;
}

int screen_top() {
    return xv_dsp_is_fullscreen() ? 0 : std::max(xv_dsp_menu_height(), kLeastBar);
}

int text_width(const std::string &text, bool big) {
    XV_FONT *font = font_for(big, text);
    XV_RECT size{};
    if (!font || !xv_font_text_size(font, text.c_str(), &size, XV_FONT_PROPORTIONAL)) {
        return 0;
    }
    return size.width;
}

int line_height(bool big) {
    const XV_FONT *font = font_for(big);
    return font ? font->height : 24;
}

void text(const std::string &text, int x, int y, Align align, bool big) {
    XV_FONT *font = font_for(big, text);
    if (!font || text.empty()) {
        return;
    }
    const int width = text_width(text, big);
    const int left = align == CENTRE ? x - width / 2 : align == RIGHT ? x - width : x;
    if (!place(Placed::TEXT, left, y, width, font->height, text)) {
        return;
    }
    const XV_RECT area = {static_cast<int16_t>(left), static_cast<int16_t>(y),
                          static_cast<int16_t>(width + 2), static_cast<int16_t>(font->height)};
    xv_font_draw_text(font, screen(), &area, XV_FONT_PROPORTIONAL, "%s", text.c_str());
}

void panel(int x, int y, int width, int height, Colour colour) {
    if (width <= 0 || height <= 0) {
        return;
    }
    if (!place(Placed::PANEL, x, y, width, height)) {
        return;
    }
    const XV_RECT to = {static_cast<int16_t>(x), static_cast<int16_t>(y),
                        static_cast<int16_t>(width), static_cast<int16_t>(height)};
    xv_bit_copy_transp(screen(), swatch(colour), &to, nullptr, 0);
}

std::vector<std::string> wrap(const std::string &text, int width, bool big) {
    std::vector<std::string> lines;
    std::string line;
    size_t from = 0;
    while (from <= text.size()) {
        size_t space = text.find(' ', from);
        space = space == std::string::npos ? text.size() : space;
        const std::string word = text.substr(from, space - from);
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && text_width(longer, big) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
        from = space + 1;
    }
    if (!line.empty() || lines.empty()) {
        lines.push_back(line);
    }
    return lines;
}

namespace {

int banner_pad(bool big) {
    return big ? 10 : 6;
}

// A banner's lines as even as they come: a text that takes two lines takes
// two of about half its width, not one full and a word.
std::vector<std::string> banner_lines(const std::string &text, bool big) {
    const int room = screen_width() - 2 * kMargin - (big ? 48 : 28);
    std::vector<std::string> lines = wrap(text, room, big);
    const int count = static_cast<int>(lines.size());
    for (int width = text_width(text, big) / std::max(count, 1); count > 1 && width < room;
         width += 8) {
        std::vector<std::string> even = wrap(text, width, big);
        if (even.size() <= lines.size()) {
            return even;
        }
    }
    return lines;
}

} // namespace

int banner_height(const std::string &text, bool big) {
    const int lines = static_cast<int>(banner_lines(text, big).size());
    return line_height(big) * lines + banner_pad(big) * 2;
}

void banner(const std::string &line, int y, Colour colour, bool big) {
    const std::vector<std::string> lines = banner_lines(line, big);
    int widest = 0;
    for (const std::string &one : lines) {
        widest = std::max(widest, text_width(one, big));
    }
    const int width = widest + (big ? 48 : 28);
    const int pad = banner_pad(big);
    panel(screen_width() / 2 - width / 2, y - pad, width, banner_height(line, big), colour);
    for (size_t i = 0; i < lines.size(); ++i) {
        text(lines[i], screen_width() / 2, y + line_height(big) * static_cast<int>(i), CENTRE, big);
    }
}

void picture(XV_BITMAP *picture, int x, int y, int width, int height) {
    if (!place(Placed::PICTURE, x, y, width, height) || !picture || !picture->pixels) {
        return;
    }
    const XV_RECT to = {static_cast<int16_t>(x), static_cast<int16_t>(y),
                        static_cast<int16_t>(width), static_cast<int16_t>(height)};
    xv_bit_copy(screen(), picture, &to, nullptr, 0);
}

void arrow(float angle, int x, int y, int size, Colour colour) {
    if (!place(Placed::MARK, x, y, size, size)) {
        return;
    }
    int step = static_cast<int>(std::lround(angle / kArrowStep)) % (360 / kArrowStep);
    step = step < 0 ? step + 360 / kArrowStep : step;
    const XV_RECT to = {static_cast<int16_t>(x), static_cast<int16_t>(y),
                        static_cast<int16_t>(size), static_cast<int16_t>(size)};
    xv_bit_copy_transp(screen(), arrow_picture(step * kArrowStep, colour), &to, nullptr,
                       XV_BIT_COPY_SCALE);
}

void dot(int x, int y, int diameter, Colour colour) {
    if (diameter <= 0) {
        return;
    }
    if (!place(Placed::MARK, x - diameter / 2, y - diameter / 2, diameter, diameter)) {
        return;
    }
    const XV_RECT to = {static_cast<int16_t>(x - diameter / 2),
                        static_cast<int16_t>(y - diameter / 2), static_cast<int16_t>(diameter),
                        static_cast<int16_t>(diameter)};
    xv_bit_copy_transp(screen(), dot_picture(colour), &to, nullptr, XV_BIT_COPY_SCALE);
}

void record_placing(std::vector<Placed> *into) {
    placing = into;
}

int List::step(int lines) {
    if (lines <= 0) {
        return -1;
    }
    if (up()) {
        selected = (selected + lines - 1) % lines;
    }
    if (down()) {
        selected = (selected + 1) % lines;
    }
    selected = std::clamp(selected, 0, lines - 1);
    return enter() ? selected : -1;
}

void List::draw(const std::vector<std::string> &lines, int x, int y, int width) const {
    for (const std::string &line : lines) {
        width = std::max(width, text_width(line));
    }
    width = std::min(width, screen_width() - 2 * kMargin - 32);
    const int count = static_cast<int>(lines.size());
    // A line and a little air each, closing up to what the screen has left.
    const int room = screen_height() - kMargin - 12 - y;
    const int height =
        std::max(line_height() + 4, std::min(line_height() + 12, count ? room / count : 0));
    const int left = x - width / 2;
    panel(left - 16, y - 12, width + 32, height * count + 24, kPanel);
    for (int i = 0; i < count; ++i) {
        const int top = y + height * i + (height - line_height()) / 2;
        if (i == selected) {
            panel(left - 8, top - 3, width + 16, line_height() + 6, kHighlight);
        }
        text(lines[i], x, top, CENTRE);
    }
}

// ---- input --------------------------------------------------------------------------------

void read_input() {
    std::memcpy(input.previous, input.keys, sizeof input.keys);
    std::memcpy(input.previous_pad, input.pad, sizeof input.pad);
    input.previous_button = input.button;
    for (int code = 0; code < 256; ++code) {
        input.keys[code] = xv_input_get_key(code);
    }
    const int pad_bytes[PAD_INPUTS] = {XV_INPUT_UP,         XV_INPUT_DOWN,    XV_INPUT_LEFT,
                                       XV_INPUT_RIGHT,      XV_INPUT_BUTTON0, XV_INPUT_BUTTON0 + 1,
                                       XV_INPUT_BUTTON0 + 2};
    const bool enabled = xv_input_joystick_enabled();
    for (int i = 0; i < PAD_INPUTS; ++i) {
        const uint8_t *state = xv_input_control(XV_INPUT_JOYSTICK_FIRST + pad_bytes[i]);
        // The stick moves menus only once it leans past a third of its way
        // (the pad's reading runs to 32); a button is down or up.
        const int least = i <= PAD_RIGHT ? 10 : 0;
        input.pad[i] = enabled && state && *state > least;
    }
    const uint8_t *left = xv_input_control(XV_INPUT_JOYSTICK_FIRST + XV_INPUT_LEFT);
    const uint8_t *right = xv_input_control(XV_INPUT_JOYSTICK_FIRST + XV_INPUT_RIGHT);
    input.pad_x = enabled && left && right ? *right - *left : 0;
    input.mouse = XV_INPUT_MOUSE{};
    xv_input_get_mouse(&input.mouse);
    input.button = input.mouse.buttons & 1;
    if (input.swallow) {
        input.swallow = false;
        std::memcpy(input.previous, input.keys, sizeof input.keys);
        std::memcpy(input.previous_pad, input.pad, sizeof input.pad);
        input.previous_button = input.button;
    }
    note_device();
}

void swallow_presses() {
    input.swallow = true;
}

bool pressed(int scan_code) {
    return scan_code > 0 && scan_code < 256 && input.keys[scan_code] && !input.previous[scan_code];
}

bool held(int scan_code) {
    return scan_code > 0 && scan_code < 256 && input.keys[scan_code];
}

namespace {

// The function keys are the display's and the sound's (F4 full screen, F9
// a snapshot, F2 and F3 the music and effects): they are no player's press.
bool function_key(int code) {
    return (code >= DIK_F1 && code <= DIK_F10) || code == DIK_F11 || code == DIK_F12;
}

} // namespace

Device last_device() {
    return input.device;
}

bool any_pressed() {
    for (int code = 1; code < 256; ++code) {
        if (pressed(code) && !function_key(code)) {
            return true;
        }
    }
    return mouse_clicked() || pad_pressed(PAD_A) || pad_pressed(PAD_B) || pad_pressed(PAD_START);
}

bool up() {
    return pressed(DIK_UP) || pad_pressed(PAD_UP);
}

bool down() {
    return pressed(DIK_DOWN) || pad_pressed(PAD_DOWN);
}

bool left() {
    return pressed(DIK_LEFT) || pad_pressed(PAD_LEFT);
}

bool right() {
    return pressed(DIK_RIGHT) || pad_pressed(PAD_RIGHT);
}

bool enter() {
    return pressed(DIK_RETURN) || pressed(DIK_NUMPADENTER) || pad_pressed(PAD_A);
}

bool escape() {
    return pressed(DIK_ESCAPE) || pad_pressed(PAD_B);
}

bool pause_pressed() {
    return escape() || pad_pressed(PAD_START);
}

int typed() {
    const int shift = held(DIK_LSHIFT) || held(DIK_RSHIFT) ? 1 : 0;
    for (int code = 1; code < 256; ++code) {
        if (pressed(code)) {
            const int c = xv_input_key_to_char(code, shift);
            if ((c >= 32 && c < 127) || c == 8) {
                return c;
            }
        }
    }
    return 0;
}

int mouse_dx() {
    return input.mouse.x;
}

int mouse_dy() {
    return input.mouse.y;
}

bool mouse_button() {
    return input.button;
}

bool mouse_clicked() {
    return input.button && !input.previous_button;
}

int pad_x() {
    return input.pad_x;
}

bool pad_held(int button) {
    return button >= 0 && button < 3 && input.pad[PAD_A + button];
}

std::string key_name(int scan_code) {
    const struct {
        int code;
        const char *text; // of data\play.txt
    } names[] = {{DIK_LEFT, "KeyLeft"},      {DIK_RIGHT, "KeyRight"},      {DIK_UP, "KeyUp"},
                 {DIK_DOWN, "KeyDown"},      {DIK_SPACE, "KeySpace"},      {DIK_RETURN, "KeyEnter"},
                 {DIK_LCONTROL, "KeyCtrl"},  {DIK_RCONTROL, "KeyCtrl"},    {DIK_LSHIFT, "KeyShift"},
                 {DIK_RSHIFT, "KeyShift"},   {DIK_TAB, "KeyTab"},          {DIK_LMENU, "KeyAlt"},
                 {DIK_BACK, "KeyBackspace"}, {DIK_NUMPADENTER, "KeyEnter"}};
    for (const auto &n : names) {
        if (n.code == scan_code) {
            return say(n.text);
        }
    }
    const int c = xv_input_key_to_char(scan_code, 1);
    if (c > 32 && c < 127) {
        return std::string(1, static_cast<char>(c));
    }
    return "#" + std::to_string(scan_code);
}

int key_just_pressed() {
    for (int code = 1; code < 256; ++code) {
        if (pressed(code)) {
            return code;
        }
    }
    return 0;
}

} // namespace ui
