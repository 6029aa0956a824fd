// Included files carried by the game file: written out at start by each file's export rule,
// exported again or discarded by scripts, and deleted at the end when marked for removal.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runner/stream.h"

namespace tb {

class CDataFile {
  public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    // The stored record (the run-time flag `written` is not part of it).
    bool operator==(const CDataFile& o) const;

    std::string FileName;    // name when exported; the key of the script functions
    std::string SourcePath;  // where the file came from in the editor; unused at run time
    bool DataLoaded = false;
    int32_t Size = 0;  // size when added in the editor; unused at run time
    bool DataStored = false;
    std::vector<uint8_t> data;
    int32_t ExportKind = 2;  // 0 none, 1 temporary directory, 2 working directory, 3 `Folder`
    std::string Folder;
    bool Overwrite = false;
    bool FreeAfterExport = true;
    bool RemoveAtEnd = true;
    // This run wrote the file by its own rule: only then is it removed at the end, so that a
    // name that points at someone else's file never deletes it.
    bool written = false;
};

// What exporting and removing need from the run.
struct IncludedFileContext {
    std::string temp_dir;  // host path of the run's temporary directory
    bool secure_mode = false;
    // Receives the non-fatal script error texts (the secure-mode refusals).
    std::function<void(std::string_view)> report_error;
};

// False for a list or record version other than 620; a truncated list raises StreamError.
bool LoadIncludedFiles(CStream& s, std::vector<CDataFile>& files);
void WriteIncludedFiles(CStream& s, const std::vector<CDataFile>& files);

// Index of the first file with exactly this `FileName`, or -1.
int FindIncludedFile(const std::vector<CDataFile>& files, std::string_view name);
CDataFile* GetIncludedFile(std::vector<CDataFile>& files, int index);

// Writes the data to `path` (a game path, mapped to the host). Needs `DataLoaded`, and
// `Overwrite` when something exists there. The file appears complete or not at all.
bool ExportFile(const CDataFile& file, const std::string& path);
// Export by the file's own rule; applies `FreeAfterExport`.
bool ExportIncludedFile(CDataFile& file, const IncludedFileContext& ctx);
void DiscardIncludedFile(CDataFile& file);
// Deletes the exported copy by the file's own rule when this run wrote it (true and nothing
// deleted when it did not).
bool RemoveIncludedFile(const CDataFile& file, const IncludedFileContext& ctx);
// Every file in index order; both always return true.
bool ExportAll(std::vector<CDataFile>& files, const IncludedFileContext& ctx);
bool RemoveAll(const std::vector<CDataFile>& files, const IncludedFileContext& ctx);

// The operations behind the script functions. Each returns the script error text to report,
// or an empty string; secure-mode refusals inside the export go through ctx.report_error.
std::string ExportIncludedFileByName(std::vector<CDataFile>& files, std::string_view name,
                                     const IncludedFileContext& ctx);
std::string ExportIncludedFileToLocation(std::vector<CDataFile>& files, std::string_view name,
                                         const std::string& location,
                                         const IncludedFileContext& ctx);
std::string DiscardIncludedFileByName(std::vector<CDataFile>& files, std::string_view name);

}  // namespace tb
