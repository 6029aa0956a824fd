#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "extensions/package.h"
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

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

void WriteFunction(CStream& s, const char* name, const char* external, int32_t convention,
                   int32_t id, int32_t argc, int32_t arg_type, int32_t result) {
    WriteInteger(s, 700);
    WriteString(s, name);
    WriteString(s, external);
    WriteInteger(s, convention);
    WriteInteger(s, id);
    WriteInteger(s, argc);
    for (int i = 0; i < 17; ++i) WriteInteger(s, arg_type);
    WriteInteger(s, result);
}

void WriteFileHeader(CStream& s, const char* name, int32_t kind, const char* init,
                     const char* final_fn) {
    WriteInteger(s, 700);
    WriteString(s, name);
    WriteInteger(s, kind);
    WriteString(s, init);
    WriteString(s, final_fn);
}

const std::string kLibrary = std::string(
    "\x7f"
    "ELF\0\1",
    6);
const std::string kScript =
    "#define greet\r\nreturn \"hi\";\r\n#define twice\r\nreturn argument0 * 2;";

// One package of three files (library, kind 3, script) built from the primitives; the
// contents block is scrambled by hand from offset 5.
CStream HandBuiltList(int32_t seed) {
    CStream s;
    WriteInteger(s, 700);
    WriteInteger(s, 1);
    WriteInteger(s, 700);
    WriteString(s, "Tools");
    WriteString(s, "temp123");
    WriteInteger(s, 3);
    WriteFileHeader(s, "tools.so", 1, "tools_init", "");
    WriteInteger(s, 2);
    WriteFunction(s, "  add  ", "", 12, 4, 2, 1, 1);
    WriteFunction(s, "many", " many_impl ", 0, 7, 6, 1, 0);
    WriteInteger(s, 1);
    WriteInteger(s, 700);
    WriteString(s, "TOOLS_VERSION");
    WriteString(s, "3 + 1");
    WriteFileHeader(s, "readme.txt", 3, "", "");
    WriteInteger(s, 0);
    WriteInteger(s, 0);
    WriteFileHeader(s, "script.txt", 2, "", "fin");
    WriteInteger(s, 2);
    WriteFunction(s, "greet", "greet", 0, 0, 0, 2, 1);
    WriteFunction(s, "twice", "", 0, 1, 1, 2, 3);
    WriteInteger(s, 0);

    CStream plain;
    WriteInteger(plain, seed);
    WriteCompressed(plain, Bytes(kLibrary).data(), kLibrary.size());
    WriteCompressed(plain, Bytes(kScript).data(), kScript.size());
    DescrambleTables t = MakeDescrambleTable(seed);
    std::vector<uint8_t> block = plain.data;
    for (size_t k = 5; k < block.size(); ++k) block[k] = t.encode[block[k]];
    WriteInteger(s, int32_t(block.size()));
    s.WriteBytes(block.data(), block.size());
    s.pos = 0;
    return s;
}

TEST(ExtensionRecord, HandBuiltPackageReadsAndWritesItsFiles) {
    Folder temp;
    CStream s = HandBuiltList(12345);
    std::vector<CExtensionPackage> packages;
    ASSERT_TRUE(LoadExtensionPackages(s, packages, temp.str()));
    EXPECT_EQ(s.Remaining(), 0u);
    ASSERT_EQ(packages.size(), 1u);
    const CExtensionPackage& p = packages[0];
    EXPECT_EQ(p.name, "Tools");
    EXPECT_EQ(p.folder_name, "temp123");
    ASSERT_EQ(p.files.size(), 3u);

    const CExtensionFile& lib = p.files[0];
    EXPECT_EQ(lib.file_name, "tools.so");
    EXPECT_EQ(lib.kind, 1);
    EXPECT_EQ(lib.init_function, "tools_init");
    EXPECT_EQ(lib.contents, Bytes(kLibrary));
    ASSERT_EQ(lib.functions.size(), 2u);
    const CExtensionFunction& add = lib.functions[0];
    EXPECT_EQ(add.name, "add");
    EXPECT_EQ(add.external_name, "add");  // empty: the trimmed name
    EXPECT_EQ(add.calling_convention, 12);
    EXPECT_EQ(add.id, 4);
    EXPECT_EQ(add.argument_count, 2);
    EXPECT_EQ(add.argument_types[0], 1);
    EXPECT_EQ(add.argument_types[16], 1);
    EXPECT_EQ(add.result_type, 1);
    const CExtensionFunction& many = lib.functions[1];
    EXPECT_EQ(many.external_name, "many_impl");
    for (int32_t t : many.argument_types) EXPECT_EQ(t, 2);  // six arguments: all real
    EXPECT_EQ(many.result_type, 2);
    ASSERT_EQ(lib.constants.size(), 1u);
    EXPECT_EQ(lib.constants[0].name, "TOOLS_VERSION");
    EXPECT_EQ(lib.constants[0].value, "3 + 1");

    // Kind 3 took no block: the script's block came right after the library's.
    EXPECT_TRUE(p.files[1].contents.empty());
    const CExtensionFile& script = p.files[2];
    EXPECT_EQ(script.final_function, "fin");
    EXPECT_EQ(script.contents, Bytes(kScript));
    EXPECT_EQ(script.functions[0].code, "return \"hi\";");
    EXPECT_EQ(script.functions[1].external_name, "twice");
    EXPECT_EQ(script.functions[1].code, "return argument0 * 2;");
    EXPECT_EQ(script.functions[1].result_type, 2);

    EXPECT_EQ(ReadAll(temp / "temp123/tools.so"), kLibrary);
    EXPECT_FALSE(fs::exists(temp / "temp123/readme.txt"));
    EXPECT_FALSE(fs::exists(temp / "temp123/script.txt"));

    // Written back and read again: the same packages.
    CStream out;
    WriteExtensionPackages(out, packages);
    out.pos = 0;
    std::vector<CExtensionPackage> back;
    ASSERT_TRUE(LoadExtensionPackages(out, back, ""));
    EXPECT_EQ(back, packages);
}

