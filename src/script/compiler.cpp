// From the resolved nodes to register instructions. Expressions evaluate into temporaries or
// straight into their destination; locals, constants and argument slots are read in place
// when nothing runs between the read and its use. Nodes without instructions of their own
// (with, switch, extension calls, two-index arrays ...) stay with the tree walker.
#include <algorithm>
#include <vector>

#include "script/operators.h"
#include "script/program.h"
#include "script/variables.h"

namespace tb {
namespace {

constexpr int kMaxDepth = 200;  // deeper expressions are left to the walker's own loop
constexpr int kMaxTemps = 900;  // a frame of the value stack holds 1024
constexpr int kCallSlack = 16;  // built-ins may look at all 16 argument places

struct Operand {
    uint8_t kind = kMTemp;
    int32_t index = 0;
};

// Where a statement leaves its value: the unit's result, or a scratch temporary (for
// headers).
struct Result {
    uint8_t kind = kMResult;
    int32_t temp = 0;
};

constexpr uint8_t kMessageExpression = 0, kMessageBoolean = 1, kMessageRepeat = 2;
constexpr uint8_t kStrict = 0x10;  // the if statement asks for more than 0.5

class Compiler {
  public:
    explicit Compiler(Program& p) : p_(p) {}

    bool Unit(bool expression) {
        if (expression) {
            Into(p_.root, kMResult, 0, 0);
        } else {
            Statement(p_.root, Result{});
        }
        Emit(MOp::kEnd, p_.root);
        p_.temps = max_;
        p_.temps_written = written_;
        return max_ <= kMaxTemps;
    }

  private:
    struct Loop {
        std::vector<std::pair<int32_t, bool>> breaks, continues;  // instruction, field b
    };

    const XNode& N(int32_t i) const { return p_.nodes[size_t(i)]; }

    MIns& Emit(MOp op, int32_t node) {
        p_.code.emplace_back();
        p_.code_nodes.push_back(node);
        p_.code.back().op = op;
        return p_.code.back();
    }
    int32_t Here() const { return int32_t(p_.code.size()); }
    int32_t Temp() {
        const int32_t t = top_++;
        max_ = std::max(max_, top_);
        written_ = std::max(written_, top_);
        return t;
    }

    static bool IsLeaf(const XNode& n) {
        return n.op == XOp::kConst || n.op == XOp::kLocal || n.op == XOp::kArgument;
    }
    static bool IsLocalElement(const XNode& n) {
        return n.op == XOp::kIndexed && n.fixed && n.specifier == -7 && n.b >= 0 && n.c < 0;
    }
    static bool IsPlainVariable(XOp op) {
        switch (op) {
            case XOp::kUnprefixed:
            case XOp::kSelfBuiltin:
            case XOp::kArgument:
            case XOp::kSelf:
            case XOp::kOther:
            case XOp::kGlobal:
            case XOp::kFixed:
                return true;
            default:
                return false;
        }
    }

    // A leaf read in place, anything else into a new temporary.
    Operand Value(int32_t node, int depth) {
        const XNode& n = N(node);
        switch (n.op) {
            case XOp::kConst:
                return {kMConst, node};
            case XOp::kLocal:
                return {kMLocal, n.slot};
            case XOp::kArgument:
                return {kMArgument, n.slot};
            default: {
                const int32_t t = Temp();
                Into(node, kMTemp, t, depth);
                return {kMTemp, t};
            }
        }
    }
    // A leaf copied into a temporary (its definition checked now).
    Operand Settle(Operand o, int32_t node) {
        if (o.kind == kMTemp) return o;
        const int32_t t = Temp();
        MIns& m = Emit(MOp::kMove, node);
        m.kd = kMTemp;
        m.d = t;
        m.ka = o.kind;
        m.a = o.index;
        return {kMTemp, t};
    }

