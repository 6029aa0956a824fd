// The file functions run through script code in a scratch working directory: text files by
// handle and the legacy file, binary files, file and folder operations, directory search and
// file names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "harness.h"
#include "script_harness.h"
#include "system/file_search.h"
#include "system/filenames.h"
#include "system/text_file.h"

namespace tb {
namespace {

namespace fs = std::filesystem;
using test::IsReal;
using test::IsText;

// A function test whose working directory is a fresh folder.
struct FileFunctions : test::FunctionTest {
    test::ScratchDir dir;
    fs::path saved = fs::current_path();
    FileFunctions() { fs::current_path(dir.path); }
    ~FileFunctions() override { fs::current_path(saved); }
    std::string Read(const std::string& name) { return test::ReadText(dir.path / name); }
    void Write(const std::string& name, const std::string& text) {
        test::WriteText(dir.path / name, text);
    }
};

TEST(FileText, RealsInTheirTextForm) {
    const std::pair<double, const char*> cases[] = {
        {3.14159, " 3.1416"},
        {0, " 0.0000"},
        {-0.00001, " 0.0000"},
        {-2.5, " -2.5000"},
        {123456.789012, " 123456.7890"},
        {123456789.5, " 123456789.5000"},
        {9999999999, " 9999999999.0000"},
        {12345678901.5, " 1.23456789E+10"},
        {-1e20, " -1E+20"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(TextFileRealText(value), text) << value;
}

TEST_F(FileFunctions, TextFilesRoundTrip) {
    Run(R"(f = file_text_open_write('out.txt');
           file_text_write_string(f, 'hello'); file_text_write_real(f, 3.14159);
           file_text_writeln(f); file_text_write_real(f, -2); file_text_write_real(f, power(10, 20));
           file_text_writeln(f); file_text_write_string(f, 'last');
           file_text_close(f);)");
    EXPECT_EQ(Read("out.txt"), "hello 3.1416\r\n -2.0000 1E+20\r\nlast");
    Run(R"(f = file_text_open_append('out.txt'); file_text_writeln(f);
           file_text_write_string(f, 'more'); file_text_close(f);)");
    EXPECT_EQ(Read("out.txt"), "hello 3.1416\r\n -2.0000 1E+20\r\nlast\r\nmore");

    // Either line end reads alike; a lone CR ends a line too.
    for (const char* text : {"12 x\r\n  -3.5e2\r\nword line\r\n", "12 x\n  -3.5e2\nword line\n",
                             "12 x\r  -3.5e2\rword line\r"}) {
        Write("in.txt", text);
        Run(R"(f = file_text_open_read('in.txt');
               a = file_text_read_real(f); rest = file_text_read_string(f);
               again = file_text_read_string(f); file_text_readln(f);
               b = file_text_read_real(f); file_text_readln(f);
               s = file_text_read_string(f); e1 = file_text_eof(f); file_text_readln(f);
               e2 = file_text_eof(f); tail = file_text_read_string(f); file_text_close(f);)");
        EXPECT_TRUE(IsReal(Eval("a"), 12));
        EXPECT_TRUE(IsText(Eval("rest"), " x"));
        EXPECT_TRUE(IsText(Eval("again"), ""));  // the line end is not consumed
        EXPECT_TRUE(IsReal(Eval("b"), -350));
        EXPECT_TRUE(IsText(Eval("s"), "word line"));
        EXPECT_TRUE(IsReal(Eval("e1"), 0));
        EXPECT_TRUE(IsReal(Eval("e2"), 1));
        EXPECT_TRUE(IsText(Eval("tail"), ""));
    }
    // Reals across line ends; a word where a number should be is an error giving 0.
    Write("nums.txt", "1\r\n\r\n 2.5\r\nabc 4");
    Run(R"(f = file_text_open_read('nums.txt'); a = file_text_read_real(f);
           b = file_text_read_real(f); c = file_text_read_real(f); d = file_text_read_real(f);
           z = file_text_read_real(f); file_text_close(f);)");
    EXPECT_TRUE(IsReal(Eval("a + b * 10 + d * 100"), 426));
    EXPECT_TRUE(IsReal(Eval("c"), 0));
    EXPECT_TRUE(IsReal(Eval("z"), 0));  // at the end: 0 without an error
    EXPECT_EQ(errors, std::vector<std::string>{"Error reading real."});
}

TEST_F(FileFunctions, TextHandlesAndTheirErrors) {
    Write("a.txt", "x");
    EXPECT_TRUE(IsReal(Eval("file_text_open_read('missing.txt')"), -1));
    EXPECT_TRUE(errors.empty());  // a missing file is not an error
    fs::create_directory(dir.path / "folder");
    EXPECT_TRUE(IsReal(Eval("file_text_open_read('folder')"), -1));
    EXPECT_TRUE(IsReal(Eval("file_text_open_write('nofolder/x.txt')"), -1));
    // The legacy file does not take one of the 32 handles.
    Run("file_open_read('a.txt'); for (i = 1; i <= 32; i += 1) h[i] = "
        "file_text_open_read('a.txt')");
    EXPECT_TRUE(IsReal(Eval("h[1] + h[32] * 100"), 3201));
    EXPECT_TRUE(IsReal(Eval("file_text_open_write('b.txt')"), -1));
    Run("file_text_close(5); h5 = file_text_open_read('a.txt'); file_text_close(5); "
        "file_text_close(5)");
    EXPECT_TRUE(IsReal(Eval("h5"), 5));
    Run("file_text_close(0); file_text_close(40); file_text_close(-1)");
    Run("file_text_read_string(5); file_text_eof(5); file_text_write_string(6, 'x');"
        "file_text_readln(99); file_text_write_real(0, 1); file_text_writeln(4)");
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "Error opening file for reading.",
                          "Error opening file for writing.",
                          "Cannot open another file (maximum exceeded).",
                          "Trying to close unexisting text file.",
                          "Trying to close unexisting text file.",
                          "Trying to close unexisting text file.",
                          "File is not opened for reading.",
                          "File is not opened for reading.",
                          "File is not opened for writing.",
                          "File is not opened for reading.",
                          "File is not opened for writing.",
                          "File is not opened for writing.",
                      }));
    // A handle open for writing is not one for reading, nor the reverse.
    errors.clear();
    Run("file_text_close(7); w = file_text_open_write('w.txt'); file_text_read_string(w);"
        "file_text_write_string(1, 'no'); file_text_close(w)");
    EXPECT_EQ(errors, (std::vector<std::string>{"File is not opened for reading.",
                                                "File is not opened for writing."}));
}

TEST_F(FileFunctions, LegacyFile) {
    Run("file_open_write('legacy.txt'); file_write_string('a'); file_write_real(2.5);"
        "file_writeln(); file_write_string('b'); file_close()");
    EXPECT_EQ(Read("legacy.txt"), "a 2.5000\r\nb");
    Run("file_open_append('legacy.txt'); file_writeln(); file_write_real(7); file_close();"
        "file_open_read('legacy.txt'); s = file_read_string(); file_readln(); t = "
        "file_read_string();"
        "file_readln(); r = file_read_real(); e = file_eof(); bad = file_read_real(); "
        "file_close()");
    EXPECT_TRUE(IsText(Eval("s"), "a 2.5000"));
    EXPECT_TRUE(IsText(Eval("t"), "b"));
    EXPECT_TRUE(IsReal(Eval("r"), 7));
    EXPECT_TRUE(IsReal(Eval("e"), 1));
    EXPECT_TRUE(errors.empty());
    // Opening again closes the one before; a missing file leaves it closed without a word.
    Run("file_open_read('legacy.txt'); file_open_read('missing.txt'); file_read_string();"
        "file_write_string('x'); file_writeln(); file_eof(); file_readln(); file_read_real()");
    Write("garbage.txt", "zz");
    Run("file_open_read('garbage.txt'); file_read_real(); file_close(); file_close()");
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "File not opened for reading.", "File not opened for writing.",
                          "File not opened for writing.", "File is not opened for reading.",
                          "File not opened for reading.", "File not opened for reading.",
                          "Error reading read."}));
}

