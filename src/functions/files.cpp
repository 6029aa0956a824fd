// Text files by handle and the legacy text file, binary files, file and folder operations,
// directory search and file name splitting. Every name a game gives is a game path, mapped to
// the host; in secure mode names that could write outside the working directory are refused.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "functions/arguments.h"
#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"
#include "system/file_bytes.h"
#include "system/filenames.h"
#include "system/paths.h"
#include "system/secure_names.h"
#include "system/system_state.h"

namespace tb {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxHandle = 32;

#define FILE_FN(name)                                                                              \
    void name([[maybe_unused]] ScriptEngine& e, CInstance*, CInstance*, [[maybe_unused]] int argc, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] const RValue* args)

std::string Text(int argc, const RValue* args, int i) {
    return i < argc ? args[i].text.str() : std::string();
}

void Error(ScriptEngine& e, const std::string& text) {
    ShowRuntimeError(e, text, false);
}

SystemState& Sys(ScriptEngine& e) {
    return *e.system;
}

bool Secure(ScriptEngine& e) {
    return e.files.secure_mode;
}

// A handle of 1 .. 32, or -1.
int Handle(const RValue& v) {
    int32_t h = Int(v);
    return h >= 1 && h <= kMaxHandle ? h : -1;
}

bool Exists(const std::string& game_path) {
    std::error_code ec;
    return !game_path.empty() && fs::exists(HostPath(game_path), ec);
}

// --- text files by handle

int FreeTextEntry(ScriptEngine& e) {
    for (int i = 1; i <= kMaxHandle; ++i)
        if (Sys(e).text_files[size_t(i)].mode() == TextFile::Mode::kClosed) return i;
    return -1;
}

FILE_FN(file_text_open_read) {
    result.SetReal(-1);
    int h = FreeTextEntry(e);
    if (h < 0) return Error(e, "Cannot open another file (maximum exceeded).");
    std::string name = Text(argc, args, 0);
    if (!Exists(name)) return;
    if (!Sys(e).text_files[size_t(h)].OpenRead(HostPath(name)))
        return Error(e, "Error opening file for reading.");
    result.SetReal(h);
}

void OpenTextForWriting(ScriptEngine& e, int argc, const RValue* args, RValue& result,
                        bool append) {
    result.SetReal(-1);
    int h = FreeTextEntry(e);
    if (h < 0) return Error(e, "Cannot open another file (maximum exceeded).");
    std::string name = Text(argc, args, 0);
    if (Secure(e) && !IsConfinedName(name))
        return Error(e, (append ? "In secure mode you cannot append to file "
                                : "In secure mode you cannot write file ") +
                            name);
    if (!Sys(e).text_files[size_t(h)].OpenWrite(HostPath(name), append))
        return Error(
            e, append ? "Error opening file for appending." : "Error opening file for writing.");
    result.SetReal(h);
}

FILE_FN(file_text_open_write) {
    OpenTextForWriting(e, argc, args, result, false);
}

FILE_FN(file_text_open_append) {
    OpenTextForWriting(e, argc, args, result, true);
}

FILE_FN(file_text_close) {
    int h = Handle(args[0]);
    if (h < 0) return Error(e, "Trying to close unexisting text file.");
    TextFile& f = Sys(e).text_files[size_t(h)];
    if (f.mode() == TextFile::Mode::kClosed) return;
    if (!f.Close()) Error(e, "Error closing file.");
}

// The entry of a handle open for reading, else the error and null.
TextFile* Reading(ScriptEngine& e, int entry, const char* not_open) {
    if (entry < 0 || Sys(e).text_files[size_t(entry)].mode() != TextFile::Mode::kRead) {
        Error(e, not_open);
        return nullptr;
    }
    return &Sys(e).text_files[size_t(entry)];
}

TextFile* Writing(ScriptEngine& e, int entry, const char* not_open) {
    if (entry < 0 || Sys(e).text_files[size_t(entry)].mode() != TextFile::Mode::kWrite) {
        Error(e, not_open);
        return nullptr;
    }
    return &Sys(e).text_files[size_t(entry)];
}

constexpr const char* kNotReading = "File is not opened for reading.";
constexpr const char* kNotWriting = "File is not opened for writing.";

void ReadString(ScriptEngine& e, TextFile* f, RValue& result) {
    result.SetString(RString());
    if (!f) return;
    std::string s;
    if (!f->ReadString(s)) return Error(e, "Error reading string.");
    result.SetString(RString(s));
}

