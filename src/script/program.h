// The interpreter's executable form of a code tree: a flat array of nodes whose variable
// accesses, locals and calls are resolved once, so execution never looks anything up by name.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "script/value.h"

namespace tb {

struct RToken;
class ScriptEngine;

enum class XOp : uint8_t {
    // expressions
    kConst,
    kLocal,        // a `var` local, element key 0
    kUnprefixed,   // a user id without prefix: global when declared globalvar, else self
    kSelfBuiltin,  // a built-in variable of self
    kArgument,     // argument0 .. argument15 of self: read straight from the slot `slot`
    kSelf,         // a user variable of self
    kOther,
    kGlobal,
    kFixed,    // any other fixed specifier
    kIndexed,  // specifier and indices evaluated at run time
    kCallBuiltin,
    kCallScript,
    kCallExtension,
    kUnary,
    kBinary,
    // statements
    kBlock,
    kIf,
    kWhile,
    kDo,
    kFor,
    kRepeat,
    kExit,
    kBreak,
    kContinue,
    kWith,
    kReturn,
    kSwitch,
    kCase,
    kDefault,
    kVar,
    kGlobalVar,
    kAssign,
    kEmpty,  // a node that is neither a statement nor an expression
};

inline bool IsVariableOp(XOp op) {
    return op >= XOp::kLocal && op <= XOp::kIndexed;
}

struct XNode {
    XOp op = XOp::kEmpty;
    int32_t sub = 0;        // operator code; assignment operator
    int32_t id = 0;         // variable id, function id (scripts: the script index)
    int32_t slot = -1;      // local slot of the variable id, when it can be local
    int32_t specifier = 0;  // kFixed, and kIndexed with `fixed`: the specifier
    bool fixed = false;     // kIndexed: the specifier child is a real constant
    // Reals, locals, arguments, self and global reads, a local's element and operators on
    // them: evaluating it has no effect, so a fast attempt that gives up costs nothing.
    bool pure = false;
    bool nested = false;                     // a pure node whose parent is pure too
    int32_t pure_first = 0, pure_count = 0;  // the pure node's code in Program::pure
    int32_t position = 0;                    // source position for messages
    int32_t a = -1, b = -1, c = -1, d = -1;  // child nodes
    int32_t first = 0, count = 0;            // a range of Program::kids
    RValue value;                            // kConst
};

// One step of a pure subtree's code: postfix order on a stack of reals.
enum class PureCode : uint8_t {
    kConst,
    kLocal,
    kArgument,
    kSelf,
    kGlobal,
    kUnprefixed,
    kLocalElement,  // replaces the index on top by the local's element
    kNegate,
    kNot,
    kAdd,
    kSubtract,
    kMultiply,
    kLess,
    kGreater,
    kEqual,
    kBinary,  // any other binary operator `arg`
    kFail,    // a step that never gives a real (a text constant, a unary operator on integers)
};

struct PureOp {
    PureCode code = PureCode::kConst;
    bool right_k = false;  // binary operators: the right operand is `k`, not on the stack
    int32_t arg = 0;       // local or argument slot, variable id, operator
    double k = 0;          // kConst
};

constexpr int kPureStack = 16;  // deeper subtrees get no code and take the general path

// The register machine's instructions. Operands name a temporary register, a `var` local
// (read as it is, its definition checked when used), a constant or an argument slot.
enum class MOp : uint8_t {
    kMove,  // d <- a
    kAdd,   // d <- a op b, each with the exact fallback of the general operator rules
    kSub,
    kMul,
    kLess,
    kLessEqual,
    kEqual,
    kNotEqual,
    kGreaterEqual,
    kGreater,
    kBinary,       // any other operator x
    kNegate,       // d <- -a
    kNot,          // d <- !a
    kUnary,        // d <- op x a
    kCompound,     // local x op= a (x: the operator of the assignment)
    kGetVar,       // d <- a variable without indices (the node)
    kGetElement,   // d <- local x[a]
    kIndex,        // d <- a as the key of a local's element (checked before the value runs)
    kSetElement,   // local x[key in d] (op b)= a
    kSetVar,       // a variable without indices (op b)= a
    kCallBuiltin,  // d <- function x of b arguments in temporaries from a
    kCallScript,   // d <- script x of b arguments in temporaries from a
    kEval,         // d <- the node, by the tree walker
    kExec,         // the statement node by the tree walker (x: break target, b: continue)
    kJump,         // to x
    kJumpFalse,    // to x when a is not true
    kJumpLess,     // to x unless a < b (and so on): a fused comparison and branch
    kJumpLessEqual,
    kJumpEqual,
    kJumpNotEqual,
    kJumpGreaterEqual,
    kJumpGreater,
    kJumpCase,     // to x when temporary a matches the case label in temporary b
    kRepeatStart,  // temporary d <- the count a
    kRepeatNext,   // to x when the count in d is used up, else one less
    kEnd,          // the unit ends normally
};

// Operand and destination kinds.
enum MKind : uint8_t {
    kMTemp = 0,
    kMLocal = 1,  // operand: a local; destination: a local assigned (and the unit's result)
    kMConst = 2,
    kMArgument = 3,
    kMResult = 4,      // destination: the unit's result
    kMLocalQuiet = 5,  // destination: a local assigned without touching the result
};

// kGetVar (in x) and kSetVar (in kd): the list of a user variable without indices.
enum MList : uint8_t { kMSelfList = 1, kMGlobalList = 2, kMUnprefixedList = 3 };

struct MIns {
    MOp op = MOp::kEnd;
    uint8_t kd = kMTemp, ka = kMTemp, kb = kMTemp;
    int32_t d = 0, a = 0, b = 0, x = 0;
    int32_t y = 0;  // statements with a result: the temporary that takes it when kb is kMTemp
};

struct Program {
    std::vector<XNode> nodes;
    std::vector<int32_t> kids;  // node indices of blocks, calls, switches; ids of globalvar
    std::vector<PureOp> pure;   // the code of the outermost pure subtrees
    int32_t root = -1;
    int32_t local_count = 0;  // slots of the execution's `var` locals
    // The executable form: instructions, the code-tree node of each (its position and
    // operands for messages) and the temporaries a run needs. A constant operand is the index of
    // its node.
    std::vector<MIns> code;
    std::vector<int32_t> code_nodes;
    int32_t temps = 0;
    int32_t temps_written = 0;  // the first ones; the rest only pad the last call's arguments
};

// Built once from a finished tree (after the final pass); the engine names the built-in
// variables.
std::unique_ptr<Program> BuildProgram(const RToken& root, const ScriptEngine& engine,
                                      bool expression);
// Fills the program's instructions from its nodes (compiler.cpp); leaves them empty when the
// unit needs more temporaries than a frame holds (the walker runs it then).
void CompileMachine(Program& p, bool expression);

}  // namespace tb
