#include "respack.h"
#include "test_support.h"

#include <cstring>
#include <random>

#if defined(_WIN32)
#define NULL_DEVICE "NUL"
#else
#define NULL_DEVICE "/dev/null"
#endif

namespace {

using test::count_occurrences;
using test::read_file;
using test::write_file;

// The platform started, with the file layer on the archive when one is packed.
class IoTest : public test::PlatformTest {
  protected:
    void TearDown() override {
        if (xv_io_running()) {
            xv_io_deinit();
        }
        PlatformTest::TearDown();
    }

    int start(const char *archive = nullptr, int report = 1) {
        config = {report, archive, "settings.ini"};
        return xv_io_init(&config);
    }

    // Packs the tree below "tree" into RESOURCE.DAT.
    static void pack() {
        std::string error;
        ASSERT_TRUE(respack_write(respack_entries("tree"), "RESOURCE.DAT", 7, &error)) << error;
    }

    static std::string read_all(XV_FILE *file) {
        std::string content;
        char chunk[100];
        while (size_t read = xv_io_fread(chunk, 1, sizeof chunk, file)) {
            content.append(chunk, read);
        }
        return content;
    }

    static std::string read_through_layer(const char *name) {
        XV_FILE *file = xv_io_fopen(name, "rb");
        if (!file) {
            return "(not opened)";
        }
        std::string content = read_all(file);
        xv_io_fclose(file);
        return content;
    }