void ReadReal(ScriptEngine& e, TextFile* f, RValue& result, const char* failure) {
    result.SetReal(0);
    if (!f) return;
    double v;
    if (!f->ReadReal(v)) return Error(e, failure);
    result.SetReal(v);
}

void ReadLine(ScriptEngine& e, TextFile* f) {
    if (f && !f->ReadLine()) Error(e, "Error reading line.");
}

void Write(TextFile* f, std::string_view text) {
    if (f) f->Write(text);
}

FILE_FN(file_text_eof) {
    TextFile* f = Reading(e, Handle(args[0]), kNotReading);
    result.SetReal(f && f->Eof() ? 1 : 0);
}

FILE_FN(file_text_read_string) {
    ReadString(e, Reading(e, Handle(args[0]), kNotReading), result);
}

FILE_FN(file_text_read_real) {
    ReadReal(e, Reading(e, Handle(args[0]), kNotReading), result, "Error reading real.");
}

FILE_FN(file_text_readln) {
    ReadLine(e, Reading(e, Handle(args[0]), kNotReading));
}

FILE_FN(file_text_write_string) {
    Write(Writing(e, Handle(args[0]), kNotWriting), args[1].text.view());
}

FILE_FN(file_text_write_real) {
    Write(Writing(e, Handle(args[0]), kNotWriting), TextFileRealText(Number(args[1])));
}

FILE_FN(file_text_writeln) {
    Write(Writing(e, Handle(args[0]), kNotWriting), "\r\n");
}

// --- the legacy file: entry 0

void OpenLegacy(ScriptEngine& e, const std::string& name, int how) {
    TextFile& f = Sys(e).text_files[0];
    if (f.mode() != TextFile::Mode::kClosed && !f.Close()) Error(e, "Error closing file.");
    if (how == 0) {
        if (!Exists(name)) return;
        if (!f.OpenRead(HostPath(name))) Error(e, "Error opening file for reading.");
        return;
    }
    bool append = how == 2;
    if (Secure(e) && !IsConfinedName(name))
        return Error(e, (append ? "In secure mode you cannot append to file "
                                : "In secure mode you cannot write file ") +
                            name);
    if (!f.OpenWrite(HostPath(name), append))
        Error(e, append ? "Error opening file for appending." : "Error opening file for writing.");
}

constexpr const char* kLegacyNotReading = "File not opened for reading.";
constexpr const char* kLegacyNotWriting = "File not opened for writing.";

FILE_FN(file_open_read) {
    OpenLegacy(e, Text(argc, args, 0), 0);
}

FILE_FN(file_open_write) {
    OpenLegacy(e, Text(argc, args, 0), 1);
}

FILE_FN(file_open_append) {
    OpenLegacy(e, Text(argc, args, 0), 2);
}

FILE_FN(file_close) {
    TextFile& f = Sys(e).text_files[0];
    if (f.mode() != TextFile::Mode::kClosed && !f.Close()) Error(e, "Error closing file.");
}

FILE_FN(file_read_string) {
    ReadString(e, Reading(e, 0, kLegacyNotReading), result);
}

FILE_FN(file_read_real) {
    ReadReal(e, Reading(e, 0, kLegacyNotReading), result, "Error reading read.");
}

FILE_FN(file_readln) {
    ReadLine(e, Reading(e, 0, kLegacyNotReading));
}

FILE_FN(file_eof) {
    TextFile* f = Reading(e, 0, kNotReading);
    result.SetReal(f && f->Eof() ? 1 : 0);
}

FILE_FN(file_write_string) {
    Write(Writing(e, 0, kLegacyNotWriting), args[0].text.view());
}

FILE_FN(file_write_real) {
    Write(Writing(e, 0, kLegacyNotWriting), TextFileRealText(Number(args[0])));
}

FILE_FN(file_writeln) {
    Write(Writing(e, 0, kLegacyNotWriting), "\r\n");
}

// --- binary files

BinaryFile* OpenBinary(ScriptEngine& e, const RValue& handle, const char* not_open) {
    int h = Handle(handle);
    if (h < 0 || !Sys(e).binary_files[size_t(h)].IsOpen()) {
        Error(e, not_open);
        return nullptr;
    }
    return &Sys(e).binary_files[size_t(h)];
}

constexpr const char* kBinNotOpen = "File is not opened.";