TEST_F(FileFunctions, BinaryFiles) {
    // A missing file is created empty, even for reading.
    EXPECT_TRUE(IsReal(Eval("file_bin_open('new.bin', 0)"), 1));
    EXPECT_TRUE(fs::exists(dir.path / "new.bin"));
    EXPECT_TRUE(IsReal(Eval("file_bin_size(1)"), 0));
    Run("b = file_bin_read_byte(1); file_bin_write_byte(1, 5); file_bin_close(1)");
    EXPECT_TRUE(IsReal(Eval("b"), 0));

    Run(R"(f = file_bin_open('data.bin', 2);
           for (i = 0; i < 300; i += 1) file_bin_write_byte(f, i);
           file_bin_write_byte(f, -1); file_bin_write_byte(f, 2.5);
           size = file_bin_size(f); pos = file_bin_position(f);
           file_bin_seek(f, 255); x = file_bin_read_byte(f); y = file_bin_read_byte(f);
           file_bin_seek(f, 1); file_bin_write_byte(f, 99); file_bin_seek(f, 0);
           z = file_bin_read_byte(f) * 1000 + file_bin_read_byte(f); p2 = file_bin_position(f);
           file_bin_seek(f, 302); past = file_bin_read_byte(f);
           file_bin_close(f);)");
    EXPECT_TRUE(IsReal(Eval("size"), 302));
    EXPECT_TRUE(IsReal(Eval("pos"), 302));
    EXPECT_TRUE(IsReal(Eval("x * 1000 + y"), 255000));
    EXPECT_TRUE(IsReal(Eval("z"), 99));
    EXPECT_TRUE(IsReal(Eval("p2"), 2));
    std::string bytes = Read("data.bin");
    ASSERT_EQ(bytes.size(), 302u);
    EXPECT_EQ(uint8_t(bytes[300]), 255);
    EXPECT_EQ(uint8_t(bytes[301]), 2);  // 2.5 rounds to even

    // Opening for writing keeps what is there; rewriting empties it.
    Run("f = file_bin_open('data.bin', 1); file_bin_write_byte(f, 7); s1 = file_bin_size(f);"
        "r = file_bin_read_byte(f); file_bin_rewrite(f); s2 = file_bin_size(f);"
        "p = file_bin_position(f); file_bin_close(f)");
    EXPECT_TRUE(IsReal(Eval("s1 * 10 + s2 + p"), 3020));
    EXPECT_EQ(Read("data.bin"), "");
    Run("file_bin_close(1); file_bin_size(0); file_bin_seek(33, 0); file_bin_rewrite(3);"
        "file_bin_position(2); file_bin_read_byte(1); file_bin_write_byte(1, 0)");
    EXPECT_EQ(errors,
              (std::vector<std::string>{
                  "Error reading byte.", "Error writing byte.", "Error reading byte.",
                  "Error reading byte.", "Trying to close unopened file.", "File is not opened.",
                  "File is not opened.", "Trying to rewrite unopened file.", "File is not opened.",
                  "File is not opened.", "File is not opened."}));
    errors.clear();
    fs::create_directory(dir.path / "folder");
    EXPECT_TRUE(IsReal(Eval("file_bin_open('folder', 2)"), -1));
    Run("for (i = 1; i <= 32; i += 1) file_bin_open('n' + string(i), 1); file_bin_open('x', 0)");
    EXPECT_EQ(errors, (std::vector<std::string>{"Error opening binary file.",
                                                "Cannot open another file (maximum exceeded)."}));
}

