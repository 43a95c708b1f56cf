// What the play layer's screens draw and read with: the texts in the
// current language (data\play.txt, a section a language), the bitmap fonts
// (Japanese has a font of its own), panels of colour, pictures, and the
// keys, mouse and game controller read once a step, with each press seen
// once, and which of them the player used last.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

struct XV_BITMAP;
struct XV_FONT;

namespace ui {

bool start();
void stop();

// ---- texts --------------------------------------------------------------------------------

// The text of key in the current language (English when missing there).
std::string say(const char *key);
// The same with its "%s" filled in.
std::string say(const char *key, const std::string &value);
std::string say(const char *key, int value);
// With its two "%s" filled in, in order.
std::string say(const char *key, const std::string &first, const std::string &second);
// With its "%s" filled in by the values, in order.
std::string say(const char *key, std::initializer_list<std::string> values);

// ---- drawing ------------------------------------------------------------------------------

struct Colour {
    uint8_t r, g, b, a;
};
constexpr Colour kPanel = {10, 30, 20, 170};
constexpr Colour kHighlight = {250, 200, 60, 110};

int screen_width();
int screen_height();
// The first row of the screen below the window's menu bar (which is drawn
// over the top of the picture in a window; full screen has none).
int screen_top();
// Between the screen's edges (and the bar) and what stands nearest them.
constexpr int kMargin = 12;
enum Align { LEFT, CENTRE, RIGHT };
// The menu font in the current language, or the big title font.
void text(const std::string &text, int x, int y, Align align = LEFT, bool big = false);
int text_width(const std::string &text, bool big = false);
int line_height(bool big = false);
void panel(int x, int y, int width, int height, Colour colour);
// The text cut at its spaces into lines no wider than width; a word wider
// than that stands on a line of its own.
std::vector<std::string> wrap(const std::string &text, int width, bool big = false);
// A text centred on the screen from y down, on a panel just wider than it;
// a text wider than the screen is wrapped onto more lines.
void banner(const std::string &text, int y, Colour colour = kPanel, bool big = false);
// The height banner() gives that text, its panel included.
int banner_height(const std::string &text, bool big = false);
void picture(XV_BITMAP *picture, int x, int y, int width, int height);
// An arrow size pixels square pointing at angle degrees clockwise from up.
void arrow(float angle, int x, int y, int size, Colour colour);
// A round dot of that diameter centred on (x, y).
void dot(int x, int y, int diameter, Colour colour);

// Where each panel, text and picture would be drawn, for the layout's
// checks: while a list is given, drawing adds to it what it places and
// draws nothing.
struct Placed {
    enum Kind { PANEL, TEXT, PICTURE, MARK } kind;
    int x, y, width, height;
    std::string text;
};
void record_placing(std::vector<Placed> *into);

// A list of lines the player moves through with up and down, as a menu.
struct List {
    int selected = 0;
    // Moves with the keys of this step; returns the line chosen (Enter or
    // the controller's button), or -1.
    int step(int lines);
    // Centred on x, from y down, at least width wide and wider for a long
    // line; the lines close up when the screen is short.
    void draw(const std::vector<std::string> &lines, int x, int y, int width) const;
};

// ---- input --------------------------------------------------------------------------------

// Reads the devices once a step: what is held, and what was just pressed.
void read_input();
// The next reading takes what is down as already pressed: the key that
// brought the play layer in does not also act on its first screen.
void swallow_presses();
bool pressed(int scan_code);
bool held(int scan_code);
// Any key, click or controller button just pressed.
bool any_pressed();
// Menu moves from the arrows, Enter, Escape and the controller.
bool up();
bool down();
bool left();
bool right();
bool enter();
bool escape();
// Escape, the pad's back button or its Start.
bool pause_pressed();
// The character a key just pressed types (0 for none), with Shift.
int typed();
// The mouse's motion since the last step and its left button.
int mouse_dx();
int mouse_dy();
bool mouse_button();
bool mouse_clicked();
// The pad's stick across, -127 (left) to 127, and whether its button
// (0 to 2) is held.
int pad_x();
bool pad_held(int button);
// The device the player used last: what the hints speak of.
enum class Device { KEYBOARD, MOUSE, PAD };
Device last_device();
// A short name for a key, in the current language.
std::string key_name(int scan_code);
// The key pressed this step, for rebinding; 0 for none.
int key_just_pressed();

} // namespace ui
