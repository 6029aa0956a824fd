#include "runner/included_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"
#include "pack/project_error.h"
#include "pack/project_files.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

using Folder = test::ScratchDir;

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

CDataFile Loaded(const std::string& name, const std::string& content, int kind) {
    CDataFile f;
    f.FileName = name;
    f.DataLoaded = f.DataStored = true;
    f.data = Bytes(content);
    f.ExportKind = kind;
    return f;
}

// Collects the script errors a run reports.
struct GameRun {
    std::vector<std::string> errors;
    IncludedFileContext ctx;
    explicit GameRun(std::string temp_dir = {}, bool secure = false) {
        ctx.temp_dir = std::move(temp_dir);
        ctx.secure_mode = secure;
        ctx.report_error = [this](std::string_view t) { errors.emplace_back(t); };
    }
};

TEST(IncludedFileRecord, HandBuiltListReadsEveryField) {
    CStream s;
    WriteInteger(s, 620);
    WriteInteger(s, 3);
    // Loaded and stored: the block is there.
    WriteInteger(s, 620);
    WriteString(s, "level.txt");
    WriteString(s, "C:\\work\\level.txt");
    WriteBoolean(s, true);
    WriteInteger(s, 5);
    WriteBoolean(s, true);
    WriteCompressed(s, reinterpret_cast<const uint8_t*>("ab\0cd"), 5);
    WriteInteger(s, 3);
    WriteString(s, "data\\levels");
    WriteBoolean(s, true);
    WriteBoolean(s, false);
    WriteBoolean(s, false);
    // Loaded but not stored: no block, empty data.
    WriteInteger(s, 620);
    WriteString(s, "empty.txt");
    WriteString(s, "");
    WriteBoolean(s, true);
    WriteInteger(s, 0);
    WriteBoolean(s, false);
    WriteInteger(s, 1);
    WriteString(s, "");
    WriteBoolean(s, false);
    WriteBoolean(s, true);
    WriteBoolean(s, true);
    // Stored but not loaded: no block either.
    WriteInteger(s, 620);
    WriteString(s, "gone.dat");
    WriteString(s, "");
    WriteBoolean(s, false);
    WriteInteger(s, 9);
    WriteBoolean(s, true);
    WriteInteger(s, 0);
    WriteString(s, "");
    WriteBoolean(s, false);
    WriteBoolean(s, true);
    WriteBoolean(s, true);
    s.pos = 0;

    std::vector<CDataFile> files;
    ASSERT_TRUE(LoadIncludedFiles(s, files));
    EXPECT_EQ(s.Remaining(), 0u);
    ASSERT_EQ(files.size(), 3u);
    const CDataFile& a = files[0];
    EXPECT_EQ(a.FileName, "level.txt");
    EXPECT_EQ(a.SourcePath, "C:\\work\\level.txt");
    EXPECT_TRUE(a.DataLoaded);
    EXPECT_EQ(a.Size, 5);
    EXPECT_TRUE(a.DataStored);
    EXPECT_EQ(a.data, (std::vector<uint8_t>{'a', 'b', 0, 'c', 'd'}));
    EXPECT_EQ(a.ExportKind, 3);
    EXPECT_EQ(a.Folder, "data\\levels");
    EXPECT_TRUE(a.Overwrite);
    EXPECT_FALSE(a.FreeAfterExport);
    EXPECT_FALSE(a.RemoveAtEnd);
    EXPECT_TRUE(files[1].DataLoaded);
    EXPECT_TRUE(files[1].data.empty());
    EXPECT_EQ(files[1].ExportKind, 1);
    EXPECT_FALSE(files[2].DataLoaded);
    EXPECT_TRUE(files[2].DataStored);
    EXPECT_EQ(files[2].Size, 9);
    EXPECT_EQ(files[2].ExportKind, 0);

    // The writer makes the same bytes apart from the compressed block's encoding.
    CStream again;
    WriteIncludedFiles(again, files);
    again.pos = 0;
    std::vector<CDataFile> back;
    ASSERT_TRUE(LoadIncludedFiles(again, back));
    EXPECT_EQ(back, files);
}

