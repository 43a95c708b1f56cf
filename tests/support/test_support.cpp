#include "test_support.h"

#include "gen.h"
#include "os_window.h"
#include "picture_writer.h"
#include "respack.h"
#include "s3mgen.h"
#include "wavgen.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#if defined(_WIN32)
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

namespace test {

std::string read_file(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string read_text_file(const std::string &path) {
    std::string content = read_file(path);
#if defined(_WIN32)
    std::string lines;
    for (size_t i = 0; i < content.size(); ++i) {
        if (!(content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')) {
            lines += content[i];
        }
    }
    content = lines;
#endif
    return content;
}

void set_environment(const char *name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name, value ? value : ""); // an empty value removes it
#else
    value ? setenv(name, value, 1) : unsetenv(name);
#endif
}

void slide_colour(int picture, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(40 + picture * 13);
    rgb[1] = static_cast<uint8_t>(220 - picture * 11);
    rgb[2] = static_cast<uint8_t>(picture % 2 ? 200 : 60);
}

std::string slide_picture_png(int picture) {
    PngPicture png;
    png.width = 64;
    png.height = 48;
    uint8_t rgb[3];
    slide_colour(picture, rgb);
    for (uint32_t i = 0; i < png.width * png.height; ++i) {
        png.rows.insert(png.rows.end(), rgb, rgb + 3);
    }
    return encode_png(png);
}

bool write_game_data(const std::string &class_prefix) {
    // The game's tune, composed from its score as the build does.
    std::ifstream score_file(FOOSBALL_SCORE);
    std::stringstream score;
    score << score_file.rdbuf();
    std::vector<unsigned char> tune;
    std::string composing;
    if (!s3m_compose(score.str(), &tune, &composing)) {
        return false;
    }
    std::filesystem::create_directories("snd");
    write_file("snd/foosball.s3m", std::string(tune.begin(), tune.end()));
    // The balls' effects, as the build synthesises them (at a lower rate).
    for (const std::string &name : wav_effect_names()) {
        const std::vector<uint8_t> wav = wav_file(wav_effect(name, 11025), 11025, 1);
        write_file("snd/" + name + ".wav", std::string(wav.begin(), wav.end()));
    }
    // The publisher slideshow: sixteen pictures of one colour each.
    for (int i = 0; i < 16; ++i) {
        write_file(i < 15 ? "gfx/pub_b" + std::to_string(i + 1) + ".png" : "gfx/pubintro.png",
                   slide_picture_png(i));
    }
    write_file("data/texts.txt", "[Application]\r\nTitle=Pinwheel Golf\r\nClass=" + class_prefix +
                                     std::to_string(getpid()) +
                                     "\r\nINIFile=pinwheel.ini\r\nStartSplash=Splash\r\n"
                                     "LNGFile=data\\language.txt\r\n");
    std::string error;
    if (!respack_write(respack_entries("."), "RESOURCE.DAT", 1, &error)) {
        return false;
    }
    // An empty settings file beside the game keeps the settings there, as a
    // copy carried around with them does: each test reads its own, and
    // tests running side by side share none.
    write_file("pinwheel.ini", "");
    return true;
}

void run_frames(OS_WINDOW window, int count) {
    for (int i = 0; i < count; ++i) {
        OS_MSG message;
        while (os_peek_message(&message, 1)) {
            os_dispatch_message(&message);
        }
        os_window_swap(window);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool eventually(const std::function<bool()> &condition) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

#if !defined(_WIN32)
pid_t spawn(const std::vector<std::string> &command, const std::vector<std::string> &extra) {
    std::vector<std::string> environment(extra);
    for (char **entry = environ; *entry; ++entry) {
        environment.emplace_back(*entry);
    }
    std::vector<char *> arguments, variables;
    for (const std::string &argument : command) {
        arguments.push_back(const_cast<char *>(argument.c_str()));
    }
    for (const std::string &variable : environment) {
        variables.push_back(const_cast<char *>(variable.c_str()));
    }
    arguments.push_back(nullptr);
    variables.push_back(nullptr);
    pid_t pid = 0;
    posix_spawnp(&pid, arguments[0], nullptr, nullptr, arguments.data(), variables.data());
    return pid;
}

VirtualScreen::VirtualScreen() {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) {
        return;
    }
    pid_ = spawn({"Xvfb", "-displayfd", std::to_string(pipe_ends[1]), "-screen", "0",
                  "1280x1024x24", "-nolisten", "tcp"},
                 {});
    close(pipe_ends[1]);
    char number[16] = {};
    ssize_t got = read(pipe_ends[0], number, sizeof number - 1);
    close(pipe_ends[0]);
    if (got > 0) {
        display_ = ":" + std::string(number, strcspn(number, "\n"));
    }
}

VirtualScreen::~VirtualScreen() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string VirtualScreen::xdotool(const std::string &arguments) const {
    std::string command = "DISPLAY=" + display_ + " xdotool " + arguments + " 2>/dev/null";
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) {
            output += buffer;
        }
        pclose(pipe);
    }
    return output;
}

#endif // !_WIN32

std::string glyph_sheet_png(int cells_across, int rows) {
    PngPicture picture;
    picture.width = cells_across * kGlyphCell;
    picture.height = rows * kGlyphCell;
    picture.colour_type = 3;
    picture.rows.assign(picture.width * picture.height, 0);
    for (int row = 0; row < rows; ++row) {
        for (int k = 0; k < cells_across; ++k) {
            for (int y = 0; y < kGlyphCell; ++y) {
                for (int x = 0; x <= k % kGlyphCell; ++x) {
                    picture.rows[(row * kGlyphCell + y) * picture.width + k * kGlyphCell + x] =
                        static_cast<uint8_t>(10 + k);
                }
            }
        }
    }
    for (int i = 0; i < 256; ++i) {
        picture.palette.insert(picture.palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(7)});
    }
    return encode_png(picture);
}