    XV_IO_CONFIG config{};
};

// A read folder (a course built elsewhere) is read after the game's own
// files, by the game's names in any case; writes stay in the game's folder,
// and the folder is forgotten with the layer.
TEST_F(IoTest, AReadFolderIsReadAfterTheGamesFilesAndNeverWritten) {
    write_file("data/shared.txt", "game");
    write_file("built/data/shared.txt", "built");
    write_file("built/data/evening/levels.txt", "[course]\n");
    start();
    const std::string folder = directory() + "/built";
    xv_io_add_read_folder(folder.c_str());
    xv_io_add_read_folder(folder.c_str()); // once is enough
    EXPECT_EQ(read_through_layer("data\\shared.txt"), "game");
    EXPECT_EQ(read_through_layer("DATA\\Evening\\levels.txt"), "[course]\n");
    EXPECT_EQ(xv_io_fexist("data\\evening\\levels.txt", XV_IO_THROUGH_LAYER), 2);
    XV_FILE *file = xv_io_fopen("data\\evening\\new.txt", "wb");
    EXPECT_EQ(file, nullptr) << "the game's folder has no data/evening to write in";
    xv_io_deinit();
    start();
    EXPECT_EQ(read_through_layer("data\\evening\\levels.txt"), "(not opened)");
    EXPECT_EQ(warnings().find("built"), std::string::npos) << warnings();
}

TEST_F(IoTest, LooseFilesOpenWithEitherSeparatorInAnyCase) {
    write_file("data/levels.txt", "[level001]\n");
    start();
    EXPECT_EQ(read_through_layer("data\\levels.txt"), "[level001]\n");
    EXPECT_EQ(read_through_layer("DATA\\Levels.TXT"), "[level001]\n");
    EXPECT_EQ(read_through_layer("data/levels.txt"), "[level001]\n");

    // A write finds the existing directory whatever the case of the name.
    XV_FILE *file = xv_io_fopen("DATA\\new.txt", "wb");
    ASSERT_NE(file, nullptr);
    xv_io_fputs("hole", file);
    xv_io_fclose(file);
    EXPECT_EQ(read_file("data/new.txt"), "hole");
    EXPECT_EQ(xv_io_fexist("data\\new.txt", XV_IO_THROUGH_LAYER | XV_IO_ON_DISK), 2);
    EXPECT_EQ(xv_io_fexist("data\\none.txt", XV_IO_THROUGH_LAYER | XV_IO_ON_DISK), 0);
    EXPECT_EQ(warnings(), "");
}

TEST_F(IoTest, PackedFilesReadBackByteForByteUnderEitherName) {
    std::mt19937 random(3);
    std::string binary(70000, '\0');
    for (char &c : binary) {
        c = static_cast<char>(random());
    }
    write_file("tree/gfx/wo2/course.wo2", binary);
    write_file("tree/data/texts.txt", "[Application]\r\nTitle=Pinwheel Golf\r\n");
    write_file("tree/empty.txt", "");
    pack();
    write_file("data/texts.txt", "the loose copy");
    write_file("loose.txt", "only on disk");
    ASSERT_EQ(start("RESOURCE.DAT"), 1);

    EXPECT_EQ(read_through_layer("gfx\\wo2\\course.wo2"), binary);
    EXPECT_EQ(read_through_layer("gfx/wo2/course.wo2"), binary);
    EXPECT_EQ(read_through_layer("DATA\\TEXTS.TXT"), "[Application]\r\nTitle=Pinwheel Golf\r\n");
    EXPECT_EQ(read_through_layer("empty.txt"), "");
    EXPECT_EQ(read_through_layer("loose.txt"), "only on disk");
    EXPECT_EQ(xv_io_fexist("data\\texts.txt", XV_IO_THROUGH_LAYER), 1);
    EXPECT_EQ(xv_io_fexist("loose.txt", XV_IO_THROUGH_LAYER), 2);

    ASSERT_EQ(xv_io_fcopy("copy.wo2", "gfx\\wo2\\course.wo2", XV_IO_THROUGH_LAYER), 1);
    EXPECT_EQ(read_file("copy.wo2"), binary);
    EXPECT_EQ(warnings(), "");
}

// Archives made by other packers name their files with '\' only; a name
// asked for with '/' must find them all the same, as it finds loose files.
TEST_F(IoTest, PackedNamesMatchWithEitherSeparator) {
    write_file("source.png", "picture");
    std::vector<RESPACK_ENTRY> entries = {
        {"GFX\\PUB_B1.PNG", "gfx\\pub_b1.png", "source.png"},
        {"DATA/LEVELS.TXT", "data/levels.txt", "source.png"},
    };
    std::string error;
    ASSERT_TRUE(respack_write(entries, "RESOURCE.DAT", 5, &error)) << error;
    ASSERT_EQ(start("RESOURCE.DAT"), 1);
    for (const char *name : {"gfx/pub_b1.png", "GFX/Pub_B1.png", "gfx\\pub_b1.png",
                             "data\\levels.txt", "data/levels.txt"}) {
        EXPECT_EQ(read_through_layer(name), "picture") << name;
        EXPECT_EQ(xv_io_fexist(name, XV_IO_THROUGH_LAYER), 1) << name;
    }
    EXPECT_EQ(xv_io_fexist("gfx/pub_b2.png", XV_IO_THROUGH_LAYER), 0);
    EXPECT_EQ(warnings(), "");
}

TEST_F(IoTest, RespackCommandPacksATree) {
    write_file("tree/data/levels.txt", "[level001]\r\n");
    EXPECT_NE(std::system(RESPACK_EXE " RESOURCE.DAT"), 0); // usage
    EXPECT_NE(std::system(RESPACK_EXE " RESOURCE.DAT no-such-tree"), 0);
    ASSERT_EQ(std::system(RESPACK_EXE " --seed 9 RESOURCE.DAT tree > " NULL_DEVICE), 0);
    start("RESOURCE.DAT");
    EXPECT_EQ(read_through_layer("data\\levels.txt"), "[level001]\r\n");
}

TEST_F(IoTest, ArchivedFileIsSeenAloneBySeekTellEofAndReads) {
    write_file("tree/a.txt", "first file");
    write_file("tree/b.txt", "0123456789");
    write_file("tree/c.txt", "last file");
    pack();
    start("RESOURCE.DAT");
    XV_FILE *file = xv_io_fopen("b.txt", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(xv_io_fgetc(file), '0');
    xv_io_fseek(file, 0, SEEK_END);
    EXPECT_EQ(xv_io_ftell(file), 10);
    EXPECT_NE(xv_io_feof(file), 0);
    EXPECT_EQ(xv_io_fgetc(file), EOF);
    xv_io_fseek(file, -3, SEEK_END);
    EXPECT_EQ(read_all(file), "789"); // and not into the next file
    xv_io_rewind(file);
    char buffer[20] = {};
    EXPECT_EQ(xv_io_fread(buffer, 4, 5, file), 2u); // whole items only
    EXPECT_STREQ(buffer, "01234567");
    xv_io_fclose(file);

    // Files read at the same time keep their own places, on streams old or new.
    for (int round = 0; round < 2; ++round) {
        XV_FILE *a = xv_io_fopen("a.txt", "rb");
        XV_FILE *c = xv_io_fopen("c.txt", "rb");
        EXPECT_EQ(xv_io_fgetc(a), 'f');
        EXPECT_EQ(xv_io_fgetc(c), 'l');
        EXPECT_EQ(xv_io_fgetc(a), 'i');
        EXPECT_EQ(read_all(c), "ast file");
        xv_io_fclose(a);
        xv_io_fclose(c);
    }
}

TEST_F(IoTest, ArchivedLinesEndAtAnyPairOfLineEnds) {
    write_file("tree/lines.txt", "one\r\ntwo\n\rthree\nfour\rfive\r\n\r\nseven");
    pack();
    start("RESOURCE.DAT");
    XV_FILE *file = xv_io_fopen("lines.txt", "rb");
    std::vector<std::string> lines;
    char line[255];
    while (xv_io_fgets(line, sizeof line, file)) {
        lines.push_back(line);
    }
    EXPECT_EQ(lines,
              (std::vector<std::string>{"one", "two", "three", "four", "five", "", "seven"}));
    EXPECT_NE(xv_io_feof(file), 0);
    xv_io_fclose(file);

    write_file("loose.txt", "a\r\n\r\nb");
    file = xv_io_fopen("loose.txt", "rb");
    xv_io_set_bytes_read(0);
    EXPECT_STREQ(xv_io_fgets(line, sizeof line, file), "a");
    EXPECT_STREQ(xv_io_fgets(line, sizeof line, file), "");
    EXPECT_STREQ(xv_io_fgets(line, sizeof line, file), "b");
    EXPECT_EQ(xv_io_fgets(line, sizeof line, file), nullptr);
    EXPECT_EQ(xv_io_get_bytes_read(), 6);
    xv_io_fclose(file);
}

TEST_F(IoTest, TheArchiveIsNeverWrittenWhateverTheReportSwitch) {
    write_file("tree/scores.txt", "par 3");
    pack();
    start("RESOURCE.DAT", 0);
    XV_FILE *file = xv_io_fopen("scores.txt", "wb");
    ASSERT_NE(file, nullptr);                  // the archive opens for update...
    EXPECT_EQ(xv_io_fputs("par 9", file), -1); // ...and refuses every write
    EXPECT_EQ(xv_io_fputc('x', file), -1);
    EXPECT_EQ(xv_io_fwrite("x", 1, 1, file), -1);
    xv_io_fclose(file);
    EXPECT_EQ(test::warnings_holding(warnings(), "Attempting to write into the resource."), 3);
    EXPECT_EQ(read_through_layer("scores.txt"), "par 3");
}

TEST_F(IoTest, NamesMustBeEightDotThreeBelowTheStartDirectory) {
    start();
    EXPECT_EQ(xv_io_fopen("textures1\\rock.png", "rb"), nullptr);
    EXPECT_EQ(xv_io_fopen("gfx\\rock.tiff", "rb"), nullptr);
    EXPECT_EQ(test::warnings_holding(warnings(), "File or path is too long (8.3 format)"), 2);
    write_file("gfx/rock.png", "png");
    std::string below = std::string(xv_io_start_directory()) + "gfx\\rock.png";
    EXPECT_EQ(read_through_layer(below.c_str()), "png"); // the start directory is not checked
}

TEST_F(IoTest, AccessFollowsTheMode) {
    start();
    XV_FILE *file = xv_io_fopen("out.txt", "wb");
    char byte;
    EXPECT_EQ(xv_io_fread(&byte, 1, 1, file), 0u);
    EXPECT_NE(warnings().find("This file is open in WRITE_ONLY\n\nFile: out.txt in xv_io_fread"),
              std::string::npos);
    xv_io_fclose(file);
    file = xv_io_fopen("out.txt", "rb");
    EXPECT_EQ(xv_io_flush(file), -1);
    EXPECT_NE(warnings().find("This file is open in READ_ONLY"), std::string::npos);
    xv_io_fclose(file);
    EXPECT_EQ(xv_io_fopen("out.txt", "x"), nullptr);
    EXPECT_NE(warnings().find("Invalid mode in call to xv_io_fopen\n\nout.txt"), std::string::npos);
    file = xv_io_fopen("out.txt", "a+"); // may be written, not read
    EXPECT_EQ(file->access, XV_IO_WRITE);
    xv_io_fclose(file);
}

TEST_F(IoTest, FilesLeftOpenAreReportedOnceAndNamedAtShutdown) {
    start();
    write_file("a.txt", "a");
    write_file("b.txt", "b");
    xv_io_fopen("a.txt", "rb");
    xv_io_fopen("b.txt", "rb");
    xv_io_deinit();
    std::string log = warnings();
    EXPECT_EQ(count_occurrences(log, "One or more files were not closed"), 1);
    EXPECT_NE(log.find("File I/O Info: Name: 'a.txt' File not closed.\r\n"), std::string::npos);
    EXPECT_NE(log.find("File I/O Info: Name: 'b.txt' File not closed.\r\n"), std::string::npos);
}

// A well-formed archive of one file, "A.TXT", to be damaged.
std::string archive_bytes(uint32_t count, const std::string &table) {
    std::string bytes = "data";
    bytes += table;
    auto put = [&bytes](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes += static_cast<char>(value >> shift);
        }
    };
    put(XV_ARCHIVE_MAGIC);
    put(4);
    put(count);
    bytes += '\0'; // table key
    return bytes;
}

std::string entry(const std::string &name, uint32_t offset, uint32_t size) {
    std::string record = name + '\0' + name + '\0';
    for (uint32_t value : {offset, size, 0u}) {
        for (int shift = 0; shift < 32; shift += 8) {
            record += static_cast<char>(value >> shift);
        }
    }
    return record + '\0';
}

TEST_F(IoTest, DamagedArchivesAreRefusedAndEveryFileStaysLoose) {
    std::string good = archive_bytes(1, entry("A.TXT", 0, 4));
    std::string wrong_magic = good;
    wrong_magic[good.size() - 13] ^= 1;
    std::string inside_trailer = good;
    inside_trailer[good.size() - 9] = static_cast<char>(good.size() - 13);
    const std::string damaged[] = {
        "12345678",
        "1234567890ab",
        wrong_magic,
        inside_trailer,
        archive_bytes(2, entry("A.TXT", 0, 4)),            // fewer entries than counted
        archive_bytes(1000000, entry("A.TXT", 0, 4)),      // far more than could fit
        archive_bytes(1, "A.TXT"),                         // a name without its end
        archive_bytes(1, entry("A.TXT", 2, 4)),            // data running into the table
        archive_bytes(1, entry("A.TXT", 0xFFFFFFF0u, 32)), // data past the end
    };
    write_file("a.txt", "loose");
    for (const std::string &bytes : damaged) {
        write_file("RESOURCE.DAT", bytes);
        EXPECT_EQ(start("RESOURCE.DAT"), 0);
        EXPECT_EQ(read_through_layer("a.txt"), "loose");
        xv_io_deinit();
    }
    EXPECT_EQ(test::warnings_holding(warnings(), "Could not initialize the resource file"),
              static_cast<int>(std::size(damaged)));

    write_file("RESOURCE.DAT", good);
    EXPECT_EQ(start("RESOURCE.DAT"), 1);
    EXPECT_EQ(read_through_layer("a.txt"), "data");
    xv_io_deinit();
    EXPECT_EQ(start("missing.dat", 0), 0); // reported even without reports
    EXPECT_NE(warnings().find("Could not open file\n\nmissing.dat"), std::string::npos);
}

TEST_F(IoTest, PathHelpers) {
    start();
    char directory[16];
    EXPECT_EQ(xv_io_fgetdir("gfx\\wo2\\hole.wo2", directory, sizeof directory), 8);
    EXPECT_STREQ(directory, "gfx\\wo2\\");
    EXPECT_EQ(xv_io_fgetdir("hole.wo2", directory, sizeof directory), 0);
    EXPECT_EQ(xv_io_fgetdir("\\hole.wo2", directory, sizeof directory), 0);
    EXPECT_EQ(xv_io_fgetdir("a_long_directory\\x", directory, sizeof directory), -1);
    EXPECT_STREQ(directory, "");
    EXPECT_NE(warnings().find("xv_io_fgetdir (a_long_directory\\x)"), std::string::npos);

    for (auto [path, changed] : {std::pair{"gfx\\hole.wo2", "gfx\\hole.col"},
                                 {"hole", "hole.col"},
                                 {".hole", ".hole.col"},
                                 {"v1.2\\hole", "v1.2\\hole.col"}}) {
        char *result = xv_io_change_ext(path, "col");
        EXPECT_STREQ(result, changed);
        xv_mem_free(result);
    }
}

} // namespace