TEST(IncludedFileRecord, DefaultsBeforeReading) {
    CDataFile f;
    EXPECT_EQ(f.ExportKind, 2);
    EXPECT_FALSE(f.Overwrite);
    EXPECT_TRUE(f.FreeAfterExport);
    EXPECT_TRUE(f.RemoveAtEnd);
    EXPECT_FALSE(f.DataLoaded);
}

TEST(IncludedFileRecord, WrongVersionsAndTruncationFail) {
    std::vector<CDataFile> files{Loaded("x", "y", 2)};
    CStream list;
    WriteInteger(list, 621);
    WriteInteger(list, 0);
    list.pos = 0;
    EXPECT_FALSE(LoadIncludedFiles(list, files));
    EXPECT_TRUE(files.empty());  // the old list is gone even on failure

    CStream good;
    WriteIncludedFiles(good, {Loaded("x", "hello", 2)});
    CStream bad_record = good;
    bad_record.data[8] = 0x6B;  // record version 619
    bad_record.pos = 0;
    EXPECT_FALSE(LoadIncludedFiles(bad_record, files));

    for (size_t cut : {size_t(6), size_t(20), good.Size() - 1}) {
        CStream t(std::vector<uint8_t>(good.data.begin(), good.data.begin() + long(cut)));
        EXPECT_THROW(LoadIncludedFiles(t, files), StreamError) << cut;
    }
    CStream huge;
    WriteInteger(huge, 620);
    WriteInteger(huge, 0x7FFFFFFF);
    huge.pos = 0;
    EXPECT_THROW(LoadIncludedFiles(huge, files), StreamError);
}

TEST(IncludedFileLookup, FirstExactNameWins) {
    std::vector<CDataFile> files{Loaded("a.txt", "1", 2), Loaded("A.txt", "2", 2),
                                 Loaded("a.txt", "3", 2)};
    EXPECT_EQ(FindIncludedFile(files, "a.txt"), 0);
    EXPECT_EQ(FindIncludedFile(files, "A.txt"), 1);
    EXPECT_EQ(FindIncludedFile(files, "a.tx"), -1);
    EXPECT_EQ(GetIncludedFile(files, 2), &files[2]);
    EXPECT_EQ(GetIncludedFile(files, 3), nullptr);
    EXPECT_EQ(GetIncludedFile(files, -1), nullptr);
}

TEST(IncludedFileExport, ExportFileRules) {
    Folder dir;
    CDataFile f = Loaded("x", "new", 2);
    WriteAll(dir / "old.txt", "old");

    EXPECT_FALSE(ExportFile(f, dir / "old.txt"));  // no overwrite
    EXPECT_EQ(ReadAll(dir / "old.txt"), "old");
    f.Overwrite = true;
    EXPECT_TRUE(ExportFile(f, dir / "old.txt"));
    EXPECT_EQ(ReadAll(dir / "old.txt"), "new");

    CDataFile empty = Loaded("e", "", 2);
    empty.DataStored = false;
    EXPECT_TRUE(ExportFile(empty, dir / "empty.txt"));
    EXPECT_TRUE(fs::exists(dir / "empty.txt"));
    EXPECT_EQ(fs::file_size(dir / "empty.txt"), 0u);

    CDataFile unloaded = f;
    DiscardIncludedFile(unloaded);
    EXPECT_FALSE(ExportFile(unloaded, dir / "never.txt"));
    EXPECT_FALSE(fs::exists(dir / "never.txt"));

    // A failed write leaves neither the target nor a partial file behind.
    fs::create_directory(dir / "taken");
    EXPECT_FALSE(ExportFile(f, dir / "taken"));
    EXPECT_FALSE(ExportFile(f, dir / "missing/x.txt"));
    EXPECT_EQ(Listing(dir.path), (std::vector<std::string>{"empty.txt", "old.txt", "taken"}));
}

