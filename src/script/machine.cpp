// The register machine: one loop over a unit's instructions. Reals take the short paths;
// anything else (texts, unset locals, division by zero, refused writes) goes through the
// same helpers and messages as the tree walker, which also runs the nodes left to it.
#include <bit>
#include <limits>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/interpreter.h"
#include "script/walker.h"
#include "world/instance.h"

namespace tb::walk {
namespace {

constexpr const char* kConditionMessages[] = {"Expression expected", "Boolean expression expected",
                                              "Repeat count must be a number"};

struct Machine {
    Ctx& c;
    RValue* R;
    RValue& result;
    const MIns* code;
    const int32_t* nodes;

    const XNode& NodeOf(const MIns* ip) const { return c.nodes[nodes[ip - code]]; }

    // The operand's storage; null for a local that is not defined.
    const RValue* Peek(uint8_t kind, int32_t i) const {
        if (kind == kMTemp) return &R[i];
        if (kind == kMLocal) return c.locals[i].defined ? &c.locals[i].value : nullptr;
        if (kind == kMConst) return &c.nodes[i].value;
        return &c.engine.arguments.Get(size_t(i));
    }
    bool Real(uint8_t kind, int32_t i, double& d) const {
        const RValue* v = Peek(kind, i);
        if (!v || v->IsString()) return false;
        d = v->real;
        return true;
    }
    // The operand, or the walker's answer for an unset local (`node` is the operand's node).
    bool Fetch(uint8_t kind, int32_t i, int32_t node, RValue& scratch, const RValue*& out) {
        out = Peek(kind, i);
        if (out) return true;
        out = &scratch;
        return UnknownVariable(c, c.nodes[node], 0, scratch);
    }

    RValue& Dest(uint8_t kind, int32_t d) { return kind == kMResult ? result : R[d]; }
    void PutReal(const MIns& in, double v) {
        if (TB_LIKELY(in.kd == kMTemp)) {
            StoreReal(R[in.d], v);
            return;
        }
        switch (in.kd) {
            case kMTemp:
                StoreReal(R[in.d], v);
                return;
            case kMResult:
                StoreReal(result, v);
                return;
            case kMLocal: {
                LocalSlot& s = c.locals[in.d];
                s.defined = true;
                StoreReal(s.value, v);
                StoreReal(result, v);
                return;
            }
            default: {
                LocalSlot& s = c.locals[in.d];
                s.defined = true;
                StoreReal(s.value, v);
                return;
            }
        }
    }
    void Put(const MIns& in, const RValue& v) {
        if (!v.IsString()) {
            PutReal(in, v.real);
            return;
        }
        switch (in.kd) {
            case kMTemp:
                R[in.d] = v;
                return;
            case kMResult:
                result = v;
                return;
            case kMLocal: {
                LocalSlot& s = c.locals[in.d];
                s.defined = true;
                s.value = v;
                result = v;
                return;
            }
            default: {
                LocalSlot& s = c.locals[in.d];
                s.defined = true;
                s.value = v;
                return;
            }
        }
    }

    TB_NOINLINE bool Move(const MIns* ip) {
        RValue scratch;
        const RValue* v;
        if (!Fetch(ip->ka, ip->a, nodes[ip - code], scratch, v)) return false;
        if (v == &R[ip->d] && ip->kd == kMTemp) return true;
        const RValue copy = *v;  // the source may be the destination's own storage
        Put(*ip, copy);
        return true;
    }

    // A binary operator by the general rules: the left operand copied out, then the right.
    TB_NOINLINE bool BinaryInto(const MIns* ip, int32_t op, RValue& l) {
        const XNode& n = NodeOf(ip);
        RValue scratch;
        const RValue* a;
        if (!Fetch(ip->ka, ip->a, n.a, scratch, a)) return false;
        l = *a;
        const RValue* b;
        if (!Fetch(ip->kb, ip->b, n.b, scratch, b)) return false;
        double d = 0;
        if (!l.IsString() && !b->IsString() && RealBinary(op, l.real, b->real, d)) {
            StoreReal(l, d);
            return true;
        }
        if (const char* msg = ApplyBinary(op, l, *b)) return Fail(c, c.nodes[n.b].position, msg);
        return true;
    }
    TB_NOINLINE bool Binary(const MIns* ip) {
        RValue l;
        if (!BinaryInto(ip, ip->x, l)) return false;
        Put(*ip, l);
        return true;
    }
    TB_NOINLINE bool Unary(const MIns* ip) {
        const XNode& n = NodeOf(ip);
        RValue v;
        const RValue* a;
        if (!Fetch(ip->ka, ip->a, n.a, v, a)) return false;
        if (a != &v) v = *a;
        if (!v.IsString()) {
            switch (ip->x) {
                case kOpMinus:
                    PutReal(*ip, -v.real);
                    return true;
                case kOpNot:
                    PutReal(*ip, v.real < 0.5 ? 1 : 0);
                    return true;
                case kOpPlus:
                    PutReal(*ip, v.real);
                    return true;
                default:
                    break;
            }
        }
        if (const char* msg = ApplyUnary(ip->x, v)) return Fail(c, c.nodes[n.a].position, msg);
        Put(*ip, v);
        return true;
    }

