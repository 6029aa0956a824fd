// Host shared libraries and calls into their functions: the loader, the symbol lookup and a
// foreign call that survives a function that crashes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace tb {

class NativeLibrary {
  public:
    // A path (with a slash) is opened as it is; a bare name is searched on the system's
    // library path. Null when it does not load.
    static std::unique_ptr<NativeLibrary> Open(const std::string& path_or_name);
    ~NativeLibrary();
    NativeLibrary(const NativeLibrary&) = delete;
    NativeLibrary& operator=(const NativeLibrary&) = delete;

    // The address of the function exported under exactly this name; null when there is no
    // such symbol or it is not a function (a variable, say).
    void* Function(const std::string& symbol) const;
    // Leaves the library mapped for the rest of the process: code that crashed may have left
    // it in a state where its own unload code crashes too.
    void Abandon() { abandoned_ = true; }

  private:
    explicit NativeLibrary(void* handle) : handle_(handle) {}
    void* handle_;
    bool abandoned_ = false;
};

// Room for the signal handler of guarded calls, so that even a stack overflow in the callee
// can be caught. One per thread that makes calls.
class NativeCallGuard {
  public:
    NativeCallGuard();
    ~NativeCallGuard();
    NativeCallGuard(const NativeCallGuard&) = delete;
    NativeCallGuard& operator=(const NativeCallGuard&) = delete;
    void* stack() const { return stack_.get(); }
    size_t stack_size() const { return size_; }

  private:
    size_t size_;
    std::unique_ptr<char[]> stack_;
};

// One argument: a double or a pointer to a zero-terminated string, by the signature.
struct NativeArgument {
    double real = 0;
    const char* text = nullptr;
};

// A function of a fixed signature, prepared once: up to 16 arguments, each a double or a
// string pointer, returning a double or a string pointer, in the host's C convention.
class NativeFunction {
  public:
    static constexpr int kMaxArguments = 16;
    NativeFunction(void* entry, int argc, const bool* string_arguments, bool string_result);
    ~NativeFunction();
    NativeFunction(const NativeFunction&) = delete;
    NativeFunction& operator=(const NativeFunction&) = delete;

    bool Prepared() const;
    // Calls with argc arguments. A string result is copied up to its first zero byte (a
    // null pointer gives ""). False when the function (or reading its string) raised a
    // fatal signal: a memory fault, bus error, illegal instruction, arithmetic fault or abort.
    bool Call(NativeCallGuard& guard, const NativeArgument* args, double& real,
              std::string& text) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tb