TEST_F(FileFunctions, OpenFilesSurviveDeletionAndReadOnlyFolders) {
    Write("gone.txt", "line one\r\nline two");
    Run("f = file_text_open_read('gone.txt'); b = file_bin_open('gone.txt', 0)");
    fs::remove(dir.path / "gone.txt");
    Run("s = file_text_read_string(f); file_text_close(f); c = file_bin_read_byte(b);"
        "file_bin_close(b)");
    EXPECT_TRUE(IsText(Eval("s"), "line one"));
    EXPECT_TRUE(IsReal(Eval("c"), 'l'));
    if (geteuid() != 0) {
        fs::create_directory(dir.path / "locked");
        chmod((dir.path / "locked").c_str(), 0555);
        Run(R"(a = file_text_open_write('locked\x.txt'); b = file_bin_open('locked/y.bin', 1);
               ini_open('z.ini'); file_copy('x', 'locked\x'); directory_create('locked\sub');)");
        EXPECT_TRUE(IsReal(Eval("a + b"), -2));
        EXPECT_FALSE(fs::exists(dir.path / "locked/sub"));
        chmod((dir.path / "locked").c_str(), 0755);
        EXPECT_EQ(errors, (std::vector<std::string>{"Error opening file for writing.",
                                                    "Error opening binary file."}));
    }
}