    // A condition's value; false after an error.
    bool ConditionOf(const RValue* v, const MIns* ip, double& out) {
        if (v->IsString()) return Fail(c, NodeOf(ip).position, kConditionMessages[ip->kd & 0x0f]);
        out = v->real;
        return true;
    }
    bool Test(const MIns* ip, double v) const { return (ip->kd & 0x10) ? v > 0.5 : v >= 0.5; }
    TB_NOINLINE int JumpFalseSlow(const MIns* ip) {  // 1 jump, 0 go on, -1 error
        RValue scratch;
        const RValue* v;
        double d = 0;
        if (!Fetch(ip->ka, ip->a, nodes[ip - code], scratch, v) || !ConditionOf(v, ip, d))
            return -1;
        return Test(ip, d) ? 0 : 1;
    }
    TB_NOINLINE int CompareSlow(const MIns* ip, int32_t op) {
        RValue l;
        double d = 0;
        if (!BinaryInto(ip, op, l) || !ConditionOf(&l, ip, d)) return -1;
        return Test(ip, d) ? 0 : 1;
    }

    // An index of a local's element as a key, with the walker's messages.
    bool Key(const MIns* ip, const XNode& index_node, int32_t index, int32_t& key) {
        RValue scratch;
        const RValue* v;
        if (!Fetch(ip->ka, ip->a, index, scratch, v)) return false;
        if (v->IsString()) return Fail(c, index_node.position, "Wrong type of array index");
        const double d = v->real;
        int64_t i = int64_t(d);
        if (double(i) != d) i = RoundToInt64(d);
        if (i < 0) return Fail(c, index_node.position, "Negative array index");
        if (i >= kArrayDimension) return Fail(c, index_node.position, "Array index >= 32000");
        key = int32_t(i);
        return true;
    }
    TB_NOINLINE bool GetElement(const MIns* ip) {
        const XNode& n = NodeOf(ip);
        int32_t key = 0;
        if (!Key(ip, c.nodes[n.b], n.b, key)) return false;
        RValue& out = Dest(ip->kd, ip->d);
        const LocalSlot& s = c.locals[ip->x];
        if (s.defined) {
            const RValue* v = nullptr;
            if (key == 0) {
                v = &s.value;
            } else if (!s.rows.empty() && size_t(key) < s.rows[0].size()) {
                v = &s.rows[0][size_t(key)];
            }
            if (v) {
                if (!v->IsString()) {
                    StoreReal(out, v->real);
                } else {
                    out = *v;
                }
                return true;
            }
            if (LocalRead(s, key, out)) return true;
        }
        return UnknownVariable(c, n, key, out);
    }

    RValue& StatementResult(const MIns* ip) { return ip->kb == kMResult ? result : R[ip->y]; }

    TB_NOINLINE bool Compound(const MIns* ip) {
        const XNode& n = NodeOf(ip);
        LocalSlot& s = c.locals[ip->x];
        RValue& res = StatementResult(ip);
        RValue scratch;
        const RValue* pv;
        if (!Fetch(ip->ka, ip->a, n.b, scratch, pv)) return false;
        const RValue value = *pv;
        const int32_t op = ip->b;
        if (s.defined && !s.value.IsString() && !value.IsString()) {
            double sum;
            if (RealBinary(op, s.value.real, value.real, sum)) {
                StoreReal(s.value, sum);
                StoreReal(res, sum);
                return true;
            }
        }
        if (op == kOpPlus && s.defined && s.value.IsString() && value.IsString()) {
            // appended in place while the local is the text's only owner
            res = RValue();
            s.value.text.Append(value.text);
            res = s.value;
            return true;
        }
        if (s.defined) {
            res = s.value;
        } else if (!UnknownVariable(c, c.nodes[n.a], 0, res)) {
            return false;
        }
        if (const char* msg = ApplyBinary(op, res, value))
            return Fail(c, c.nodes[n.b].position, msg);
        s.value = res;
        s.defined = true;
        return true;
    }