TEST(ExtensionRecord, WriterLeavesTheFifthBlockByteUnscrambled) {
    CExtensionPackage p;
    p.name = "P";
    CExtensionFile f;
    f.file_name = "data.bin";
    f.contents = Bytes("payload");
    p.files.push_back(f);
    CStream s;
    p.WriteToStream(s);
    // 700, name, folder name, count, the file record, then the block's length.
    s.pos = 0;
    ReadInteger(s);
    ReadString(s);
    ReadString(s);
    ReadInteger(s);
    CExtensionFile rec;
    ASSERT_TRUE(rec.LoadFromStream(s));
    CStream block = ReadStored(s);
    ASSERT_GT(block.Size(), 9u);
    int32_t seed = ReadInteger(block);
    CStream first_block;
    WriteCompressed(first_block, f.contents.data(), f.contents.size());
    // Offset 4 is the low byte of the first block's length, as it is.
    EXPECT_EQ(block.data[4], first_block.data[0]);
    DescrambleTables t = MakeDescrambleTable(seed);
    for (size_t k = 5; k < block.Size(); ++k) block.data[k] = t.decode[block.data[k]];
    EXPECT_EQ(ReadCompressed(block).data, f.contents);
    EXPECT_EQ(block.Remaining(), 0u);
}

TEST(ExtensionRecord, WrongVersionsFailAndTruncationThrows) {
    CStream good = HandBuiltList(99);
    // Offsets of the leading 700 of: the list, the package, the first file, its first
    // function, and its constant.
    size_t package = 8, file = package + 4 + 9 + 11 + 4;
    size_t function = file + 4 + 12 + 4 + 14 + 4 + 4;
    // Two functions: fixed fields, then the name lengths ("  add  ", "", "many", " many_impl ").
    size_t constant = function + 2 * (7 * 4 + 17 * 4) + 7 + 0 + 4 + 11 + 4;
    for (size_t at : {size_t(0), package, file, function, constant}) {
        CStream s = good;
        s.pos = at;
        ASSERT_EQ(ReadInteger(s), 700) << at;
        s.data[at] = 0xBD;  // 701
        s.pos = 0;
        std::vector<CExtensionPackage> packages;
        EXPECT_FALSE(LoadExtensionPackages(s, packages, "")) << at;
    }
    for (size_t cut : {size_t(3), size_t(40), good.Size() - 1}) {
        CStream t(std::vector<uint8_t>(good.data.begin(), good.data.begin() + long(cut)));
        std::vector<CExtensionPackage> packages;
        EXPECT_THROW(LoadExtensionPackages(t, packages, ""), StreamError) << cut;
    }
    // A block holding only its seed cannot serve a file that needs contents.
    CStream s;
    WriteInteger(s, 700);
    WriteString(s, "P");
    WriteString(s, "f");
    WriteInteger(s, 1);
    WriteFileHeader(s, "x.dll", 1, "", "");
    WriteInteger(s, 0);
    WriteInteger(s, 0);
    WriteInteger(s, 4);
    WriteInteger(s, 1);
    s.pos = 0;
    CExtensionPackage p;
    EXPECT_THROW(p.LoadFromStream(s), StreamError);
}