    static MOp BinaryOp(int32_t sub) {
        switch (sub) {
            case kOpPlus:
                return MOp::kAdd;
            case kOpMinus:
                return MOp::kSub;
            case kOpTimes:
                return MOp::kMul;
            case kOpLess:
                return MOp::kLess;
            case kOpLessEqual:
                return MOp::kLessEqual;
            case kOpEqual:
            case kOpAssign:
                return MOp::kEqual;
            case kOpNotEqual:
                return MOp::kNotEqual;
            case kOpGreaterEqual:
                return MOp::kGreaterEqual;
            case kOpGreater:
                return MOp::kGreater;
            default:
                return MOp::kBinary;
        }
    }
    static MOp JumpOp(MOp compare) {
        switch (compare) {
            case MOp::kLess:
                return MOp::kJumpLess;
            case MOp::kLessEqual:
                return MOp::kJumpLessEqual;
            case MOp::kEqual:
                return MOp::kJumpEqual;
            case MOp::kNotEqual:
                return MOp::kJumpNotEqual;
            case MOp::kGreaterEqual:
                return MOp::kJumpGreaterEqual;
            case MOp::kGreater:
                return MOp::kJumpGreater;
            default:
                return MOp::kEnd;
        }
    }

    // The two operands of a binary node, left first; a left leaf is copied out first when
    // the right side runs code.
    std::pair<Operand, Operand> Operands(const XNode& n, int depth) {
        Operand l = Value(n.a, depth + 1);
        if (l.kind != kMTemp && !IsLeaf(N(n.b))) l = Settle(l, n.a);
        Operand r = Value(n.b, depth + 1);
        return {l, r};
    }

    // The node's value into destination (kd, d): a temporary, the result, or a local.
    void Into(int32_t node, uint8_t kd, int32_t d, int depth) {
        const XNode& n = N(node);
        const int32_t mark = top_;
        const bool to_local = kd == kMLocal || kd == kMLocalQuiet;
        if (depth > kMaxDepth) {
            Through(node, kd, d, MOp::kEval);
            return;
        }
        switch (n.op) {
            case XOp::kConst:
            case XOp::kLocal:
            case XOp::kArgument: {
                const Operand o = Value(node, depth);
                MIns& m = Emit(MOp::kMove, node);
                m.kd = kd;
                m.d = d;
                m.ka = o.kind;
                m.a = o.index;
                break;
            }
            case XOp::kUnprefixed:
            case XOp::kSelfBuiltin:
            case XOp::kSelf:
            case XOp::kOther:
            case XOp::kGlobal:
            case XOp::kFixed:
                Through(node, kd, d, MOp::kGetVar);
                break;
            case XOp::kIndexed: {
                if (!IsLocalElement(n)) {
                    Through(node, kd, d, MOp::kEval);
                    break;
                }
                if (to_local) {
                    ViaTemp(node, kd, d, depth);
                    break;
                }
                const Operand i = Value(n.b, depth + 1);
                MIns& m = Emit(MOp::kGetElement, node);
                m.kd = kd;
                m.d = d;
                m.ka = i.kind;
                m.a = i.index;
                m.x = n.slot;
                break;
            }
            case XOp::kUnary: {
                const Operand o = Value(n.a, depth + 1);
                MIns& m = Emit(n.sub == kOpMinus ? MOp::kNegate
                               : n.sub == kOpNot ? MOp::kNot
                                                 : MOp::kUnary,
                               node);
                m.kd = kd;
                m.d = d;
                m.ka = o.kind;
                m.a = o.index;
                m.x = n.sub;
                break;
            }
            case XOp::kBinary: {
                const auto [l, r] = Operands(n, depth);
                MIns& m = Emit(BinaryOp(n.sub), node);
                m.kd = kd;
                m.d = d;
                m.ka = l.kind;
                m.a = l.index;
                m.kb = r.kind;
                m.b = r.index;
                m.x = n.sub;
                break;
            }
            case XOp::kCallBuiltin:
            case XOp::kCallScript: {
                if (to_local) {
                    ViaTemp(node, kd, d, depth);
                    break;
                }
                const int32_t base = top_;
                for (int32_t i = 0; i < n.count; ++i) {
                    const int32_t t = Temp();
                    Into(p_.kids[size_t(n.first + i)], kMTemp, t, depth + 1);
                }
                max_ = std::max(max_, base + kCallSlack);
                MIns& m =
                    Emit(n.op == XOp::kCallBuiltin ? MOp::kCallBuiltin : MOp::kCallScript, node);
                m.kd = kd;
                m.d = d;
                m.a = base;
                m.b = n.count;
                m.x = n.id;
                break;
            }
            default:
                Through(node, kd, d, MOp::kEval);
                break;
        }
        top_ = mark;
    }
    // An instruction that writes only temporaries or the result; a local takes it through
    // a temporary.
    void Through(int32_t node, uint8_t kd, int32_t d, MOp op) {
        if (op == MOp::kGetVar) {
            // A user variable of self or the globals is looked up without the walker.
            MIns probe;
            probe.x = ListOf(N(node).op);
            probe.b = N(node).id;
            Finish(node, kd, d, op, probe);
            return;
        }
        Finish(node, kd, d, op, MIns{});
    }
    void Finish(int32_t node, uint8_t kd, int32_t d, MOp op, const MIns& extra) {
        if (kd == kMLocal || kd == kMLocalQuiet) {
            const int32_t t = Temp();
            MIns& first = Emit(op, node);
            first.d = t;
            first.x = extra.x;
            first.b = extra.b;
            MIns& m = Emit(MOp::kMove, node);
            m.kd = kd;
            m.d = d;
            m.a = t;
            --top_;
            return;
        }
        MIns& m = Emit(op, node);
        m.kd = kd;
        m.d = d;
        m.x = extra.x;
        m.b = extra.b;
    }
    // Which list holds a user variable without indices: kMSelfList, kMGlobalList,
    // kMUnprefixedList (globalvar decides at run time), or 0 for the rest.
    static uint8_t ListOf(XOp op) {
        switch (op) {
            case XOp::kSelf:
                return kMSelfList;
            case XOp::kGlobal:
                return kMGlobalList;
            case XOp::kUnprefixed:
                return kMUnprefixedList;
            default:
                return 0;
        }
    }
    void ViaTemp(int32_t node, uint8_t kd, int32_t d, int depth) {
        const int32_t t = Temp();
        Into(node, kMTemp, t, depth);
        MIns& m = Emit(MOp::kMove, node);
        m.kd = kd;
        m.d = d;
        m.a = t;
        --top_;
    }