FILE_FN(file_bin_open) {
    result.SetReal(-1);
    int h = -1;
    for (int i = 1; i <= kMaxHandle && h < 0; ++i)
        if (!Sys(e).binary_files[size_t(i)].IsOpen()) h = i;
    if (h < 0) return Error(e, "Cannot open another file (maximum exceeded).");
    std::string name = Text(argc, args, 0);
    int mode = Int(args[1]);
    if (Secure(e) && mode != 0 && !IsConfinedName(name))
        return Error(e, "In secure mode you cannot write file " + name);
    // Reading is allowed anywhere, but in secure mode it creates no file outside.
    bool create = !Secure(e) || IsConfinedName(name);
    if (!Sys(e).binary_files[size_t(h)].Open(HostPath(name), mode, create))
        return Error(e, "Error opening binary file.");
    result.SetReal(h);
}

FILE_FN(file_bin_rewrite) {
    if (BinaryFile* f = OpenBinary(e, args[0], "Trying to rewrite unopened file."))
        if (!f->Rewrite()) Error(e, "Error rewriting file.");
}

FILE_FN(file_bin_close) {
    if (BinaryFile* f = OpenBinary(e, args[0], "Trying to close unopened file."))
        if (!f->Close()) Error(e, "Error closing file.");
}

FILE_FN(file_bin_size) {
    BinaryFile* f = OpenBinary(e, args[0], kBinNotOpen);
    int64_t size = 0;
    if (f && !f->Size(size)) Error(e, "Error retrieving file size.");
    result.SetReal(double(size));
}

FILE_FN(file_bin_position) {
    BinaryFile* f = OpenBinary(e, args[0], kBinNotOpen);
    result.SetReal(f ? double(f->Position()) : 0);
}

FILE_FN(file_bin_seek) {
    if (BinaryFile* f = OpenBinary(e, args[0], kBinNotOpen))
        if (!f->Seek(RoundToInt64(Number(args[1])))) Error(e, "Error seeking.");
}

FILE_FN(file_bin_read_byte) {
    BinaryFile* f = OpenBinary(e, args[0], kBinNotOpen);
    uint8_t byte = 0;
    if (f && !f->ReadByte(byte)) Error(e, "Error reading byte.");
    result.SetReal(byte);
}

FILE_FN(file_bin_write_byte) {
    if (BinaryFile* f = OpenBinary(e, args[0], kBinNotOpen))
        if (!f->WriteByte(uint8_t(RoundToInt64(Number(args[1])) & 0xFF)))
            Error(e, "Error writing byte.");
}

// --- files and folders

FILE_FN(file_exists) {
    std::string name = Text(argc, args, 0);
    std::error_code ec;
    result.SetReal(!name.empty() && fs::is_regular_file(HostPath(name), ec) ? 1 : 0);
}

FILE_FN(file_delete) {
    std::string name = Text(argc, args, 0);
    if (Secure(e) && !IsConfinedName(name))
        return Error(e, "In Secure mode you cannot delete file " + name);
    std::string path = HostPath(name);
    std::error_code ec;
    // Only files: a folder is not deleted by this function.
    if (!path.empty() && !fs::is_directory(fs::symlink_status(path, ec))) ::unlink(path.c_str());
}

FILE_FN(file_rename) {
    std::string from = Text(argc, args, 0), to = Text(argc, args, 1);
    if (Secure(e) && (!IsConfinedName(from) || !IsConfinedName(to)))
        return Error(e, "In Secure mode you cannot rename file " + from + " into " + to);
    std::string source = HostPath(from), target = HostPath(to);
    std::error_code ec;
    // The original refused to replace an existing target.
    if (source.empty() || target.empty() || fs::exists(fs::symlink_status(target, ec))) return;
    ::rename(source.c_str(), target.c_str());
}

FILE_FN(file_copy) {
    std::string from = Text(argc, args, 0), to = Text(argc, args, 1);
    if (Secure(e) && (!IsConfinedName(from) || !IsConfinedName(to)))
        return Error(e, "In Secure mode you cannot copy file " + from + " to " + to);
    std::vector<uint8_t> bytes;
    if (from.empty() || to.empty() || !ReadFileBytes(HostPath(from), bytes)) return;
    WriteFileAtomically(HostPath(to), bytes);
}

