#include "pack/project_files.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "pack/project_error.h"

namespace tb::pack {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

fs::path WithSuffix(const fs::path& base, const std::string& suffix) {
    fs::path p = base;
    p += suffix;
    return p;
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw ProjectError(file.string() + ": cannot write the file");
}

std::vector<uint8_t> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(file.string() + ": cannot read the file");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) throw ProjectError(file.string() + ": cannot read the file");
    return bytes;
}

void WriteJson(const fs::path& file, const Json& j) {
    std::string text = j.dump(2) + "\n";
    WriteBytes(file, std::vector<uint8_t>(text.begin(), text.end()));
}

Json ReadJson(const fs::path& file) {
    std::vector<uint8_t> bytes = ReadBytes(file);
    try {
        return Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::exception& e) {
        throw ProjectError(file.string() + ": bad JSON: " + e.what());
    }
}

// Typed access to the members of one JSON object, with errors naming the file and key.
class Reader {
  public:
    Reader(const Json& j, const fs::path& file, std::string where)
        : j_(j), file_(file), where_(std::move(where)) {
        if (!j_.is_object()) Fail("", "must be an object");
    }

    [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
        std::string at = where_.empty() ? key : key.empty() ? where_ : where_ + "." + key;
        throw ProjectError(file_.string() + ": " + (at.empty() ? "" : "\"" + at + "\" ") + what);
    }
    const Json& At(const std::string& key) const {
        auto it = j_.find(key);
        if (it == j_.end()) Fail(key, "is missing");
        return *it;
    }
    std::string String(const std::string& key) const {
        const Json& v = At(key);
        if (!v.is_string()) Fail(key, "must be a string");
        return v.get<std::string>();
    }
    bool Bool(const std::string& key) const {
        const Json& v = At(key);
        if (!v.is_boolean()) Fail(key, "must be true or false");
        return v.get<bool>();
    }
    int32_t Int(const std::string& key) const { return ToInt(At(key), key); }
    int32_t ToInt(const Json& v, const std::string& key) const {
        if (!v.is_number_integer()) Fail(key, "must be an integer");
        if (v.is_number_unsigned()) {
            if (v.get<uint64_t>() > uint64_t(std::numeric_limits<int32_t>::max()))
                Fail(key, "is out of range");
        } else {
            int64_t n = v.get<int64_t>();
            if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
                Fail(key, "is out of range");
        }
        return int32_t(v.get<int64_t>());
    }
    const Json& Array(const std::string& key) const {
        const Json& v = At(key);
        if (!v.is_array()) Fail(key, "must be an array");
        return v;
    }

  private:
    const Json& j_;
    const fs::path& file_;
    std::string where_;
};

std::string Indexed(const std::string& where, const char* key, size_t i) {
    return (where.empty() ? "" : where + ".") + key + "[" + std::to_string(i) + "]";
}

fs::path ContentsFile(const fs::path& base, size_t index, int32_t kind) {
    return WithSuffix(base, "_file" + std::to_string(index) +
                                (kind == CExtensionFile::kScript ? ".txt" : ".bin"));
}

}  // namespace

void SaveIncludedFile(const CDataFile& file, const fs::path& base) {
    Json j;
    j["FileName"] = file.FileName;
    j["SourcePath"] = file.SourcePath;
    j["DataLoaded"] = file.DataLoaded;
    j["Size"] = file.Size;
    j["DataStored"] = file.DataStored;
    j["ExportKind"] = file.ExportKind;
    j["Folder"] = file.Folder;
    j["Overwrite"] = file.Overwrite;
    j["FreeAfterExport"] = file.FreeAfterExport;
    j["RemoveAtEnd"] = file.RemoveAtEnd;
    WriteJson(WithSuffix(base, ".json"), j);
    if (file.DataLoaded) WriteBytes(WithSuffix(base, "_data.bin"), file.data);
}