    // A conditional jump taken when the condition fails; returns the instruction to patch.
    int32_t JumpUnless(int32_t node, uint8_t message) {
        const XNode& n = N(node);
        const int32_t mark = top_;
        MOp jump = n.op == XOp::kBinary ? JumpOp(BinaryOp(n.sub)) : MOp::kEnd;
        int32_t at;
        if (jump != MOp::kEnd) {
            const auto [l, r] = Operands(n, 0);
            at = Here();
            MIns& m = Emit(jump, node);
            m.ka = l.kind;
            m.a = l.index;
            m.kb = r.kind;
            m.b = r.index;
            m.kd = message;
        } else {
            const Operand o = Value(node, 0);
            at = Here();
            MIns& m = Emit(MOp::kJumpFalse, node);
            m.ka = o.kind;
            m.a = o.index;
            m.kd = message;
        }
        top_ = mark;
        return at;
    }
    void Patch(int32_t at, int32_t target) { p_.code[size_t(at)].x = target; }

    // Break and continue leave the innermost loop; outside every loop they end the unit.
    void Leave(bool is_break, int32_t node) {
        if (loops_.empty()) {
            Emit(MOp::kEnd, node);
            return;
        }
        (is_break ? loops_.back().breaks : loops_.back().continues).push_back({Here(), false});
        Emit(MOp::kJump, node);
    }
    void CloseLoop(int32_t continue_target, int32_t break_target) {
        Loop& l = loops_.back();
        for (auto [at, b] : l.continues)
            (b ? p_.code[size_t(at)].b : p_.code[size_t(at)].x) = continue_target;
        for (auto [at, b] : l.breaks) p_.code[size_t(at)].x = break_target;
        loops_.pop_back();
    }

    void SetResult(MIns& m, Result r) {
        m.kb = r.kind;
        m.y = r.temp;
    }