FILE_FN(directory_exists) {
    std::string name = Text(argc, args, 0);
    std::error_code ec;
    result.SetReal(!name.empty() && fs::is_directory(HostPath(name), ec) ? 1 : 0);
}

FILE_FN(directory_create) {
    std::string name = Text(argc, args, 0);
    if (Secure(e) && !IsConfinedName(name))
        return Error(e, "In Secure mode you cannot create directory " + name);
    std::error_code ec;
    if (!name.empty()) fs::create_directories(HostPath(name), ec);
}

FILE_FN(file_find_first) {
    result.SetString(RString(Sys(e).search.First(Text(argc, args, 0), Int(args[1]))));
}

FILE_FN(file_find_next) {
    result.SetString(RString(Sys(e).search.Next()));
}

FILE_FN(file_find_close) {
    Sys(e).search.Close();
}

FILE_FN(file_attributes) {
    std::string name = Text(argc, args, 0);
    int32_t a = name.empty() ? -1 : HostFileAttributes(HostPath(name));
    result.SetReal(a < 0 ? -1 : (a & Int(args[1])) != 0 ? 1 : 0);
}

// --- file names

template <std::string (*split)(std::string_view)>
FILE_FN(filename_part) {
    result.SetString(RString(split(args[0].text.view())));
}

FILE_FN(filename_change_ext) {
    result.SetString(RString(FileNameChangeExt(args[0].text.view(), args[1].text.view())));
}

}  // namespace

void RegisterFileFunctions(FunctionRegistry& r) {
    r.Register("file_text_open_read", &file_text_open_read, 1);
    r.Register("file_text_open_write", &file_text_open_write, 1);
    r.Register("file_text_open_append", &file_text_open_append, 1);
    r.Register("file_text_close", &file_text_close, 1);
    r.Register("file_text_eof", &file_text_eof, 1);
    r.Register("file_text_read_string", &file_text_read_string, 1);
    r.Register("file_text_read_real", &file_text_read_real, 1);
    r.Register("file_text_readln", &file_text_readln, 1);
    r.Register("file_text_write_string", &file_text_write_string, 2);
    r.Register("file_text_write_real", &file_text_write_real, 2);
    r.Register("file_text_writeln", &file_text_writeln, 1);
    r.Register("file_bin_open", &file_bin_open, 2);
    r.Register("file_bin_rewrite", &file_bin_rewrite, 1);
    r.Register("file_bin_close", &file_bin_close, 1);
    r.Register("file_bin_size", &file_bin_size, 1);
    r.Register("file_bin_position", &file_bin_position, 1);
    r.Register("file_bin_seek", &file_bin_seek, 2);
    r.Register("file_bin_read_byte", &file_bin_read_byte, 1);
    r.Register("file_bin_write_byte", &file_bin_write_byte, 2);
    r.Register("file_open_read", &file_open_read, 1);
    r.Register("file_open_write", &file_open_write, 1);
    r.Register("file_open_append", &file_open_append, 1);
    r.Register("file_close", &file_close, 0);
    r.Register("file_read_string", &file_read_string, 0);
    r.Register("file_read_real", &file_read_real, 0);
    r.Register("file_readln", &file_readln, 0);
    r.Register("file_eof", &file_eof, 0);
    r.Register("file_write_string", &file_write_string, 1);
    r.Register("file_write_real", &file_write_real, 1);
    r.Register("file_writeln", &file_writeln, 0);
    r.Register("file_exists", &file_exists, 1);
    r.Register("file_delete", &file_delete, 1);
    r.Register("file_rename", &file_rename, 2);
    r.Register("file_copy", &file_copy, 2);
    r.Register("directory_exists", &directory_exists, 1);
    r.Register("directory_create", &directory_create, 1);
    r.Register("file_find_first", &file_find_first, 2);
    r.Register("file_find_next", &file_find_next, 0);
    r.Register("file_find_close", &file_find_close, 0);
    r.Register("file_attributes", &file_attributes, 2);
    r.Register("filename_name", &filename_part<&FileNameName>, 1);
    r.Register("filename_path", &filename_part<&FileNamePath>, 1);
    r.Register("filename_dir", &filename_part<&FileNameDir>, 1);
    r.Register("filename_drive", &filename_part<&FileNameDrive>, 1);
    r.Register("filename_ext", &filename_part<&FileNameExt>, 1);
    r.Register("filename_change_ext", &filename_change_ext, 2);
}

}  // namespace tb