    TB_NOINLINE bool SetElement(const MIns* ip) {
        const XNode& n = NodeOf(ip);
        const XNode& target = c.nodes[n.a];
        LocalSlot& s = c.locals[ip->x];
        const int32_t key = int32_t(R[ip->d].real);
        RValue& res = StatementResult(ip);
        RValue scratch;
        const RValue* pv;
        if (!Fetch(ip->ka, ip->a, n.b, scratch, pv)) return false;
        RValue value = *pv;
        if (ip->b == 0) {
            res = std::move(value);
        } else {
            if (!LocalRead(s, key, res) && !UnknownVariable(c, target, key, res)) return false;
            if (res.IsString() || value.IsString() ||
                !RealBinary(ip->b, res.real, value.real, res.real)) {
                if (const char* msg = ApplyBinary(ip->b, res, value))
                    return Fail(c, c.nodes[n.b].position, msg);
            }
        }
        if (!LocalCanCreate(s, key)) return Fail(c, n.position, kOutOfMemory);
        LocalPlace(s, key) = res;
        return true;
    }

    CVariableList& List(uint8_t kind, int32_t id) const {
        ScriptEngine& e = c.engine;
        if (kind == kMGlobalList || (kind == kMUnprefixedList && e.globalvar.IsGlobal(id)))
            return e.globals;
        return c.self->variables;
    }
    // A real or text into a user variable of self or the globals, done the way SetVar does
    // it; false leaves the statement to SetVar (unset operands, texts in a compound).
    bool SetListVar(const MIns* ip) {
        const RValue* v = Peek(ip->ka, ip->a);
        if (!v) return false;
        CVariableList& list = List(ip->kd, ip->d);
        RValue& res = StatementResult(ip);
        if (ip->b == 0) {
            if (!v->IsString()) {
                StoreReal(res, v->real);
                StoreReal(list.Slot(ip->d, 0), v->real);
            } else {
                res = *v;
                list.Slot(ip->d, 0) = res;
            }
            return true;
        }
        // the variable exists, so its storage is found without creating anything
        RValue* old = const_cast<RValue*>(list.Find(ip->d, 0));
        double sum;
        if (!old || old->IsString() || v->IsString() || !RealBinary(ip->b, old->real, v->real, sum))
            return false;
        StoreReal(*old, sum);
        StoreReal(res, sum);
        return true;
    }

    TB_NOINLINE bool SetVar(const MIns* ip) {
        const XNode& n = NodeOf(ip);
        const XNode& target = c.nodes[ip->x];
        int64_t specifier;
        int32_t key = 0;
        if (!PlaceOf(c, target, specifier, key)) return false;
        RValue& res = StatementResult(ip);
        RValue scratch;
        const RValue* pv;
        if (!Fetch(ip->ka, ip->a, n.b, scratch, pv)) return false;
        RValue value = *pv;
        if (ip->b == 0) {
            res = std::move(value);
        } else {
            if (!SpecifierRead(c, target, specifier, key, res) &&
                !UnknownVariable(c, target, key, res))
                return false;
            if (res.IsString() || value.IsString() ||
                !RealBinary(ip->b, res.real, value.real, res.real)) {
                if (const char* msg = ApplyBinary(ip->b, res, value))
                    return Fail(c, c.nodes[n.b].position, msg);
            }
        }
        switch (SpecifierWrite(c, target, specifier, key, res)) {
            case kWriteRefused:
                return Fail(c, n.position, "Cannot assign to the variable");
            case kWriteTooLarge:
                return Fail(c, n.position, kOutOfMemory);
            default:
                return true;
        }
    }

    TB_NOINLINE bool CallBuiltin(const MIns* ip) {
        ScriptEngine& e = c.engine;
        RValue& out = Dest(ip->kd, ip->d);
        out.SetReal(0);
        if (ip->x < 0 || ip->x >= e.functions.Count()) return true;
        BuiltinFunction handler = e.functions.At(ip->x).handler;
        if (handler) handler(e, c.self, c.other, ip->b, out, R + ip->a);
        return true;
    }
    TB_NOINLINE bool CallScript(const MIns* ip) {
        ScriptEngine& e = c.engine;
        const XNode& n = NodeOf(ip);
        if (e.call_depth >= kMaxCallDepth) return Fail(c, n.position, kRecursionMessage);
        ValueStack::Frame frame(e.value_stack, kMaxArguments);
        RValue* args = frame.data();
        for (int32_t i = 0; i < ip->b; ++i) args[i] = std::move(R[ip->a + i]);
        return CallScriptLean(c, n, Dest(ip->kd, ip->d), frame);
    }

