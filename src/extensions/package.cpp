#include "extensions/package.h"

#include <filesystem>
#include <system_error>

#include "system/file_bytes.h"
#include "system/paths.h"

namespace tb {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kVersion = 700;
// The least each record takes: its integers and string lengths.
constexpr size_t kMinPackageBytes = 5 * 4;
constexpr size_t kMinFileBytes = 7 * 4;
constexpr size_t kMinFunctionBytes = (6 + CExtensionFunction::kArgumentSlots + 1) * 4;
constexpr size_t kMinConstantBytes = 3 * 4;
// Seed of the contents blocks we write; readers take it from the block itself.
constexpr int32_t kWriteSeed = 4711;
// The contents block is scrambled from here on; the byte before stays plain.
constexpr int64_t kScrambleStart = 5;

std::string Trim(std::string_view v) {
    size_t b = 0, e = v.size();
    while (b < e && uint8_t(v[b]) <= ' ') ++b;
    while (e > b && uint8_t(v[e - 1]) <= ' ') --e;
    return std::string(v.substr(b, e - b));
}

bool HasContents(const CExtensionFile& f) {
    return f.kind != CExtensionFile::kNoContents;
}

// A name from the game file that stays below the folder it is joined to.
bool IsSafeRelative(std::string_view name) {
    if (name.empty()) return true;
    if (name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;  // drive letter
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == name.npos) end = name.size();
        if (name.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

bool IsSafeFileName(std::string_view name) {
    return !name.empty() && name.back() != '/' && name.back() != '\\' && IsSafeRelative(name);
}

const CExtensionFunction* FindById(const std::vector<CExtensionPackage>& packages, int id) {
    for (const CExtensionPackage& p : packages)
        for (const CExtensionFile& f : p.files)
            for (const CExtensionFunction& fn : f.functions)
                if (fn.id == id) return &fn;
    return nullptr;
}

}  // namespace

bool CExtensionConstant::LoadFromStream(CStream& s) {
    *this = CExtensionConstant();
    if (ReadInteger(s) != kVersion) return false;
    name = ReadString(s);
    value = ReadString(s);
    return true;
}

void CExtensionConstant::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteString(s, name);
    WriteString(s, value);
}

bool CExtensionFunction::LoadFromStream(CStream& s) {
    *this = CExtensionFunction();
    if (ReadInteger(s) != kVersion) return false;
    name = Trim(ReadString(s));
    external_name = Trim(ReadString(s));
    if (external_name.empty()) external_name = name;
    calling_convention = ReadInteger(s);
    id = ReadInteger(s);
    argument_count = ReadInteger(s);
    for (int32_t& t : argument_types) t = ReadInteger(s);
    // Calls with more than four arguments only pass reals.
    if (argument_count > 4) argument_types.fill(2);
    result_type = ReadInteger(s);
    if (result_type <= 0 || result_type > 2) result_type = 2;
    return true;
}

void CExtensionFunction::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteString(s, name);
    WriteString(s, external_name);
    WriteInteger(s, calling_convention);
    WriteInteger(s, id);
    WriteInteger(s, argument_count);
    for (int32_t t : argument_types) WriteInteger(s, t);
    WriteInteger(s, result_type);
}

bool CExtensionFile::LoadFromStream(CStream& s) {
    *this = CExtensionFile();
    if (ReadInteger(s) != kVersion) return false;
    file_name = ReadString(s);
    kind = ReadInteger(s);
    init_function = ReadString(s);
    final_function = ReadString(s);
    int32_t functions_count = ReadCount(s, kMinFunctionBytes);
    for (int32_t i = 0; i < functions_count; ++i) {
        CExtensionFunction fn;
        if (!fn.LoadFromStream(s)) return false;
        functions.push_back(std::move(fn));
    }
    int32_t constants_count = ReadCount(s, kMinConstantBytes);
    for (int32_t i = 0; i < constants_count; ++i) {
        CExtensionConstant c;
        if (!c.LoadFromStream(s)) return false;
        constants.push_back(std::move(c));
    }
    return true;
}

void CExtensionFile::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteString(s, file_name);
    WriteInteger(s, kind);
    WriteString(s, init_function);
    WriteString(s, final_function);
    WriteInteger(s, int32_t(functions.size()));
    for (const CExtensionFunction& fn : functions) fn.WriteToStream(s);
    WriteInteger(s, int32_t(constants.size()));
    for (const CExtensionConstant& c : constants) c.WriteToStream(s);
}

