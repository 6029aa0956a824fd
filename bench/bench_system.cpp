// The system services: registry writes (each one synced to disk) and reads, text-file numbers,
// binary bytes and INI reads.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "system/binary_file.h"
#include "system/ini_file.h"
#include "system/registry.h"
#include "system/text_file.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path path = fs::temp_directory_path() / ("tb_bench_system_" + std::to_string(getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

void BM_RegistryWriteReal(benchmark::State& state) {
    Folder f;
    Registry reg((f.path / "registry.db").string());
    int64_t i = 0;
    for (auto _ : state)
        reg.WriteReal("\\Software\\Plumwright\\1", "V" + std::to_string(i++ % 100), double(i));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegistryWriteReal)->Unit(benchmark::kMicrosecond);

void BM_RegistryReadString(benchmark::State& state) {
    Folder f;
    Registry reg((f.path / "registry.db").string());
    for (int i = 0; i < 100; ++i)
        reg.WriteString("\\Software\\Plumwright\\Scores\\1", "Rank" + std::to_string(i),
                        "ABCDEFGHIJKLMNOP");
    int64_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            reg.ReadString("software\\plumwright\\scores\\1", "rank" + std::to_string(i++ % 100)));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegistryReadString)->Unit(benchmark::kMicrosecond);

void BM_TextFileReadReal(benchmark::State& state) {
    Folder f;
    std::string file = (f.path / "numbers.txt").string();
    {
        TextFile out;
        out.OpenWrite(file, false);
        for (int i = 0; i < 100000; ++i) out.Write(TextFileRealText(i * 0.37) + "\r\n");
        out.Close();
    }
    for (auto _ : state) {
        TextFile in;
        in.OpenRead(file);
        double sum = 0, v;
        while (!in.Eof()) {
            in.ReadReal(v);
            in.ReadLine();
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_TextFileReadReal)->Unit(benchmark::kMillisecond);

void BM_BinaryReadByte(benchmark::State& state) {
    Folder f;
    std::string file = (f.path / "bytes.bin").string();
    {
        BinaryFile out;
        out.Open(file, 1);
        for (int i = 0; i < 1 << 20; ++i) out.WriteByte(uint8_t(i));
    }
    for (auto _ : state) {
        BinaryFile in;
        in.Open(file, 0);
        uint8_t b;
        int64_t sum = 0;
        while (in.ReadByte(b)) sum += b;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() << 20);
}
BENCHMARK(BM_BinaryReadByte)->Unit(benchmark::kMillisecond);

void BM_IniRead(benchmark::State& state) {
    Folder f;
    std::string file = (f.path / "game.ini").string();
    {
        IniFile ini(file);
        for (int s = 0; s < 10; ++s)
            for (int k = 0; k < 20; ++k)
                ini.Write("Section" + std::to_string(s), "Key" + std::to_string(k),
                          std::to_string(k));
    }
    IniFile ini(file);
    int64_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ini.Read("section" + std::to_string(i % 10), "key" + std::to_string(i % 20)));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IniRead)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tb

BENCHMARK_MAIN();
