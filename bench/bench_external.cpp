// The cost of one guarded foreign call against a plain call through a function pointer, for
// a two-real and a string-returning function of the test library.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <string>

#include "platform/native_calls.h"

namespace {

struct Library {
    std::unique_ptr<tb::NativeLibrary> library = tb::NativeLibrary::Open(TAMBERLO_TEST_NATIVE);
    void* Entry(const char* name) { return library ? library->Function(name) : nullptr; }
};

void GuardedRealCall(benchmark::State& state) {
    Library lib;
    const bool reals[2] = {false, false};
    tb::NativeFunction f(lib.Entry("f_rr_r"), 2, reals, false);
    tb::NativeCallGuard guard;
    tb::NativeArgument args[2];
    args[0].real = 1.5;
    args[1].real = 2;
    double real = 0;
    std::string text;
    for (auto _ : state) {
        f.Call(guard, args, real, text);
        benchmark::DoNotOptimize(real);
    }
}
BENCHMARK(GuardedRealCall);

void GuardedStringCall(benchmark::State& state) {
    Library lib;
    const bool strings[1] = {true};
    tb::NativeFunction f(lib.Entry("greet"), 1, strings, true);
    tb::NativeCallGuard guard;
    tb::NativeArgument args[1];
    args[0].text = "player";
    double real = 0;
    std::string text;
    for (auto _ : state) {
        f.Call(guard, args, real, text);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(GuardedStringCall);

void PlainPointerCall(benchmark::State& state) {
    Library lib;
    auto f = reinterpret_cast<double (*)(double, double)>(lib.Entry("f_rr_r"));
    double a = 1.5, b = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(f(a, b));
    }
}
BENCHMARK(PlainPointerCall);

}  // namespace

BENCHMARK_MAIN();