TEST(IncludedFileExport, ByKind) {
    Folder dir;
    fs::create_directory(dir / "temp");
    GameRun run(dir / "temp");

    CDataFile to_temp = Loaded("t.txt", "T", 1);
    EXPECT_TRUE(ExportIncludedFile(to_temp, run.ctx));
    EXPECT_EQ(ReadAll(dir / "temp/t.txt"), "T");
    EXPECT_FALSE(to_temp.DataLoaded);  // freed after export
    EXPECT_TRUE(to_temp.data.empty());
    EXPECT_FALSE(ExportIncludedFile(to_temp, run.ctx));  // nothing left to export

    // Kind 2 is relative to the working directory; an absolute game path stays put.
    CDataFile to_cwd = Loaded(dir / "w.txt", "W", 2);
    to_cwd.FreeAfterExport = false;
    EXPECT_TRUE(ExportIncludedFile(to_cwd, run.ctx));
    EXPECT_EQ(ReadAll(dir / "w.txt"), "W");
    EXPECT_TRUE(to_cwd.DataLoaded);

    // Kind 3 makes the folder with its parents; both names may use backslashes.
    CDataFile to_folder = Loaded("sub\\data.txt", "F", 3);
    to_folder.Folder = dir.path.string() + "\\out\\deep";
    fs::create_directories(dir / "out/deep/sub");
    EXPECT_TRUE(ExportIncludedFile(to_folder, run.ctx));
    EXPECT_EQ(ReadAll(dir / "out/deep/sub/data.txt"), "F");
    CDataFile fresh_folder = Loaded("d.txt", "D", 3);
    fresh_folder.Folder = dir.path.string() + "\\new\\a\\b";
    EXPECT_TRUE(ExportIncludedFile(fresh_folder, run.ctx));
    EXPECT_EQ(ReadAll(dir / "new/a/b/d.txt"), "D");

    CDataFile none = Loaded("n.txt", "N", 0);
    EXPECT_TRUE(ExportIncludedFile(none, run.ctx));
    EXPECT_TRUE(none.DataLoaded);  // kind 0 keeps the data

    CDataFile odd = Loaded("o.txt", "O", 7);
    EXPECT_FALSE(ExportIncludedFile(odd, run.ctx));
    EXPECT_FALSE(odd.DataLoaded);  // freed even for an unknown kind
    EXPECT_TRUE(run.errors.empty());
}

TEST(IncludedFileExport, NoOverwriteStillFrees) {
    Folder dir;
    GameRun run(dir.path.string());
    WriteAll(dir / "keep.txt", "mine");
    CDataFile f = Loaded("keep.txt", "theirs", 1);
    EXPECT_FALSE(ExportIncludedFile(f, run.ctx));
    EXPECT_EQ(ReadAll(dir / "keep.txt"), "mine");
    EXPECT_FALSE(f.DataLoaded);
}

TEST(IncludedFileExport, SecureModeRefusals) {
    Folder dir;
    GameRun run(dir.path.string(), true);
    CDataFile sub = Loaded("sub\\data.txt", "S", 1);
    fs::create_directory(dir / "sub");
    EXPECT_FALSE(ExportIncludedFile(sub, run.ctx));
    EXPECT_FALSE(fs::exists(dir / "sub/data.txt"));
    EXPECT_TRUE(sub.DataLoaded);  // refused before the export: the data stays

    CDataFile slash = Loaded("a/b", "S", 2);
    EXPECT_FALSE(ExportIncludedFile(slash, run.ctx));

    CDataFile folder = Loaded("f.txt", "F", 3);
    folder.Folder = dir / "out";
    EXPECT_FALSE(ExportIncludedFile(folder, run.ctx));
    EXPECT_FALSE(fs::exists(dir / "out"));

    CDataFile plain = Loaded("plain.txt", "P", 1);
    EXPECT_TRUE(ExportIncludedFile(plain, run.ctx));
    EXPECT_EQ(run.errors, (std::vector<std::string>{
                              "In secure mode you cannot export a data file to sub\\data.txt",
                              "In secure mode you cannot export a data file to a/b",
                              "In secure mode you cannot export a data file to an indicated "
                              "directory."}));
}