TEST(ExtensionRecord, ResultTypesAndArgumentWidening) {
    struct Case {
        int32_t argc, stored_type, result, want_type, want_result;
    } cases[] = {
        {4, 1, 1, 1, 1}, {5, 1, 2, 2, 2}, {-1, 1, 0, 1, 2}, {0, 1, 3, 1, 2}, {2, 1, -7, 1, 2},
    };
    for (const Case& c : cases) {
        CStream s;
        WriteFunction(s, "f", "f", 0, 0, c.argc, c.stored_type, c.result);
        s.pos = 0;
        CExtensionFunction fn;
        ASSERT_TRUE(fn.LoadFromStream(s));
        EXPECT_EQ(fn.argument_types[3], c.want_type) << c.argc;
        EXPECT_EQ(fn.result_type, c.want_result) << c.result;
    }
}

TEST(ExtensionScript, SplittingRules) {
    struct Case {
        const char* name;
        std::string contents;
        std::vector<std::string> external_names;
        std::vector<std::string> codes;
    } cases[] = {
        {"sections",
         "#define a\r\nx = 1;\r\ny = 2;\r\n#define b\r\nz;\r\n",
         {"a", "b"},
         {"x = 1;\r\ny = 2;", "z;"}},
        {"same name twice: the later wins",
         "#define a\r\nfirst\r\n#define a\r\nsecond\r\n",
         {"a"},
         {"second"}},
        {"last line without a break", "#define a\r\nx\r\nlast", {"a"}, {"x\r\nlast"}},
        {"lines before the first define are dropped",
         "junk\r\n// more\r\n#define a\r\nx\r\n",
         {"a"},
         {"x"}},
        {"line feeds dropped, cut at carriage returns",
         "#define a\r\nx\ny\rz\n\r",
         {"a"},
         {"xy\r\nz"}},
        {"name trimmed, rest after 7 characters",
         "#define \t a \r\nbody\r\n#definec\r\nc\r\n",
         {"a", "c"},
         {"body", "c"}},
        {"empty lines kept inside a section",
         "#define a\r\n\r\nx\r\n\r\n#define b\r\n",
         {"a", "b"},
         {"\r\nx\r\n", ""}},
        {"names are case-sensitive; unmatched stays empty", "#define A\r\nx\r\n", {"a"}, {""}},
        {"one section, two functions", "#define s\r\nx\r\n", {"s", "s"}, {"x", "x"}},
        {"no define at all", "x = 1;\r\n", {"x"}, {""}},
        {"a define line elsewhere is not a header", " #define a\r\n", {"a"}, {""}},
    };
    for (const Case& c : cases) {
        CExtensionFile f;
        f.kind = CExtensionFile::kScript;
        f.contents = Bytes(c.contents);
        for (const std::string& n : c.external_names) {
            CExtensionFunction fn;
            fn.external_name = n;
            fn.code = "stale";
            f.functions.push_back(fn);
        }
        SplitScriptFile(f);
        for (size_t i = 0; i < c.codes.size(); ++i)
            EXPECT_EQ(f.functions[i].code, c.codes[i]) << c.name;
    }
    // Other kinds are not split; their code is cleared.
    CExtensionFile lib;
    lib.kind = CExtensionFile::kOther;
    lib.contents = Bytes("#define a\r\nx\r\n");
    lib.functions.resize(1);
    lib.functions[0].external_name = "a";
    lib.functions[0].code = "stale";
    SplitScriptFile(lib);
    EXPECT_EQ(lib.functions[0].code, "");
}

TEST(ExtensionFiles, UnsafeNamesAreRejected) {
    Folder temp;
    struct Case {
        std::string folder, file;
        bool ok;
    } cases[] = {
        {"ext", "lib.so", true},
        {"ext\\sub", "data\\x.dat", true},
        {"", "top.dat", true},
        {"..", "x.dat", false},
        {"ext\\..\\..\\escape", "x.dat", false},
        {"/abs", "x.dat", false},
        {"\\abs", "x.dat", false},
        {"C:\\windows", "x.dat", false},
        {"ext", "..\\x.dat", false},
        {"ext", "sub/../../x.dat", false},
        {"ext", "/etc/x.dat", false},
        {"ext", "", false},
        {"ext", "dir\\", false},
    };
    for (const Case& c : cases) {
        CExtensionPackage p;
        p.folder_name = c.folder;
        CExtensionFile f;
        f.kind = CExtensionFile::kOther;
        f.file_name = c.file;
        f.contents = Bytes("data");
        p.files.push_back(f);
        CStream s;
        WriteExtensionPackages(s, {p});
        s.pos = 0;
        std::vector<CExtensionPackage> packages;
        EXPECT_EQ(LoadExtensionPackages(s, packages, temp / "t"), c.ok)
            << c.folder << " | " << c.file;
    }
    EXPECT_EQ(ReadAll(temp / "t/ext/sub/data/x.dat"), "data");
    EXPECT_EQ(ReadAll(temp / "t/top.dat"), "data");
    EXPECT_FALSE(fs::exists(temp / "x.dat"));
    EXPECT_FALSE(fs::exists(temp / "escape"));
    EXPECT_FALSE(fs::exists("/abs"));

    // Names of files that are not written out are never used as paths.
    CExtensionPackage p;
    p.folder_name = "ok";
    CExtensionFile f;
    f.kind = CExtensionFile::kScript;
    f.file_name = "../../evil.txt";
    p.files.push_back(f);
    EXPECT_TRUE(WriteExtensionFiles(p, temp / "t"));
    EXPECT_FALSE(WriteExtensionFiles(p, ""));
}