    void Statement(int32_t node, Result res) {
        const XNode& n = N(node);
        const int32_t mark = top_;
        switch (n.op) {
            case XOp::kBlock:
                for (int32_t i = 0; i < n.count; ++i) Statement(p_.kids[size_t(n.first + i)], res);
                break;
            case XOp::kAssign:
                Assign(node, res);
                break;
            case XOp::kCallBuiltin:
            case XOp::kCallScript:
                Into(node, res.kind, res.temp, 0);
                break;
            case XOp::kIf: {
                const int32_t skip = JumpUnless(n.a, kMessageExpression | kStrict);
                Statement(n.b, res);
                if (n.c >= 0) {
                    const int32_t over = Here();
                    Emit(MOp::kJump, node);
                    Patch(skip, Here());
                    Statement(n.c, res);
                    Patch(over, Here());
                } else {
                    Patch(skip, Here());
                }
                break;
            }
            case XOp::kWhile: {
                const int32_t top = Here();
                const int32_t out = JumpUnless(n.a, kMessageBoolean);
                loops_.emplace_back();
                Statement(n.b, res);
                Emit(MOp::kJump, node).x = top;
                Patch(out, Here());
                CloseLoop(top, Here());
                break;
            }
            case XOp::kDo: {
                const int32_t top = Here();
                loops_.emplace_back();
                Statement(n.a, res);
                const int32_t test = Here();
                Patch(JumpUnless(n.b, kMessageBoolean), top);
                CloseLoop(test, Here());
                break;
            }
            case XOp::kFor: {
                const Result scratch{kMTemp, Temp()};
                Statement(n.a, scratch);
                const int32_t top = Here();
                const int32_t out = JumpUnless(n.b, kMessageExpression);
                loops_.emplace_back();
                Statement(n.d, res);
                const int32_t step = Here();
                Statement(n.c, scratch);
                Emit(MOp::kJump, node).x = top;
                Patch(out, Here());
                CloseLoop(step, Here());
                break;
            }
            case XOp::kRepeat: {
                const int32_t count = Temp();
                const Operand o = Value(n.a, 0);
                MIns& start = Emit(MOp::kRepeatStart, n.a);
                start.d = count;
                start.kd = kMessageRepeat;
                start.ka = o.kind;
                start.a = o.index;
                const int32_t top = Here();
                Emit(MOp::kRepeatNext, node).d = count;
                loops_.emplace_back();
                Statement(n.b, res);
                Emit(MOp::kJump, node).x = top;
                Patch(top, Here());
                CloseLoop(top, Here());
                break;
            }
            case XOp::kExit:
                Emit(MOp::kEnd, node);
                break;
            case XOp::kReturn:
                Into(n.a, res.kind, res.temp, 0);
                Emit(MOp::kEnd, node);
                break;
            case XOp::kBreak:
                Leave(true, node);
                break;
            case XOp::kContinue:
                Leave(false, node);
                break;
            case XOp::kVar:
                break;
            case XOp::kSwitch:
                Switch(n, res);
                break;
            default: {  // with, globalvar and the statements that fail
                MIns& m = Emit(MOp::kExec, node);
                m.kd = res.kind;
                m.d = res.temp;
                m.x = m.b = -1;
                if (!loops_.empty()) {
                    loops_.back().breaks.push_back({Here() - 1, false});
                    loops_.back().continues.push_back({Here() - 1, true});
                }
                break;
            }
        }
        top_ = mark;
    }