void write_file(const std::string &path, const std::string &content) {
    std::filesystem::path target = path;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path());
    }
    std::ofstream(target, std::ios::binary) << content;
}

bool file_exists(const std::string &path) {
    return std::filesystem::exists(path);
}

int count_occurrences(const std::string &text, const std::string &part) {
    int found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

int warnings_holding(const std::string &log, const std::string &text) {
    static const std::string note = "(the warning above repeated ";
    int given = 0;
    bool last_holds = false;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        end = end == std::string::npos ? log.size() : end;
        const std::string entry = log.substr(start, end - start);
        start = end + 2;
        if (entry.rfind(note, 0) == 0) {
            const std::string count = entry.substr(note.size());
            given += last_holds ? (count.rfind("once", 0) == 0 ? 1 : std::stoi(count)) : 0;
        } else if (entry.rfind(": ***** Call Stack Begin *****", 0) != 0) {
            last_holds = entry.find(text) != std::string::npos;
            given += last_holds ? 1 : 0;
        }
    }
    return given;
}

std::string TempDirTest::warnings() const {
    xv_warning_log_close();
    return read_file("Warning.txt");
}

#if defined(_WIN32)
// A death test's statement runs in a fresh run of the program (there is no
// fork here), which sets the test up again: it works in the directory of
// the test that started it, named in the environment it inherits, so that
// the test finds what the statement wrote.
constexpr const char *kParentDirectoryVariable = "PINWHEEL_TEST_DIRECTORY";
#endif

void TempDirTest::SetUp() {
    previous_ = std::filesystem::current_path().string();
#if defined(_WIN32)
    if (const char *parent = getenv(kParentDirectoryVariable); parent && *parent) {
        directory_ = parent;
        borrowed_ = true;
        std::filesystem::current_path(directory_);
        return;
    }
    // No mkdtemp here: a name of this process's own, tried until one is free.
    std::filesystem::path made;
    for (int attempt = 0; made.empty() && attempt < 1000; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() /
                         ("pinwheel-" + std::to_string(_getpid()) + "-" + std::to_string(attempt));
        if (std::filesystem::create_directory(candidate)) {
            made = candidate;
        }
    }
    ASSERT_FALSE(made.empty());
    directory_ = made.string();
    _putenv_s(kParentDirectoryVariable, directory_.c_str());
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "pinwheel-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
#endif
    std::filesystem::current_path(directory_);
}

void TempDirTest::TearDown() {
    std::filesystem::current_path(previous_);
    if (borrowed_) {
        return; // the test that started this run removes it
    }
#if defined(_WIN32)
    _putenv_s(kParentDirectoryVariable, "");
#endif
    std::filesystem::remove_all(directory_);
}

void PlatformTest::SetUp() {
    TempDirTest::SetUp();
    xv_error_init(&error_config);
    xv_list_init(&list_config);
    ASSERT_EQ(xv_mem_init(&mem_config), 1);
    tracker_running_ = true;
    xv_str_init(&str_config);
}

int PlatformTest::stop_tracker() {
    tracker_running_ = false;
    return xv_mem_deinit();
}

void PlatformTest::TearDown() {
    xv_str_deinit();
    if (tracker_running_) {
        stop_tracker();
    }
    xv_list_deinit();
    xv_error_deinit();
    TempDirTest::TearDown();
}

void FileLayerTest::SetUp() {
    PlatformTest::SetUp();
    xv_io_init(&io);
    xv_bit_set_transparency(0);
}

void FileLayerTest::restart_file_layer(int report) {
    xv_io_deinit();
    io.report = report;
    xv_io_init(&io);
}

void FileLayerTest::TearDown() {
    xv_pal_release_shared();
    xv_io_deinit();
    EXPECT_EQ(stop_tracker(), 1) << warnings();
    PlatformTest::TearDown();
}

void OpenGlTest::SetUp() {
    FileLayerTest::SetUp();
    window = os_window_create("test", 0, 0, 64, 64, OS_WINDOW_OPENGL, os_def_window_proc);
    ASSERT_NE(window, nullptr);
    XV_RECT area = {0, 0, 64, 64};
    char renderer[256], vendor[256];
    gen_wrap_3d_init(window, &area, renderer, vendor);
}

void OpenGlTest::TearDown() {
    gen_gl_deinit();
    gen_info_deinit();
    os_window_destroy(window);
    FileLayerTest::TearDown();
}

} // namespace test
