#include "platform/native_calls.h"

#include <dlfcn.h>
#include <elf.h>
#include <ffi.h>
#include <link.h>
#include <setjmp.h>
#include <signal.h>

#include <array>
#include <cstring>

namespace tb {

namespace {

constexpr std::array<int, 5> kFatalSignals = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// Where the handler jumps: the innermost guarded call of this thread. A signal handler can
// reach nothing else.
thread_local sigjmp_buf* t_guarded_call = nullptr;

void OnFatalSignal(int) {
    siglongjmp(*t_guarded_call, 1);
}

bool IsFunctionSymbol(void* address) {
    Dl_info info;
    void* entry = nullptr;
    if (!dladdr1(address, &info, &entry, RTLD_DL_SYMENT) || !entry) return false;
    const auto* symbol = static_cast<const ElfW(Sym)*>(entry);
    const int type = ELF64_ST_TYPE(symbol->st_info);
    return type == STT_FUNC || type == STT_GNU_IFUNC;
}

}  // namespace

std::unique_ptr<NativeLibrary> NativeLibrary::Open(const std::string& path_or_name) {
    void* handle = dlopen(path_or_name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    return std::unique_ptr<NativeLibrary>(new NativeLibrary(handle));
}

NativeLibrary::~NativeLibrary() {
    if (!abandoned_) dlclose(handle_);
}

void* NativeLibrary::Function(const std::string& symbol) const {
    dlerror();
    void* address = dlsym(handle_, symbol.c_str());
    if (!address || dlerror()) return nullptr;
    return IsFunctionSymbol(address) ? address : nullptr;
}

NativeCallGuard::NativeCallGuard()
    : size_(std::max<size_t>(size_t(SIGSTKSZ), 64 * 1024)), stack_(new char[size_]) {}

NativeCallGuard::~NativeCallGuard() = default;

struct NativeFunction::Impl {
    void (*entry)() = nullptr;
    int argc = 0;
    std::array<bool, kMaxArguments> strings{};
    bool string_result = false;
    std::array<ffi_type*, kMaxArguments> types{};
    ffi_cif cif{};
    bool prepared = false;
};

NativeFunction::NativeFunction(void* entry, int argc, const bool* string_arguments,
                               bool string_result)
    : impl_(std::make_unique<Impl>()) {
    Impl& f = *impl_;
    if (argc < 0 || argc > kMaxArguments) return;
    f.entry = reinterpret_cast<void (*)()>(entry);
    f.argc = argc;
    f.string_result = string_result;
    for (int i = 0; i < argc; ++i) {
        f.strings[size_t(i)] = string_arguments[i];
        f.types[size_t(i)] = string_arguments[i] ? &ffi_type_pointer : &ffi_type_double;
    }
    ffi_type* result = string_result ? &ffi_type_pointer : &ffi_type_double;
    f.prepared =
        ffi_prep_cif(&f.cif, FFI_DEFAULT_ABI, unsigned(argc), result, f.types.data()) == FFI_OK;
}

NativeFunction::~NativeFunction() = default;

bool NativeFunction::Prepared() const {
    return impl_->prepared;
}

namespace {

// One call in flight: the prepared function, its argument addresses and what it gave back.
struct CallState {
    ffi_cif* cif;
    void (*entry)();
    void** values;
    bool string_result;
    union {
        double real;
        const char* text;
        ffi_arg raw;
    } result{};
    size_t length = 0;  // of a string result
};

// The call under the guard; false when a fatal signal ended it. The handlers and the signal
// stack are ours for the call only: whatever the process had before (a sanitizer's handlers,
// say) is put back afterwards.
bool RunGuarded(NativeCallGuard& guard, CallState& call) {
    stack_t signal_stack{}, previous_stack{};
    signal_stack.ss_sp = guard.stack();
    signal_stack.ss_size = guard.stack_size();
    sigaltstack(&signal_stack, &previous_stack);
    struct sigaction action {};
    action.sa_handler = OnFatalSignal;
    action.sa_flags = SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    std::array<struct sigaction, kFatalSignals.size()> previous{};
    for (size_t i = 0; i < kFatalSignals.size(); ++i)
        sigaction(kFatalSignals[i], &action, &previous[i]);
    sigjmp_buf jump;
    sigjmp_buf* outer = t_guarded_call;
    t_guarded_call = &jump;
    volatile bool crashed = false;
    if (sigsetjmp(jump, 1) == 0) {
        ffi_call(call.cif, call.entry, &call.result, call.values);
        // A bad string pointer faults here, still under the guard.
        if (call.string_result && call.result.text) call.length = std::strlen(call.result.text);
    } else {
        crashed = true;
    }
    t_guarded_call = outer;
    for (size_t i = 0; i < kFatalSignals.size(); ++i)
        sigaction(kFatalSignals[i], &previous[i], nullptr);
    sigaltstack(&previous_stack, nullptr);
    return !crashed;
}

}  // namespace

bool NativeFunction::Call(NativeCallGuard& guard, const NativeArgument* args, double& real,
                          std::string& text) const {
    Impl& f = *impl_;
    real = 0;
    text.clear();
    if (!f.prepared) return true;
    std::array<void*, kMaxArguments> values{};
    for (int i = 0; i < f.argc; ++i) {
        const NativeArgument& a = args[i];
        values[size_t(i)] = f.strings[size_t(i)]
                                ? static_cast<void*>(const_cast<const char**>(&a.text))
                                : static_cast<void*>(const_cast<double*>(&a.real));
    }
    CallState call{&f.cif, f.entry, values.data(), f.string_result};
    if (!RunGuarded(guard, call)) return false;
    if (!f.string_result)
        real = call.result.real;
    else if (call.result.text)
        text.assign(call.result.text, call.length);
    return true;
}

}  // namespace tb