TEST(ExtensionLookup, FunctionsById) {
    CStream s = HandBuiltList(7);
    std::vector<CExtensionPackage> packages;
    ASSERT_TRUE(LoadExtensionPackages(s, packages, ""));
    EXPECT_EQ(FindExtensionFunction(packages, "add"), 4);
    EXPECT_EQ(FindExtensionFunction(packages, "twice"), 1);
    EXPECT_EQ(FindExtensionFunction(packages, "Add"), -1);
    EXPECT_EQ(FindExtensionFunction(packages, "many_impl"), -1);  // scripts call the name
    EXPECT_EQ(ExtensionFunctionArgCount(packages, 7), 6);
    EXPECT_EQ(ExtensionFunctionName(packages, 7), "many");
    EXPECT_EQ(ExtensionFunctionArgCount(packages, 99), 0);
    EXPECT_EQ(ExtensionFunctionName(packages, -1), "");
}

TEST(ProjectFilesExtension, RoundTripAndMalformed) {
    Folder dir;
    CStream s = HandBuiltList(31);
    std::vector<CExtensionPackage> packages;
    ASSERT_TRUE(LoadExtensionPackages(s, packages, ""));
    const CExtensionPackage& p = packages[0];
    pack::SaveExtension(p, dir.path / "ext0");
    EXPECT_EQ(ReadAll(dir / "ext0_file0.bin"), kLibrary);
    EXPECT_FALSE(fs::exists(dir / "ext0_file1.bin"));
    EXPECT_EQ(ReadAll(dir / "ext0_file2.txt"), kScript);
    CExtensionPackage back;
    pack::LoadExtension(dir.path / "ext0", back);
    EXPECT_EQ(back, p);

    std::string json = ReadAll(dir / "ext0.json");
    struct Case {
        std::string from, to, needle;
    } cases[] = {
        {"\"kind\": 1", "\"kind\": \"1\"", "files[0].kind\" must be an integer"},
        {"\"id\": 4", "\"id\": 2147483648", "files[0].functions[0].id\" is out of range"},
        {"\"name\": \"Tools\"", "\"name\": null", "\"name\" must be a string"},
        {"\"constants\": []", "\"constants\": {}", "files[1].constants\" must be an array"},
        {"\"folder_name\"", "\"folder\"", "\"folder_name\" is missing"},
        {"\"name\": \"Tools\",", "", "\"name\" is missing"},
        {"{", "[", "bad JSON"},
    };
    for (const Case& c : cases) {
        std::string broken = json;
        size_t at = broken.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        broken.replace(at, c.from.size(), c.to);
        std::ofstream(dir / "bad.json", std::ios::trunc) << broken;
        fs::copy_file(dir / "ext0_file0.bin", dir / "bad_file0.bin",
                      fs::copy_options::overwrite_existing);
        fs::copy_file(dir / "ext0_file2.txt", dir / "bad_file2.txt",
                      fs::copy_options::overwrite_existing);
        try {
            pack::LoadExtension(dir.path / "bad", back);
            ADD_FAILURE() << c.to;
        } catch (const pack::ProjectError& e) {
            EXPECT_NE(std::string(e.what()).find(c.needle), std::string::npos) << e.what();
        }
    }
    // Seventeen argument types, no more, no less.
    std::string short_types = json;
    size_t at = short_types.find("\"argument_types\": [");
    short_types.replace(at, 20, "\"argument_types\": [1,");
    std::ofstream(dir / "bad.json", std::ios::trunc) << short_types;
    EXPECT_THROW(pack::LoadExtension(dir.path / "bad", back), pack::ProjectError);
    fs::remove(dir / "ext0_file2.txt");
    EXPECT_THROW(pack::LoadExtension(dir.path / "ext0", back), pack::ProjectError);
}

}  // namespace
}  // namespace tb