TEST_F(FileFunctions, AFullDiskIsAnErrorNotACrash) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Run("f = file_text_open_write('/dev/full'); file_text_write_string(f, 'x');"
        "file_text_close(f); b = file_bin_open('/dev/full', 1); file_bin_write_byte(b, 1);"
        "file_bin_close(b); file_open_write('/dev/full'); file_write_string('y'); file_close();");
    EXPECT_EQ(errors, (std::vector<std::string>{"Error closing file.", "Error writing byte.",
                                                "Error closing file."}));
}

TEST_F(FileFunctions, FilesAndFolders) {
    fs::create_directories(dir.path / "Data/Levels");
    Write("Data/Levels/One.TXT", "1");
    Run(R"(e1 = file_exists('data\levels\one.txt'); e2 = file_exists('data\levels');
           d1 = directory_exists('DATA\LEVELS'); d2 = directory_exists('data\levels\one.txt');
           e3 = file_exists(''); e4 = file_exists('none.txt');)");
    EXPECT_TRUE(IsReal(Eval("e1 * 1000 + e2 * 100 + d1 * 10 + d2 + e3 + e4"), 1010));

    Run(R"(file_copy('data\levels\one.txt', 'copy.txt'); file_copy('missing', 'x.txt');)");
    EXPECT_EQ(Read("copy.txt"), "1");
    EXPECT_FALSE(fs::exists(dir.path / "x.txt"));
    Write("other.txt", "2");
    Run("file_copy('other.txt', 'copy.txt')");  // replaces
    EXPECT_EQ(Read("copy.txt"), "2");
    Run("file_rename('copy.txt', 'other.txt'); file_rename('copy.txt', 'moved.txt')");
    EXPECT_EQ(Read("other.txt"), "2");  // an existing target stays
    EXPECT_EQ(Read("moved.txt"), "2");
    EXPECT_FALSE(fs::exists(dir.path / "copy.txt"));
    Run(R"(file_delete('MOVED.TXT'); file_delete('data'); file_delete('nothing');
           directory_create('a\b\c'); directory_create('a\b\c');)");
    EXPECT_FALSE(fs::exists(dir.path / "moved.txt"));
    EXPECT_TRUE(fs::is_directory(dir.path / "Data"));
    EXPECT_TRUE(fs::is_directory(dir.path / "a/b/c"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(FileFunctions, DirectorySearchWithAttributes) {
    for (const char* f : {"b.txt", "A.TXT", "c.dat", "readme", ".hidden"}) Write(f, "x");
    fs::create_directories(dir.path / "sub/deeper");
    Write("sub/one.dat", "x");
    chmod((dir.path / "c.dat").c_str(), 0444);
    auto all = [&](const std::string& mask, const std::string& attr) {
        std::vector<std::string> names;
        std::string first = Eval("file_find_first('" + mask + "', " + attr + ")").text.str();
        for (std::string n = first; !n.empty(); n = Eval("file_find_next()").text.str())
            names.push_back(n);
        return names;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(all("*.*", "0"), (V{"A.TXT", "b.txt", "c.dat", "readme"}));
    EXPECT_EQ(all("*.txt", "fa_readonly"), (V{"A.TXT", "b.txt"}));
    EXPECT_EQ(all("*", "fa_hidden"), (V{".hidden", "A.TXT", "b.txt", "c.dat", "readme"}));
    EXPECT_EQ(all("*", "fa_directory"), (V{".", "..", "A.TXT", "b.txt", "c.dat", "readme", "sub"}));
    EXPECT_EQ(all("?.dat", "0"), (V{"c.dat"}));
    EXPECT_EQ(all("SUB\\*", "fa_directory"), (V{".", "..", "deeper", "one.dat"}));
    EXPECT_EQ(all("sub/*.dat", "0"), (V{"one.dat"}));
    EXPECT_EQ(all("nowhere\\*", "0"), V{});
    // A new search replaces the old one; closing ends it.
    Run("file_find_first('*.txt', 0); file_find_first('*.dat', 0); file_find_close()");
    EXPECT_TRUE(IsText(Eval("file_find_next()"), ""));

    Run(R"(r = file_attributes('c.dat', fa_readonly); w = file_attributes('b.txt', fa_readonly);
           d = file_attributes('SUB', fa_directory); h = file_attributes('.hidden', fa_hidden);
           m = file_attributes('missing', 63); a = file_attributes('b.txt', fa_archive);)");
    EXPECT_TRUE(IsReal(Eval("r * 10000 + w * 1000 + d * 100 + h * 10 + a"), 10111) ||
                geteuid() == 0);
    EXPECT_TRUE(IsReal(Eval("m"), -1));
    chmod((dir.path / "c.dat").c_str(), 0644);

    EXPECT_TRUE(MatchesFileMask("readme", "*.*"));
    EXPECT_TRUE(MatchesFileMask("a.b.c", "*.c"));
    EXPECT_FALSE(MatchesFileMask("abc", "a?"));
    EXPECT_TRUE(MatchesFileMask("ABC", "a*c"));
    EXPECT_FALSE(MatchesFileMask(std::string(40, 'a'), std::string(20, '*') + "b"));
}

TEST(FileNames, WindowsAndHostPaths) {
    struct Case {
        const char* in;
        const char* name;
        const char* path;
        const char* dir;
        const char* drive;
        const char* ext;
    } const cases[] = {
        {"C:\\Games\\level1.txt", "level1.txt", "C:\\Games\\", "C:\\Games", "C:", ".txt"},
        {"C:\\top.dat", "top.dat", "C:\\", "C:\\", "C:", ".dat"},
        {"C:file.txt", "file.txt", "C:", "C:", "C:", ".txt"},
        {"\\\\server\\share\\dir\\a.b.c", "a.b.c", "\\\\server\\share\\dir\\",
         "\\\\server\\share\\dir", "\\\\server\\share", ".c"},
        {"data\\save", "save", "data\\", "data", "", ""},
        {"dir.v2\\noext", "noext", "dir.v2\\", "dir.v2", "", ""},
        {"/home/player/game/score.ini", "score.ini", "/home/player/game/", "/home/player/game", "",
         ".ini"},
        {"/top", "top", "/", "/", "", ""},
        {".hidden", ".hidden", "", "", "", ".hidden"},
        {"plain", "plain", "", "", "", ""},
        {"", "", "", "", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNameName(c.in), c.name) << c.in;
        EXPECT_EQ(FileNamePath(c.in), c.path) << c.in;
        EXPECT_EQ(FileNameDir(c.in), c.dir) << c.in;
        EXPECT_EQ(FileNameDrive(c.in), c.drive) << c.in;
        EXPECT_EQ(FileNameExt(c.in), c.ext) << c.in;
    }
    EXPECT_EQ(FileNameChangeExt("a\\b.txt", ".dat"), "a\\b.dat");
    EXPECT_EQ(FileNameChangeExt("a.d\\b", ".dat"), "a.d\\b.dat");
    EXPECT_EQ(FileNameChangeExt("b.tar.gz", ""), "b.tar");
}

TEST_F(FileFunctions, FileNameFunctions) {
    Run(R"(a = filename_name('C:\x\y.txt'); b = filename_path('C:\x\y.txt');
           c = filename_dir('C:\x\y.txt'); d = filename_drive('C:\x\y.txt');
           e = filename_ext('C:\x\y.txt'); f = filename_change_ext('C:\x\y.txt', '.sav');)");
    EXPECT_TRUE(IsText(Eval("a + '|' + b + '|' + c + '|' + d + '|' + e + '|' + f"),
                       "y.txt|C:\\x\\|C:\\x|C:|.txt|C:\\x\\y.sav"));
}

}  // namespace
}  // namespace tb