    bool Run();
};

bool Machine::Run() {
    const MIns* ip = code;
    for (;;) {
        const MIns& in = *ip;
        switch (in.op) {
            case MOp::kMove: {
                if (in.ka == kMConst && in.kd == kMTemp) {
                    const RValue& v = c.nodes[in.a].value;
                    if (!v.IsString()) {
                        StoreReal(R[in.d], v.real);
                        break;
                    }
                }
                double d = 0;
                if (Real(in.ka, in.a, d)) {
                    PutReal(in, d);
                    break;
                }
                if (!Move(ip)) return false;
                break;
            }
#define TB_ARITH(name, expr)                                \
    case MOp::name: {                                       \
        double l, r;                                        \
        if (Real(in.ka, in.a, l) && Real(in.kb, in.b, r)) { \
            PutReal(in, expr);                              \
            break;                                          \
        }                                                   \
        if (!Binary(ip)) return false;                      \
        break;                                              \
    }
                TB_ARITH(kAdd, l + r)
                TB_ARITH(kSub, l - r)
                TB_ARITH(kMul, l * r)
                TB_ARITH(kLess, (l - r) < 0 ? 1 : 0)
                TB_ARITH(kLessEqual, (l - r) <= 0 ? 1 : 0)
                TB_ARITH(kEqual, (l - r) == 0 ? 1 : 0)
                TB_ARITH(kNotEqual, (l - r) != 0 ? 1 : 0)
                TB_ARITH(kGreaterEqual, (l - r) >= 0 ? 1 : 0)
                TB_ARITH(kGreater, (l - r) > 0 ? 1 : 0)
#undef TB_ARITH
            case MOp::kBinary: {
                double l, r, d = 0;
                if (Real(in.ka, in.a, l) && Real(in.kb, in.b, r) && RealBinary(in.x, l, r, d)) {
                    PutReal(in, d);
                    break;
                }
                if (!Binary(ip)) return false;
                break;
            }
            case MOp::kNegate: {
                double a;
                if (Real(in.ka, in.a, a)) {
                    PutReal(in, -a);
                    break;
                }
                if (!Unary(ip)) return false;
                break;
            }
            case MOp::kNot: {
                double a;
                if (Real(in.ka, in.a, a)) {
                    PutReal(in, a < 0.5 ? 1 : 0);
                    break;
                }
                if (!Unary(ip)) return false;
                break;
            }
            case MOp::kUnary:
                if (!Unary(ip)) return false;
                break;
            case MOp::kCompound: {
                LocalSlot& s = c.locals[in.x];
                double v, sum;
                if (s.defined && !s.value.IsString() && Real(in.ka, in.a, v) &&
                    RealBinary(in.b, s.value.real, v, sum)) {
                    StoreReal(s.value, sum);
                    StoreReal(StatementResult(ip), sum);
                    break;
                }
                if (!Compound(ip)) return false;
                break;
            }
            case MOp::kGetVar:
                if (in.x != 0) {
                    if (const RValue* v = List(in.x, in.b).Find(in.b, 0)) {
                        RValue& out = Dest(in.kd, in.d);
                        if (!v->IsString()) {
                            StoreReal(out, v->real);
                        } else {
                            out = *v;
                        }
                        break;
                    }
                }
                if (!ReadVariable(c, NodeOf(ip), Dest(in.kd, in.d))) return false;
                break;
            case MOp::kGetElement: {
                // an element of the first row that exists, at a whole index
                const LocalSlot& s = c.locals[in.x];
                double i;
                if (s.defined && !s.rows.empty() && Real(in.ka, in.a, i) && i >= 1 &&
                    i < double(s.rows[0].size()) && double(size_t(i)) == i) {
                    const RValue& v = s.rows[0][size_t(i)];
                    RValue& out = Dest(in.kd, in.d);
                    if (!v.IsString()) {
                        StoreReal(out, v.real);
                    } else {
                        out = v;
                    }
                    break;
                }
                if (!GetElement(ip)) return false;
                break;
            }
            case MOp::kIndex: {
                double i;
                if (Real(in.ka, in.a, i) && i >= 0 && i < kArrayDimension &&
                    double(int32_t(i)) == i) {
                    StoreReal(R[in.d], i);
                    break;
                }
                const XNode& n = NodeOf(ip);
                int32_t key = 0;
                if (!Key(ip, c.nodes[n.b], n.b, key)) return false;
                StoreReal(R[in.d], double(key));
                break;
            }
            case MOp::kSetElement: {
                LocalSlot& s = c.locals[in.x];
                const int32_t key = int32_t(R[in.d].real);
                double v;
                if (in.b == 0 && s.defined && key > 0 && !s.rows.empty() &&
                    size_t(key) < s.rows[0].size() && Real(in.ka, in.a, v)) {
                    StoreReal(s.rows[0][size_t(key)], v);
                    StoreReal(StatementResult(ip), v);
                    break;
                }
                if (!SetElement(ip)) return false;
                break;
            }
            case MOp::kSetVar:
                if (in.kd != 0 && SetListVar(ip)) break;
                if (!SetVar(ip)) return false;
                break;
            case MOp::kCallBuiltin:
                if (!CallBuiltin(ip)) return false;
                break;
            case MOp::kCallScript:
                if (!CallScript(ip)) return false;
                break;
            case MOp::kEval:
                if (!Eval(c, nodes[ip - code], Dest(in.kd, in.d))) return false;
                break;
            case MOp::kExec: {
                const int r = Exec(c, nodes[ip - code], Dest(in.kd, in.d));
                if (r == kNormal) break;
                if (r == kError) return false;
                const int32_t target = r == kBreak ? in.x : r == kContinue ? in.b : -1;
                if (target < 0) return true;
                ip = code + target;
                continue;
            }
            case MOp::kJump:
                ip = code + in.x;
                continue;
            case MOp::kJumpFalse: {
                double v;
                if (Real(in.ka, in.a, v)) {
                    if (Test(ip, v)) break;
                    ip = code + in.x;
                    continue;
                }
                const int j = JumpFalseSlow(ip);
                if (j < 0) return false;
                if (j == 0) break;
                ip = code + in.x;
                continue;
            }
#define TB_COMPARE(name, test, op)                          \
    case MOp::name: {                                       \
        double l, r;                                        \
        if (Real(in.ka, in.a, l) && Real(in.kb, in.b, r)) { \
            if (test) break;                                \
            ip = code + in.x;                               \
            continue;                                       \
        }                                                   \
        const int j = CompareSlow(ip, op);                  \
        if (j < 0) return false;                            \
        if (j == 0) break;                                  \
        ip = code + in.x;                                   \
        continue;                                           \
    }
                TB_COMPARE(kJumpLess, (l - r) < 0, kOpLess)
                TB_COMPARE(kJumpLessEqual, (l - r) <= 0, kOpLessEqual)
                TB_COMPARE(kJumpEqual, (l - r) == 0, kOpEqual)
                TB_COMPARE(kJumpNotEqual, (l - r) != 0, kOpNotEqual)
                TB_COMPARE(kJumpGreaterEqual, (l - r) >= 0, kOpGreaterEqual)
                TB_COMPARE(kJumpGreater, (l - r) > 0, kOpGreater)
#undef TB_COMPARE
            case MOp::kJumpCase: {
                const RValue& v = R[in.a];
                const RValue& label = R[in.b];
                const bool match =
                    v.IsString() == label.IsString() &&
                    (v.IsString() ? v.text.view() == label.text.view() : v.real == label.real);
                if (!match) break;
                ip = code + in.x;
                continue;
            }
            case MOp::kRepeatStart: {
                RValue scratch;
                const RValue* v;
                double d = 0;
                if (!Fetch(in.ka, in.a, nodes[ip - code], scratch, v) || !ConditionOf(v, ip, d))
                    return false;
                StoreReal(R[in.d], std::bit_cast<double>(RoundToInt64(d)));
                break;
            }
            case MOp::kRepeatNext: {
                const int64_t left = std::bit_cast<int64_t>(R[in.d].real);
                if (left <= 0) {
                    ip = code + in.x;
                    continue;
                }
                R[in.d].real = std::bit_cast<double>(left - 1);
                break;
            }
            case MOp::kEnd:
                return true;
        }
        ++ip;
    }
}

}  // namespace

bool RunMachine(Ctx& c, RValue& result) {
    const Program& p = *c.code.program;
    ValueStack::Frame frame(c.engine.value_stack, size_t(p.temps));
    frame.Limit(size_t(p.temps_written));
    Machine m{c, frame.data(), result, p.code.data(), p.code_nodes.data()};
    return m.Run();
}

}  // namespace tb::walk
