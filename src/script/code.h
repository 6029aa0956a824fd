// A compiled piece of script text: a program or an expression, with its code tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace tb {

class ScriptEngine;
struct Program;  // the interpreter's executable form, built from the tree once

// Node kinds of the code tree (statement and operator nodes reuse the token codes).
enum NodeKind : int32_t {
    kNodeEmptyProgram = -2,
    kNodeEmpty = -1,
    kNodeConstant = 5,
    kNodeCall = 6,
    kNodeVariable = 7,
    kNodeFixedVariable = 8,
    kNodeIf = 13,
    kNodeWhile = 16,
    kNodeDo = 17,
    kNodeFor = 18,
    kNodeRepeat = 20,
    kNodeExit = 21,
    kNodeBreak = 22,
    kNodeContinue = 23,
    kNodeWith = 24,
    kNodeReturn = 25,
    kNodeSwitch = 26,
    kNodeCase = 27,
    kNodeDefault = 28,
    kNodeVar = 29,
    kNodeGlobalVar = 30,
    kNodeAssign = 101,
    kNodeBlock = 1000,
    kNodeUnary = 1010,
    kNodeBinary = 1011,
};

// The specifier child of an unprefixed variable.
constexpr int32_t kSpecifierUnprefixed = -6;

struct RToken {
    int32_t kind = kNodeEmpty;
    int32_t index = 0;      // function id, variable id or operator code
    int32_t specifier = 0;  // kind 8: the fixed instance specifier
    RValue value;           // kind 5: the constant
    int32_t position = 0;   // source position for error messages
    std::vector<RToken> children;

    RToken() = default;
    RToken(RToken&&) noexcept = default;
    RToken& operator=(RToken&&) noexcept = default;
    RToken(const RToken&) = default;
    RToken& operator=(const RToken&) = default;
    ~RToken();
};

enum CodeKind : int32_t { kCodeProgram = 1, kCodeExpression = 2, kCodeConstant = 3 };

class CCode {
  public:
    CCode(std::string text, bool is_expression);
    ~CCode();
    CCode(const CCode&) = delete;
    CCode& operator=(const CCode&) = delete;

    // Tokenize, resolve, parse, final pass. False after the first error, which the engine
    // holds as its pending error (already composed with line and position).
    bool Compile(ScriptEngine& engine);
    const std::string& Text() const { return text_; }

    bool compiled = false;
    int32_t kind = kCodeProgram;
    RToken root;
    RValue constant;                   // kind 3
    std::unique_ptr<Program> program;  // made by the interpreter on first use or at compile

  private:
    std::string text_;
};

}  // namespace tb
