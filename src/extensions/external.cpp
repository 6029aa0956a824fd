#include "extensions/external.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "system/paths.h"

namespace tb {

namespace fs = std::filesystem;

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

bool EndsWithDll(std::string_view name) {
    return name.size() > 4 && SameName(name.substr(name.size() - 4), ".dll");
}

// A Windows library begins with the two bytes "MZ".
bool IsWindowsLibrary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[2] = {};
    return in.read(head, 2) && head[0] == 'M' && head[1] == 'Z';
}

}  // namespace

std::string FindLibrary(std::string_view dll, const LibrarySearch& search,
                        std::vector<std::string>* bare) {
    std::string name(dll);
    std::replace(name.begin(), name.end(), '\\', '/');
    const size_t slash = name.rfind('/');
    const std::string folder = slash == name.npos ? std::string() : name.substr(0, slash + 1);
    const std::string base = slash == name.npos ? name : name.substr(slash + 1);
    if (base.empty()) return {};

    std::vector<std::string> candidates;
    if (EndsWithDll(base)) {
        const std::string stem = base.substr(0, base.size() - 4);
        candidates = {stem + ".so", "lib" + stem + ".so"};
    } else {
        candidates = {base};
    }
    if (bare) *bare = candidates;

    const std::string cwd = search.working_directory.empty() ? "." : search.working_directory;
    std::vector<std::string> folders;
    if (!folder.empty()) folders.push_back(folder[0] == '/' ? folder : JoinPath(cwd, folder));
    if (!search.game_folder.empty()) folders.push_back(search.game_folder);
    folders.push_back(cwd);

    std::error_code ec;
    for (const std::string& f : folders) {
        for (const std::string& c : candidates) {
            std::string path = HostPath(JoinPath(f, c));
            if (!fs::is_regular_file(path, ec) || IsWindowsLibrary(path)) continue;
            fs::path absolute = fs::absolute(path, ec);
            return ec ? path : absolute.string();
        }
    }
    return {};
}

ExternalFunctions::ExternalFunctions() = default;

ExternalFunctions::~ExternalFunctions() {
    FreeAll();
}

std::shared_ptr<NativeLibrary> ExternalFunctions::Load(std::string_view dll) {
    for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
        if (!SameName(it->library, dll)) continue;
        if (it->handle) return it->handle;
        break;  // the last record of that name was freed: load again
    }
    std::vector<std::string> bare;
    std::string path = FindLibrary(dll, search, &bare);
    if (!path.empty()) return NativeLibrary::Open(path);
    if (!search.system_path) return nullptr;
    for (const std::string& name : bare) {
        // A bare name with a folder part would be opened relative to the working directory.
        if (name.find('/') != name.npos) continue;
        if (auto library = NativeLibrary::Open(name)) return library;
    }
    return nullptr;
}

int ExternalFunctions::Define(std::string_view dll, const std::string& symbol, int32_t convention,
                              bool string_result, int argc, const bool* string_arguments) {
    if (argc < 0 || argc > kMaxExternalArguments) return -1;
    if (argc > 4 &&
        std::any_of(string_arguments, string_arguments + argc, [](bool s) { return s; }))
        return -1;
    std::shared_ptr<NativeLibrary> library = Load(dll);
    if (!library) return -1;
    void* entry = library->Function(symbol);
    if (!entry) return -1;

    Record r;
    r.library = std::string(dll);
    r.handle = std::move(library);
    r.symbol = symbol;
    r.convention = convention == kDllStdcall ? kDllStdcall : kDllCdecl;
    r.argc = argc;
    std::copy(string_arguments, string_arguments + argc, r.strings.begin());
    r.string_result = string_result;
    // Both conventions are the host's C convention: there is only one on the host.
    r.function = std::make_unique<NativeFunction>(entry, argc, string_arguments, string_result);
    if (!r.function->Prepared()) return -1;
    records_.push_back(std::move(r));
    return int(records_.size()) - 1;
}

bool ExternalFunctions::Call(int id, int argc, const RValue* args, RValue& result) {
    result = RValue::Real(0);
    if (crashed_ || id < 0 || id >= Count()) return true;
    const Record& r = records_[size_t(id)];
    if (argc != r.argc || !r.handle) return true;

    // Zero-terminated copies that live until the call returns.
    std::array<std::string, 4> copies;
    std::array<NativeArgument, kMaxExternalArguments> values{};
    for (int i = 0; i < argc; ++i) {
        const RValue& v = args[i];
        if (r.strings[size_t(i)]) {
            std::string& copy = copies[size_t(i)];
            if (v.IsString()) copy.assign(v.text.view());
            values[size_t(i)].text = copy.c_str();
        } else {
            values[size_t(i)].real = v.IsString() ? 0 : v.real;
        }
    }
    double real = 0;
    if (!r.function->Call(guard_, values.data(), real, scratch_)) {
        crashed_ = true;
        for (Record& each : records_)
            if (each.handle) each.handle->Abandon();
        return false;
    }
    result = r.string_result ? RValue::String(RString(scratch_)) : RValue::Real(real);
    return true;
}

void ExternalFunctions::Free(std::string_view dll) {
    for (Record& r : records_)
        if (r.handle && SameName(r.library, dll)) r.handle.reset();
}

void ExternalFunctions::FreeAll() {
    for (Record& r : records_) r.handle.reset();
}

std::string ExternalFunctions::Name(int id) const {
    return id >= 0 && id < Count() ? records_[size_t(id)].symbol : std::string();
}

}  // namespace tb
