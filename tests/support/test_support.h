// What the suites share: a private working directory per test, and the
// platform's core modules started as the game starts them.
#pragma once

#include "xv.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace test {

// The whole content of a file, or "" when it does not exist.
std::string read_file(const std::string &path);
// A file the program wrote in text mode, its line ends read as "\n" (on
// Windows such a file ends its lines with "\r\n").
std::string read_text_file(const std::string &path);
// Sets a variable of this process's environment, or removes it (nullptr).
void set_environment(const char *name, const char *value);
// Writes content to path, making its directories.
void write_file(const std::string &path, const std::string &content);
bool file_exists(const std::string &path);
int count_occurrences(const std::string &text, const std::string &part);
// How many warnings holding text were given: their entries in the warning
// log (a report's call stack belongs to its alert), each with the repeats
// counted after it.
int warnings_holding(const std::string &log, const std::string &text);

// Test glyphs, kGlyphCell pixels square, in an 8-bit PNG whose palette
// entry i is (i, 255 - i, 7): the glyph in cell k of a row fills the first
// k % kGlyphCell + 1 columns of its cell with index 10 + k, so that each is
// known by its colour and its width.
constexpr int kGlyphCell = 6;
std::string glyph_sheet_png(int cells_across, int rows);

// The game's texts and its tune for a start in the current directory, loose
// and packed into RESOURCE.DAT as the game reads them; the window class is the prefix
// and this process's id, so that tests running side by side are separate
// copies of the game. The settings go to "pinwheel.ini".
bool write_game_data(const std::string &class_prefix);
// The publisher pictures write_game_data makes: picture i (0..15, as the
// game numbers them) is one colour all over.
void slide_colour(int picture, uint8_t rgb[3]);
std::string slide_picture_png(int picture);

// Runs frames of a window as the game's loop does, about 10 ms each: every
// queued message dispatched, then the frame shown.
void run_frames(OS_WINDOW window, int count);

// Waits until the condition holds, for at most half a minute.
bool eventually(const std::function<bool()> &condition);

#if !defined(_WIN32) // the POSIX system's processes and X servers
// Starts a program (found on the path) with extra environment entries,
// which win over the inherited ones; returns its pid.
pid_t spawn(const std::vector<std::string> &command, const std::vector<std::string> &extra);

// A virtual X server (Xvfb, 1280×1024, 24 bits) on a display number of its
// own choosing, for tests that drive a real window with xdotool.
class VirtualScreen {
  public:
    VirtualScreen();
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen &) = delete;
    VirtualScreen &operator=(const VirtualScreen &) = delete;
    const std::string &display() const { return display_; }
    // What xdotool prints for these arguments, run on this screen.
    std::string xdotool(const std::string &arguments) const;

  private:
    pid_t pid_ = 0;
    std::string display_;
};
#endif // !_WIN32

// Runs each test in a fresh temporary directory, removed afterwards: the
// platform writes "Warning.txt" and the engine its logs to the current one.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string directory() const { return directory_; }
    // The warning log, with the count of repeats still to be written.
    std::string warnings() const;

  private:
    std::string previous_;
    std::string directory_;
    bool borrowed_ = false; // a death test's run in its starter's directory
};

// Error reporting, lists, the memory tracker and strings, all reporting.
class PlatformTest : public TempDirTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Stops the tracker now; the result of xv_mem_deinit.
    int stop_tracker();

    XV_ERROR_CONFIG error_config{1};
    XV_LIST_CONFIG list_config{1};
    XV_MEM_CONFIG mem_config{1, 0};
    XV_STR_CONFIG str_config{1};

  private:
    bool tracker_running_ = false;
};

// The platform with its file layer (reporting); every test must end owning
// nothing, which the tracker's shutdown checks.
class FileLayerTest : public PlatformTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the file layer again with another report switch.
    void restart_file_layer(int report);

    XV_IO_CONFIG io{1, nullptr, nullptr};
};

// The file layer, and OpenGL on a 64x64 window of the offscreen driver,
// started as the engine starts it.
class OpenGlTest : public FileLayerTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string errors() const { return read_file("error.txt"); }

    OS_WINDOW window = nullptr;
};

} // namespace test
