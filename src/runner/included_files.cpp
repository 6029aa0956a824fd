#include "runner/included_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "system/file_bytes.h"
#include "system/paths.h"
#include "system/secure_names.h"

namespace tb {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kVersion = 620;
// Version, three string lengths, five flags and two integers: the least a record takes.
constexpr size_t kMinRecordBytes = 11 * 4;

std::string WinJoin(std::string_view folder, std::string_view name) {
    return std::string(folder) + "\\" + std::string(name);
}

bool DeleteHostFile(const std::string& game_path) {
    std::string path = HostPath(game_path);
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

}  // namespace

bool CDataFile::LoadFromStream(CStream& s) {
    *this = CDataFile();
    if (ReadInteger(s) != kVersion) return false;
    FileName = ReadString(s);
    SourcePath = ReadString(s);
    DataLoaded = ReadBoolean(s);
    Size = ReadInteger(s);
    DataStored = ReadBoolean(s);
    if (DataLoaded && DataStored) data = ReadCompressed(s).data;
    ExportKind = ReadInteger(s);
    Folder = ReadString(s);
    Overwrite = ReadBoolean(s);
    FreeAfterExport = ReadBoolean(s);
    RemoveAtEnd = ReadBoolean(s);
    return true;
}

bool CDataFile::operator==(const CDataFile& o) const {
    return FileName == o.FileName && SourcePath == o.SourcePath && DataLoaded == o.DataLoaded &&
           Size == o.Size && DataStored == o.DataStored && data == o.data &&
           ExportKind == o.ExportKind && Folder == o.Folder && Overwrite == o.Overwrite &&
           FreeAfterExport == o.FreeAfterExport && RemoveAtEnd == o.RemoveAtEnd;
}

void CDataFile::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteString(s, FileName);
    WriteString(s, SourcePath);
    WriteBoolean(s, DataLoaded);
    WriteInteger(s, Size);
    WriteBoolean(s, DataStored);
    if (DataLoaded && DataStored) WriteCompressed(s, data.data(), data.size());
    WriteInteger(s, ExportKind);
    WriteString(s, Folder);
    WriteBoolean(s, Overwrite);
    WriteBoolean(s, FreeAfterExport);
    WriteBoolean(s, RemoveAtEnd);
}

bool LoadIncludedFiles(CStream& s, std::vector<CDataFile>& files) {
    files.clear();
    if (ReadInteger(s) != kVersion) return false;
    int32_t count = ReadCount(s, kMinRecordBytes);
    for (int32_t i = 0; i < count; ++i) {
        CDataFile f;
        if (!f.LoadFromStream(s)) return false;
        files.push_back(std::move(f));
    }
    return true;
}

void WriteIncludedFiles(CStream& s, const std::vector<CDataFile>& files) {
    WriteInteger(s, kVersion);
    WriteInteger(s, int32_t(files.size()));
    for (const CDataFile& f : files) f.WriteToStream(s);
}

int FindIncludedFile(const std::vector<CDataFile>& files, std::string_view name) {
    for (size_t i = 0; i < files.size(); ++i)
        if (files[i].FileName == name) return int(i);
    return -1;
}

CDataFile* GetIncludedFile(std::vector<CDataFile>& files, int index) {
    if (index < 0 || size_t(index) >= files.size()) return nullptr;
    return &files[size_t(index)];
}

bool ExportFile(const CDataFile& file, const std::string& path) {
    if (!file.DataLoaded) return false;
    std::string host = HostPath(path);
    std::error_code ec;
    // symlink_status: a dangling link still counts as something that is there.
    if (!file.Overwrite && fs::symlink_status(host, ec).type() != fs::file_type::not_found)
        return false;
    return WriteFileAtomically(host, file.data);
}

void DiscardIncludedFile(CDataFile& file) {
    if (!file.DataLoaded) return;
    file.DataLoaded = false;
    file.data = {};
}

bool ExportIncludedFile(CDataFile& file, const IncludedFileContext& ctx) {
    if (!file.DataLoaded) return false;
    if (file.ExportKind == 0) return true;
    auto report = [&](const std::string& text) {
        if (ctx.report_error) ctx.report_error(text);
    };
    if (ctx.secure_mode && !IsConfinedName(file.FileName)) {
        report("In secure mode you cannot export a data file to " + file.FileName);
        return false;
    }
    bool result = false;
    switch (file.ExportKind) {
        case 1:
            // Without a temporary directory the name would land at the file system root.
            if (!ctx.temp_dir.empty())
                result = ExportFile(file, WinJoin(ctx.temp_dir, file.FileName));
            break;
        case 2:
            result = ExportFile(file, file.FileName);
            break;
        case 3: {
            if (ctx.secure_mode) {
                report("In secure mode you cannot export a data file to an indicated directory.");
                return false;
            }
            std::error_code ec;
            if (!file.Folder.empty()) fs::create_directories(HostPath(file.Folder), ec);
            result = ExportFile(file, WinJoin(file.Folder, file.FileName));
            break;
        }
        default:
            break;
    }
    if (result) file.written = true;
    if (file.FreeAfterExport) DiscardIncludedFile(file);
    return result;
}

bool RemoveIncludedFile(const CDataFile& file, const IncludedFileContext& ctx) {
    if (!file.RemoveAtEnd) return true;
    // Never exported by this run (it was there before, or the export failed): not ours.
    if (!file.written) return true;
    if (ctx.secure_mode && !IsConfinedName(file.FileName)) return false;
    switch (file.ExportKind) {
        case 0:
            return true;
        case 1:
            return !ctx.temp_dir.empty() && DeleteHostFile(WinJoin(ctx.temp_dir, file.FileName));
        case 2:
            return DeleteHostFile(file.FileName);
        case 3:
            if (ctx.secure_mode) return false;
            return DeleteHostFile(WinJoin(file.Folder, file.FileName));
        default:
            return false;
    }
}

bool ExportAll(std::vector<CDataFile>& files, const IncludedFileContext& ctx) {
    for (CDataFile& f : files) ExportIncludedFile(f, ctx);
    return true;
}

bool RemoveAll(const std::vector<CDataFile>& files, const IncludedFileContext& ctx) {
    for (const CDataFile& f : files) RemoveIncludedFile(f, ctx);
    return true;
}

std::string ExportIncludedFileByName(std::vector<CDataFile>& files, std::string_view name,
                                     const IncludedFileContext& ctx) {
    CDataFile* f = GetIncludedFile(files, FindIncludedFile(files, name));
    if (!f) return "Trying to export non-existing file.";
    ExportIncludedFile(*f, ctx);
    return {};
}

std::string ExportIncludedFileToLocation(std::vector<CDataFile>& files, std::string_view name,
                                         const std::string& location,
                                         const IncludedFileContext& ctx) {
    CDataFile* f = GetIncludedFile(files, FindIncludedFile(files, name));
    if (!f) return "Trying to export non-existing file.";
    if (ctx.secure_mode) return "In secure mode you cannot export a file to a location.";
    ExportFile(*f, location);
    return {};
}

std::string DiscardIncludedFileByName(std::vector<CDataFile>& files, std::string_view name) {
    CDataFile* f = GetIncludedFile(files, FindIncludedFile(files, name));
    if (!f) return "Trying to discard non-existing file.";
    DiscardIncludedFile(*f);
    return {};
}

}  // namespace tb