TEST(IncludedFileRemove, Rules) {
    Folder dir;
    fs::create_directory(dir / "sub");
    for (const char* name : {"t.txt", "kept.txt", "sub/data.txt", "f.txt"})
        WriteAll(dir / name, "x");
    GameRun run(dir.path.string());
    GameRun secure(dir.path.string(), true);

    // The files stand for copies this run exported.
    auto written = [](CDataFile f) {
        f.written = true;
        return f;
    };
    CDataFile t = written(Loaded("t.txt", "", 1));
    DiscardIncludedFile(t);  // removal does not depend on still having the data
    EXPECT_TRUE(RemoveIncludedFile(t, run.ctx));
    EXPECT_FALSE(fs::exists(dir / "t.txt"));
    EXPECT_FALSE(RemoveIncludedFile(t, run.ctx));  // already gone

    CDataFile kept = written(Loaded("kept.txt", "", 1));
    kept.RemoveAtEnd = false;
    EXPECT_TRUE(RemoveIncludedFile(kept, run.ctx));
    EXPECT_TRUE(fs::exists(dir / "kept.txt"));

    CDataFile sub = written(Loaded("sub\\data.txt", "", 1));
    EXPECT_FALSE(RemoveIncludedFile(sub, secure.ctx));
    EXPECT_TRUE(fs::exists(dir / "sub/data.txt"));

    CDataFile folder = written(Loaded("f.txt", "", 3));
    folder.Folder = dir.path.string();
    EXPECT_FALSE(RemoveIncludedFile(folder, secure.ctx));
    EXPECT_TRUE(fs::exists(dir / "f.txt"));

    CDataFile none = written(Loaded("kept.txt", "", 0));
    EXPECT_TRUE(RemoveIncludedFile(none, run.ctx));
    EXPECT_TRUE(fs::exists(dir / "kept.txt"));

    // A directory is not a file to delete.
    CDataFile dir_name = written(Loaded("sub", "", 1));
    fs::remove(dir / "sub/data.txt");
    EXPECT_FALSE(RemoveIncludedFile(dir_name, run.ctx));
    EXPECT_TRUE(fs::exists(dir / "sub"));

    std::vector<CDataFile> all{sub, folder};
    all[0].FileName = "sub.txt";
    WriteAll(dir / "sub.txt", "x");
    EXPECT_TRUE(RemoveAll(all, run.ctx));
    EXPECT_FALSE(fs::exists(dir / "sub.txt"));
    EXPECT_FALSE(fs::exists(dir / "f.txt"));
    EXPECT_TRUE(secure.errors.empty());
}

// A game file may name any path; only what this run wrote is deleted at the end.
TEST(IncludedFileRemove, OnlyWhatThisRunWrote) {
    Folder dir;
    fs::create_directory(dir / "game");
    WriteAll(dir / "precious.txt", "mine");
    GameRun run(dir / "game");
    std::vector<CDataFile> files{Loaded(dir / "precious.txt", "evil", 2),
                                 Loaded("..\\precious.txt", "evil", 1),
                                 Loaded("fresh.txt", "new", 3)};
    files[2].Folder = dir / "game";
    ExportAll(files, run.ctx);
    EXPECT_EQ(ReadAll(dir / "precious.txt"), "mine");  // not overwritten, not written
    EXPECT_TRUE(fs::exists(dir / "game/fresh.txt"));
    RemoveAll(files, run.ctx);
    EXPECT_EQ(ReadAll(dir / "precious.txt"), "mine");
    EXPECT_FALSE(fs::exists(dir / "game/fresh.txt"));
}

TEST(IncludedFileExport, ExportAllVisitsEveryFile) {
    Folder dir;
    GameRun run(dir.path.string(), true);
    std::vector<CDataFile> files{Loaded("a\\b.txt", "refused", 1), Loaded("c.txt", "C", 1),
                                 Loaded("d.txt", "D", 1)};
    WriteAll(dir / "d.txt", "old");
    EXPECT_TRUE(ExportAll(files, run.ctx));
    EXPECT_EQ(ReadAll(dir / "c.txt"), "C");
    EXPECT_EQ(ReadAll(dir / "d.txt"), "old");
    EXPECT_EQ(run.errors.size(), 1u);
}