bool CExtensionPackage::LoadFromStream(CStream& s) {
    *this = CExtensionPackage();
    if (ReadInteger(s) != kVersion) return false;
    name = ReadString(s);
    folder_name = ReadString(s);
    int32_t count = ReadCount(s, kMinFileBytes);
    for (int32_t i = 0; i < count; ++i) {
        CExtensionFile f;
        if (!f.LoadFromStream(s)) return false;
        files.push_back(std::move(f));
    }
    CStream block = ReadStored(s);
    if (block.Size() >= 4) {
        int32_t seed = ReadInteger(block);
        DescrambleSubstitute(block, seed, kScrambleStart, 0);
    } else {
        block.pos = block.Size();  // no seed: any file that needs a block is truncated
    }
    for (CExtensionFile& f : files) {
        if (HasContents(f)) f.contents = ReadCompressed(block).data;
        SplitScriptFile(f);
    }
    return true;
}

void CExtensionPackage::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteString(s, name);
    WriteString(s, folder_name);
    WriteInteger(s, int32_t(files.size()));
    for (const CExtensionFile& f : files) f.WriteToStream(s);
    CStream block;
    WriteInteger(block, kWriteSeed);
    for (const CExtensionFile& f : files)
        if (HasContents(f)) WriteCompressed(block, f.contents.data(), f.contents.size());
    ScrambleSubstitute(block, kWriteSeed, kScrambleStart, 0);
    WriteStored(s, block.data.data(), block.data.size());
}

void SplitScriptFile(CExtensionFile& file) {
    for (CExtensionFunction& fn : file.functions) fn.code.clear();
    if (file.kind != CExtensionFile::kScript) return;

    std::vector<std::string> lines;
    std::string line;
    for (uint8_t c : file.contents) {
        if (c == '\n') continue;
        if (c == '\r') {
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line += char(c);
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));

    auto assign = [&](const std::string& section, const std::string& text) {
        for (CExtensionFunction& fn : file.functions)
            if (fn.external_name == section) fn.code = text;
    };
    bool in_section = false;
    std::string section, text;
    bool first_line = true;
    for (const std::string& l : lines) {
        if (l.starts_with("#define")) {
            if (in_section) assign(section, text);
            in_section = true;
            section = Trim(std::string_view(l).substr(7));
            text.clear();
            first_line = true;
        } else if (in_section) {
            if (!first_line) text += "\r\n";
            text += l;
            first_line = false;
        }
    }
    if (in_section) assign(section, text);
}

bool WriteExtensionFiles(const CExtensionPackage& package, const std::string& temp_dir) {
    if (temp_dir.empty() || !IsSafeRelative(package.folder_name)) return false;
    for (const CExtensionFile& f : package.files) {
        bool written = f.kind == CExtensionFile::kLibrary || f.kind == CExtensionFile::kOther;
        if (written && !IsSafeFileName(f.file_name)) return false;
    }
    std::string folder = HostPath(JoinPath(temp_dir, package.folder_name));
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return false;
    for (const CExtensionFile& f : package.files) {
        if (f.kind != CExtensionFile::kLibrary && f.kind != CExtensionFile::kOther) continue;
        std::string path = HostPath(JoinPath(folder, f.file_name));
        fs::create_directories(fs::path(path).parent_path(), ec);
        if (!WriteFileAtomically(path, f.contents)) return false;
    }
    return true;
}

bool LoadExtensionPackages(CStream& s, std::vector<CExtensionPackage>& packages,
                           const std::string& temp_dir) {
    packages.clear();
    if (ReadInteger(s) != kVersion) return false;
    int32_t count = ReadCount(s, kMinPackageBytes);
    for (int32_t i = 0; i < count; ++i) {
        CExtensionPackage p;
        if (!p.LoadFromStream(s)) return false;
        if (!temp_dir.empty() && !WriteExtensionFiles(p, temp_dir)) return false;
        packages.push_back(std::move(p));
    }
    return true;
}

void WriteExtensionPackages(CStream& s, const std::vector<CExtensionPackage>& packages) {
    WriteInteger(s, kVersion);
    WriteInteger(s, int32_t(packages.size()));
    for (const CExtensionPackage& p : packages) p.WriteToStream(s);
}

int FindExtensionFunction(const std::vector<CExtensionPackage>& packages, std::string_view name) {
    for (const CExtensionPackage& p : packages)
        for (const CExtensionFile& f : p.files)
            for (const CExtensionFunction& fn : f.functions)
                if (fn.name == name) return fn.id;
    return -1;
}

int ExtensionFunctionArgCount(const std::vector<CExtensionPackage>& packages, int id) {
    const CExtensionFunction* fn = FindById(packages, id);
    return fn ? fn->argument_count : 0;
}

std::string ExtensionFunctionName(const std::vector<CExtensionPackage>& packages, int id) {
    const CExtensionFunction* fn = FindById(packages, id);
    return fn ? fn->name : std::string();
}

}  // namespace tb