    // The labels are tested in order up to the first that matches or the first default;
    // the statements run from there on, past further labels. Break leaves the switch,
    // continue goes to the enclosing loop (or ends the unit).
    void Switch(const XNode& n, Result res) {
        const int32_t* k = p_.kids.data() + n.first;
        const int32_t value = Temp();
        Into(k[0], kMTemp, value, 0);
        std::vector<std::pair<int32_t, int32_t>> entries;  // jump instruction, kid
        for (int32_t i = 1; i < n.count; ++i) {
            const XNode& s = N(k[i]);
            if (s.op == XOp::kDefault) {
                entries.push_back({Here(), i});
                Emit(MOp::kJump, k[i]);
                break;
            }
            if (s.op != XOp::kCase) continue;
            const int32_t mark = top_;
            const int32_t label = Temp();
            Into(s.a, kMTemp, label, 0);
            entries.push_back({Here(), i});
            MIns& m = Emit(MOp::kJumpCase, k[i]);
            m.a = value;
            m.b = label;
            top_ = mark;
        }
        const int32_t none = Here();
        Emit(MOp::kJump, k[0]);
        loops_.emplace_back();
        std::vector<int32_t> starts(size_t(n.count), -1);
        for (int32_t i = 1; i < n.count; ++i) {
            starts[size_t(i)] = Here();
            const XOp op = N(k[i]).op;
            if (op != XOp::kCase && op != XOp::kDefault) Statement(k[i], res);
        }
        for (auto [at, kid] : entries) Patch(at, starts[size_t(kid)]);
        Patch(none, Here());
        // Continues belong to the enclosing loop; with none they end the unit.
        Loop own = std::move(loops_.back());
        loops_.pop_back();
        for (auto [at, b] : own.breaks) p_.code[size_t(at)].x = Here();
        if (!loops_.empty()) {
            for (auto c : own.continues) loops_.back().continues.push_back(c);
        } else if (!own.continues.empty()) {
            const int32_t over = Here();
            Emit(MOp::kJump, k[0]);
            for (auto [at, b] : own.continues)
                (b ? p_.code[size_t(at)].b : p_.code[size_t(at)].x) = Here();
            Emit(MOp::kEnd, k[0]);
            Patch(over, Here());
            for (auto [at, b] : own.breaks) p_.code[size_t(at)].x = Here();
        }
    }

    void Assign(int32_t node, Result res) {
        const XNode& n = N(node);
        const XNode& target = N(n.a);
        const int32_t op = n.sub == kOpAssign ? 0 : CompoundOf(n.sub);
        if (target.op == XOp::kLocal) {
            if (op == 0) {
                Into(n.b, res.kind == kMResult ? kMLocal : kMLocalQuiet, target.slot, 0);
                return;
            }
            const Operand v = Value(n.b, 0);
            MIns& m = Emit(MOp::kCompound, node);
            m.ka = v.kind;
            m.a = v.index;
            m.b = op;
            m.x = target.slot;
            SetResult(m, res);
            return;
        }
        if (IsLocalElement(target)) {
            const Operand i = Value(target.b, 0);
            const int32_t key = Temp();
            MIns& k = Emit(MOp::kIndex, n.a);
            k.d = key;
            k.ka = i.kind;
            k.a = i.index;
            const Operand v = Value(n.b, 0);
            MIns& m = Emit(MOp::kSetElement, node);
            m.d = key;
            m.ka = v.kind;
            m.a = v.index;
            m.b = op;
            m.x = target.slot;
            SetResult(m, res);
            return;
        }
        if (IsPlainVariable(target.op)) {
            const Operand v = Value(n.b, 0);
            MIns& m = Emit(MOp::kSetVar, node);
            m.ka = v.kind;
            m.a = v.index;
            m.b = op;
            m.x = n.a;
            m.kd = ListOf(target.op);
            m.d = target.id;
            SetResult(m, res);
            return;
        }
        MIns& m = Emit(MOp::kExec, node);
        m.kd = res.kind;
        m.d = res.temp;
        m.x = m.b = -1;  // an assignment never breaks or continues
    }

    static int32_t CompoundOf(int32_t assign) {
        switch (assign) {
            case kOpAddAssign:
                return kOpPlus;
            case kOpSubAssign:
                return kOpMinus;
            case kOpMulAssign:
                return kOpTimes;
            case kOpDivAssign:
                return kOpDivide;
            case kOpOrAssign:
                return kOpBitOr;
            case kOpAndAssign:
                return kOpBitAnd;
            default:
                return kOpBitXor;
        }
    }

    Program& p_;
    int32_t top_ = 0, max_ = 0, written_ = 0;
    std::vector<Loop> loops_;
};

}  // namespace

void CompileMachine(Program& p, bool expression) {
    Compiler c(p);
    if (!c.Unit(expression)) {
        p.code.clear();
        p.code_nodes.clear();
        p.temps = p.temps_written = 0;
    }
}

}  // namespace tb