TEST(IncludedFileScript, ByNameOperations) {
    Folder dir;
    GameRun run(dir.path.string());
    std::vector<CDataFile> files{Loaded("same.txt", "first", 1), Loaded("same.txt", "second", 1)};
    files[0].FreeAfterExport = false;

    EXPECT_EQ(ExportIncludedFileByName(files, "nope", run.ctx),
              "Trying to export non-existing file.");
    EXPECT_EQ(ExportIncludedFileToLocation(files, "nope", dir / "x", run.ctx),
              "Trying to export non-existing file.");
    EXPECT_EQ(DiscardIncludedFileByName(files, "nope"), "Trying to discard non-existing file.");

    EXPECT_EQ(ExportIncludedFileByName(files, "same.txt", run.ctx), "");
    EXPECT_EQ(ReadAll(dir / "same.txt"), "first");  // the lower index

    // To a location: FreeAfterExport does not apply.
    files[0].FreeAfterExport = true;
    EXPECT_EQ(ExportIncludedFileToLocation(files, "same.txt", dir / "loc.txt", run.ctx), "");
    EXPECT_EQ(ReadAll(dir / "loc.txt"), "first");
    EXPECT_TRUE(files[0].DataLoaded);

    GameRun secure(dir.path.string(), true);
    EXPECT_EQ(ExportIncludedFileToLocation(files, "same.txt", dir / "sec.txt", secure.ctx),
              "In secure mode you cannot export a file to a location.");
    EXPECT_FALSE(fs::exists(dir / "sec.txt"));

    EXPECT_EQ(DiscardIncludedFileByName(files, "same.txt"), "");
    EXPECT_FALSE(files[0].DataLoaded);
    EXPECT_TRUE(files[1].DataLoaded);
    // A discarded file exports nothing and says nothing.
    fs::remove(dir / "same.txt");
    EXPECT_EQ(ExportIncludedFileByName(files, "same.txt", run.ctx), "");
    EXPECT_FALSE(fs::exists(dir / "same.txt"));
    EXPECT_TRUE(run.errors.empty());
}

TEST(ProjectFilesIncluded, RoundTripAndMalformed) {
    Folder dir;
    CDataFile f = Loaded("bin.dat", std::string("a\0\xff", 3), 3);
    f.SourcePath = "C:\\src\\bin.dat";
    f.Size = 3;
    f.Folder = "out";
    f.Overwrite = true;
    f.RemoveAtEnd = false;
    pack::SaveIncludedFile(f, dir.path / "inc0");
    EXPECT_EQ(ReadAll(dir / "inc0_data.bin"), std::string("a\0\xff", 3));
    CDataFile back;
    pack::LoadIncludedFile(dir.path / "inc0", back);
    EXPECT_EQ(back, f);

    CDataFile gone = f;
    DiscardIncludedFile(gone);
    pack::SaveIncludedFile(gone, dir.path / "inc1");
    EXPECT_FALSE(fs::exists(dir / "inc1_data.bin"));
    pack::LoadIncludedFile(dir.path / "inc1", back);
    EXPECT_EQ(back, gone);

    fs::remove(dir / "inc0_data.bin");
    EXPECT_THROW(pack::LoadIncludedFile(dir.path / "inc0", back), pack::ProjectError);
    EXPECT_THROW(pack::LoadIncludedFile(dir.path / "none", back), pack::ProjectError);
    struct Case {
        const char* json;
        const char* needle;
    } cases[] = {
        {"{\"FileName\": ", "bad JSON"},
        {"[]", "must be an object"},
        {"{\"FileName\": 3}", "\"FileName\" must be a string"},
        {"{\"FileName\": \"a\", \"SourcePath\": \"\", \"DataLoaded\": 1}", "\"DataLoaded\""},
        {"{\"FileName\": \"a\", \"SourcePath\": \"\", \"DataLoaded\": false, \"Size\": 4294967296}",
         "\"Size\" is out of range"},
        {"{\"FileName\": \"a\"}", "\"SourcePath\" is missing"},
    };
    for (const Case& c : cases) {
        WriteAll(dir / "bad.json", c.json);
        try {
            pack::LoadIncludedFile(dir.path / "bad", back);
            ADD_FAILURE() << c.json;
        } catch (const pack::ProjectError& e) {
            EXPECT_NE(std::string(e.what()).find(c.needle), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("bad.json"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tb
