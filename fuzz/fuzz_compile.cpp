// libFuzzer target over the script compiler: tokenizer, parser and the final pass (locals,
// fixed specifiers, constant folding) and the program built from the tree. The first byte
// chooses a program (even) or an expression (odd); the rest is the code text.
#include <cstdint>
#include <string>

#include "script/code.h"
#include "script/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // One engine for the whole run: building the registry for every input would drown the
    // compiler in set-up.
    static tb::ScriptEngine* engine = new tb::ScriptEngine();
    tb::CCode code(std::string(reinterpret_cast<const char*>(data) + 1, size - 1),
                   (data[0] & 1) != 0);
    code.Compile(*engine);
    return 0;
}