void LoadIncludedFile(const fs::path& base, CDataFile& file) {
    fs::path json_file = WithSuffix(base, ".json");
    Json j = ReadJson(json_file);
    Reader r(j, json_file, "");
    CDataFile f;
    f.FileName = r.String("FileName");
    f.SourcePath = r.String("SourcePath");
    f.DataLoaded = r.Bool("DataLoaded");
    f.Size = r.Int("Size");
    f.DataStored = r.Bool("DataStored");
    f.ExportKind = r.Int("ExportKind");
    f.Folder = r.String("Folder");
    f.Overwrite = r.Bool("Overwrite");
    f.FreeAfterExport = r.Bool("FreeAfterExport");
    f.RemoveAtEnd = r.Bool("RemoveAtEnd");
    if (f.DataLoaded) f.data = ReadBytes(WithSuffix(base, "_data.bin"));
    file = std::move(f);
}

void SaveExtension(const CExtensionPackage& package, const fs::path& base) {
    Json j;
    j["name"] = package.name;
    j["folder_name"] = package.folder_name;
    Json files = Json::array();
    for (size_t i = 0; i < package.files.size(); ++i) {
        const CExtensionFile& f = package.files[i];
        Json jf;
        jf["file_name"] = f.file_name;
        jf["kind"] = f.kind;
        jf["init_function"] = f.init_function;
        jf["final_function"] = f.final_function;
        Json functions = Json::array();
        for (const CExtensionFunction& fn : f.functions) {
            Json jfn;
            jfn["name"] = fn.name;
            jfn["external_name"] = fn.external_name;
            jfn["calling_convention"] = fn.calling_convention;
            jfn["id"] = fn.id;
            jfn["argument_count"] = fn.argument_count;
            jfn["argument_types"] = fn.argument_types;
            jfn["result_type"] = fn.result_type;
            functions.push_back(std::move(jfn));
        }
        jf["functions"] = std::move(functions);
        Json constants = Json::array();
        for (const CExtensionConstant& c : f.constants)
            constants.push_back(Json{{"name", c.name}, {"value", c.value}});
        jf["constants"] = std::move(constants);
        files.push_back(std::move(jf));
    }
    j["files"] = std::move(files);
    WriteJson(WithSuffix(base, ".json"), j);
    for (size_t i = 0; i < package.files.size(); ++i) {
        const CExtensionFile& f = package.files[i];
        if (f.kind != CExtensionFile::kNoContents)
            WriteBytes(ContentsFile(base, i, f.kind), f.contents);
    }
}

void LoadExtension(const fs::path& base, CExtensionPackage& package) {
    fs::path json_file = WithSuffix(base, ".json");
    Json j = ReadJson(json_file);
    Reader r(j, json_file, "");
    CExtensionPackage p;
    p.name = r.String("name");
    p.folder_name = r.String("folder_name");
    const Json& files = r.Array("files");
    for (size_t i = 0; i < files.size(); ++i) {
        std::string where = Indexed("", "files", i);
        Reader rf(files[i], json_file, where);
        CExtensionFile f;
        f.file_name = rf.String("file_name");
        f.kind = rf.Int("kind");
        f.init_function = rf.String("init_function");
        f.final_function = rf.String("final_function");
        const Json& functions = rf.Array("functions");
        for (size_t k = 0; k < functions.size(); ++k) {
            Reader rfn(functions[k], json_file, Indexed(where, "functions", k));
            CExtensionFunction fn;
            fn.name = rfn.String("name");
            fn.external_name = rfn.String("external_name");
            fn.calling_convention = rfn.Int("calling_convention");
            fn.id = rfn.Int("id");
            fn.argument_count = rfn.Int("argument_count");
            const Json& types = rfn.Array("argument_types");
            if (types.size() != fn.argument_types.size())
                rfn.Fail("argument_types",
                         "must have " + std::to_string(fn.argument_types.size()) + " entries");
            for (size_t t = 0; t < types.size(); ++t)
                fn.argument_types[t] = rfn.ToInt(types[t], "argument_types");
            fn.result_type = rfn.Int("result_type");
            f.functions.push_back(std::move(fn));
        }
        const Json& constants = rf.Array("constants");
        for (size_t k = 0; k < constants.size(); ++k) {
            Reader rc(constants[k], json_file, Indexed(where, "constants", k));
            f.constants.push_back({rc.String("name"), rc.String("value")});
        }
        if (f.kind != CExtensionFile::kNoContents)
            f.contents = ReadBytes(ContentsFile(base, i, f.kind));
        SplitScriptFile(f);
        p.files.push_back(std::move(f));
    }
    package = std::move(p);
}

}  // namespace tb::pack
