#include "script/interpreter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "resources/room.h"
#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/operators.h"
#include "script/program.h"
#include "script/walker.h"
#include "world/instance.h"

namespace tb {
namespace walk {

TB_COLD bool Fail(Ctx& c, int32_t position, std::string_view text) {
    c.engine.ReportError(c.code, position, text);
    return false;
}
TB_COLD int FailStatement(Ctx& c, int32_t position, std::string_view text) {
    c.engine.ReportError(c.code, position, text);
    return kError;
}

// --- storage places

bool LocalRead(const LocalSlot& s, int32_t key, RValue& out) {
    if (!s.defined) return false;
    if (key == 0) {
        out = s.value;
        return true;
    }
    const size_t row = size_t(key / kArrayDimension), col = size_t(key % kArrayDimension);
    if (row >= s.rows.size() || col >= s.rows[row].size()) return false;
    out = s.rows[row][col];
    return true;
}

TB_NOINLINE RValue& GrowLocalPlace(LocalSlot& s, int32_t key) {
    const size_t row = size_t(key / kArrayDimension), col = size_t(key % kArrayDimension);
    if (s.rows.size() < row + 1) s.rows.resize(row + 1);
    std::vector<RValue>& r = s.rows[row];
    if (r.size() < col + 1) {
        s.elements += col + 1 - r.size();
        r.resize(col + 1);
    }
    return r[col];
}

bool LocalCanCreate(const LocalSlot& s, int32_t key) {
    if (key <= 0) return true;
    const size_t growth = ArrayGrowth(s.rows, key);
    return growth == 0 || s.elements + growth <= kMaxArrayElements;
}

bool ListRead(const CVariableList& list, int32_t id, int32_t key, RValue& out) {
    const RValue* v = list.Find(id, key);
    if (!v) return false;
    out = *v;
    return true;
}

bool InstanceRead(ScriptEngine& e, CInstance* inst, int32_t id, int32_t key, RValue& out) {
    if (id < kBuiltinVariableLimit) {
        const BuiltinVariable* b = e.builtin_variables.At(id);
        return b && b->get && b->get(e, inst, key, out);
    }
    return ListRead(inst->variables, id, key, out);
}

int InstanceWrite(ScriptEngine& e, CInstance* inst, int32_t id, int32_t key, const RValue& v) {
    if (id < kBuiltinVariableLimit) {
        const BuiltinVariable* b = e.builtin_variables.At(id);
        return b && b->set && b->set(e, inst, key, v) ? kWriteDone : kWriteRefused;
    }
    if (!inst->variables.CanCreate(id, key)) return kWriteTooLarge;
    inst->variables.Slot(id, key) = v;
    return kWriteDone;
}

CInstance* FirstLive(std::span<CInstance* const> list) {
    for (CInstance* inst : list)
        if (inst && !inst->destroyed) return inst;
    return nullptr;
}

CInstance* FirstLiveInRoom(const CRoom& room) {
    for (const auto& inst : room.instances)
        if (inst && !inst->destroyed) return inst.get();
    return nullptr;
}

CInstance* InstanceById(ScriptEngine& e, int64_t specifier) {
    if (specifier > std::numeric_limits<int32_t>::max()) return nullptr;
    return e.FindInstance(int32_t(specifier));
}

// Reads through any specifier; false when the read fails.
bool SpecifierRead(Ctx& c, const XNode& n, int64_t specifier, int32_t key, RValue& out) {
    ScriptEngine& e = c.engine;
    switch (specifier) {
        case -7:
            return n.slot >= 0 && LocalRead(c.locals[n.slot], key, out);
        case -6:
            if (e.globalvar.IsGlobal(n.id)) return ListRead(e.globals, n.id, key, out);
            return InstanceRead(e, c.self, n.id, key, out);
        case -5:
            return ListRead(e.globals, n.id, key, out);
        case -4:
            return false;
        case -3: {
            CInstance* inst = e.room ? FirstLiveInRoom(*e.room) : nullptr;
            return inst && InstanceRead(e, inst, n.id, key, out);
        }
        case -2:
            return InstanceRead(e, c.other, n.id, key, out);
        case -1:
            return InstanceRead(e, c.self, n.id, key, out);
        default:
            break;
    }
    if (specifier < -7) return false;
    CInstance* inst = nullptr;
    if (specifier >= kScriptIdBase) {
        inst = InstanceById(e, specifier);
    } else if (e.room) {
        inst = FirstLive(e.room->InstancesOfFamily(int32_t(specifier)));
    }
    return inst && InstanceRead(e, inst, n.id, key, out);
}

// Writes through any specifier; a WriteResult (the last one of several instances).
int SpecifierWrite(Ctx& c, const XNode& n, int64_t specifier, int32_t key, const RValue& v) {
    ScriptEngine& e = c.engine;
    switch (specifier) {
        case -7: {
            LocalSlot& s = c.locals[n.slot];
            if (!LocalCanCreate(s, key)) return kWriteTooLarge;
            LocalPlace(s, key) = v;
            return kWriteDone;
        }
        case -6:
            if (e.globalvar.IsGlobal(n.id)) {
                if (!e.globals.CanCreate(n.id, key)) return kWriteTooLarge;
                e.globals.Slot(n.id, key) = v;
                return kWriteDone;
            }
            return InstanceWrite(e, c.self, n.id, key, v);
        case -5:
            if (!e.globals.CanCreate(n.id, key)) return kWriteTooLarge;
            e.globals.Slot(n.id, key) = v;
            return kWriteDone;
        case -4:
            return kWriteRefused;
        case -2:
            return InstanceWrite(e, c.other, n.id, key, v);
        case -1:
            return InstanceWrite(e, c.self, n.id, key, v);
        case -3: {
            int result = kWriteDone;
            if (!e.room) return result;
            // Re-read every step: a setter may change the list.
            for (size_t i = 0; i < e.room->instances.size(); ++i) {
                CInstance* inst = e.room->instances[i].get();
                if (inst && !inst->destroyed) result = InstanceWrite(e, inst, n.id, key, v);
            }
            return result;
        }
        default:
            break;
    }
    if (specifier < -7) return kWriteRefused;
    if (specifier >= kScriptIdBase) {
        CInstance* inst = InstanceById(e, specifier);
        return inst ? InstanceWrite(e, inst, n.id, key, v) : kWriteDone;
    }
    int result = kWriteDone;
    if (!e.room) return result;
    for (size_t i = 0;; ++i) {
        std::span<CInstance* const> list = e.room->InstancesOfFamily(int32_t(specifier));
        if (i >= list.size()) break;
        CInstance* inst = list[i];
        if (inst && !inst->destroyed) result = InstanceWrite(e, inst, n.id, key, v);
    }
    return result;
}

bool Eval(Ctx& c, int32_t index, RValue& out);
int Exec(Ctx& c, int32_t index, RValue& result);

// What EvalNumber produced: a real in the double alone, or a value in the RValue.
enum Got : int { kGotError = 0, kGotReal = 1, kGotValue = 2 };
int EvalNumber(Ctx& c, int32_t index, double& d, RValue& out);

// A constant, set local or argument that holds a real, read without a call.
inline bool LeafReal(const Ctx& c, const XNode& n, double& d) {
    const RValue* v;
    switch (n.op) {
        case XOp::kConst:
            v = &n.value;
            break;
        case XOp::kLocal:
            if (!c.locals[n.slot].defined) return false;
            v = &c.locals[n.slot].value;
            break;
        case XOp::kArgument:
            v = &c.engine.arguments.Get(size_t(n.slot));
            break;
        default:
            return false;
    }
    if (v->IsString()) return false;
    d = v->real;
    return true;
}

bool RunPure(const Ctx& c, const XNode& n, double& d);

// EvalNumber with its leaves and pure subtrees done first.
inline int Number(Ctx& c, int32_t index, double& d, RValue& out) {
    const XNode& n = c.nodes[index];
    if (LeafReal(c, n, d)) return kGotReal;
    if (n.pure_count > 0 && RunPure(c, n, d)) return kGotReal;
    return EvalNumber(c, index, d, out);
}

TB_COLD bool UnknownVariable(Ctx& c, const XNode& n, int32_t key, RValue& out) {
    if (c.engine.settings.uninitialized_as_zero) {
        out.SetReal(0);
        return true;
    }
    std::string text = "Unknown variable " + c.engine.VariableNameOf(n.id);
    if (key != 0) text += " or array index out of bounds";
    return Fail(c, n.position, text);
}

bool EvalIndex(Ctx& c, int32_t index, int64_t& out) {
    RValue v;
    double d = 0;
    const int got = Number(c, index, d, v);
    if (got == kGotError) return false;
    const int32_t pos = c.nodes[index].position;
    if (got == kGotValue) {
        if (v.IsString()) return Fail(c, pos, "Wrong type of array index");
        d = v.real;
    }
    out = RoundToInt64(d);
    if (out < 0) return Fail(c, pos, "Negative array index");
    if (out >= kArrayDimension) return Fail(c, pos, "Array index >= 32000");
    return true;
}

// The specifier and element key of an evaluated (kind 7) variable.
bool IndexedPlace(Ctx& c, const XNode& n, int64_t& specifier, int32_t& key) {
    if (n.fixed) {
        specifier = n.specifier;
    } else {
        RValue s;
        if (!Eval(c, n.a, s)) return false;
        if (s.IsString()) return Fail(c, c.nodes[n.a].position, "Wrong type of variable index");
        specifier = RoundToInt64(s.real);
    }
    key = 0;
    if (n.b >= 0) {
        int64_t i = 0, j = 0;
        if (!EvalIndex(c, n.b, i)) return false;
        if (n.c >= 0 && !EvalIndex(c, n.c, j)) return false;
        key = n.c >= 0 ? int32_t(i * kArrayDimension + j) : int32_t(i);
    }
    return true;
}

// The place of any variable node: the fixed kinds need no evaluation.
bool PlaceOf(Ctx& c, const XNode& n, int64_t& specifier, int32_t& key) {
    key = 0;
    switch (n.op) {
        case XOp::kLocal:
            specifier = -7;
            return true;
        case XOp::kUnprefixed:
            specifier = -6;
            return true;
        case XOp::kSelfBuiltin:
        case XOp::kArgument:
        case XOp::kSelf:
            specifier = -1;
            return true;
        case XOp::kOther:
            specifier = -2;
            return true;
        case XOp::kGlobal:
            specifier = -5;
            return true;
        case XOp::kFixed:
            specifier = n.specifier;
            return true;
        default:
            return IndexedPlace(c, n, specifier, key);
    }
}

bool ReadVariable(Ctx& c, const XNode& n, RValue& out) {
    ScriptEngine& e = c.engine;
    bool found;
    int32_t key = 0;
    switch (n.op) {
        case XOp::kLocal:
            found = LocalRead(c.locals[n.slot], 0, out);
            break;
        case XOp::kUnprefixed: {
            const CVariableList& list = e.globalvar.IsGlobal(n.id) ? e.globals : c.self->variables;
            const RValue* v = list.Find(n.id, 0);
            found = v != nullptr;
            if (found) out = *v;
            break;
        }
        case XOp::kSelf:
            found = ListRead(c.self->variables, n.id, 0, out);
            break;
        case XOp::kSelfBuiltin:
            found = InstanceRead(e, c.self, n.id, 0, out);
            break;
        case XOp::kArgument:
            out = e.arguments.Get(size_t(n.slot));
            return true;
        case XOp::kOther:
            found = InstanceRead(e, c.other, n.id, 0, out);
            break;
        case XOp::kGlobal:
            found = ListRead(e.globals, n.id, 0, out);
            break;
        case XOp::kFixed:
            found = SpecifierRead(c, n, n.specifier, 0, out);
            break;
        default: {
            int64_t specifier;
            if (!IndexedPlace(c, n, specifier, key)) return false;
            found = SpecifierRead(c, n, specifier, key, out);
            break;
        }
    }
    if (TB_LIKELY(found)) return true;
    return UnknownVariable(c, n, key, out);
}

inline bool RealAt(const RValue* v, double& d) {
    if (!v || v->IsString()) return false;
    d = v->real;
    return true;
}

TB_NOINLINE bool PureVariable(const Ctx& c, const PureOp& op, double& d) {
    const ScriptEngine& e = c.engine;
    const CVariableList* list = &e.globals;
    if (op.code == PureCode::kSelf ||
        (op.code == PureCode::kUnprefixed && !e.globalvar.IsGlobal(op.arg)))
        list = &c.self->variables;
    return RealAt(list->Find(op.arg, 0), d);
}

inline bool PureElement(const LocalSlot& s, double index, double& d) {
    const int64_t i = RoundToInt64(index);
    if (!s.defined || i < 0 || i >= kArrayDimension) return false;
    if (i == 0) return RealAt(&s.value, d);
    if (s.rows.empty() || size_t(i) >= s.rows[0].size()) return false;
    return RealAt(&s.rows[0][size_t(i)], d);
}

// A binary operator's right operand: its constant, or popped off the stack.
inline double Right(const PureOp* op, const double* st, int& sp) {
    return op->right_k ? op->k : st[--sp];
}

// A pure subtree's code run on plain doubles. False when some step has no real result (a
// string, an unset variable, an index out of range, division by zero, a rarer operator);
// nothing is reported then and the general path evaluates the subtree again, errors
// included, which is safe because the subtree has no effects.
bool RunPure(const Ctx& c, const XNode& n, double& d) {
    double st[kPureStack];
    int sp = 0;
    const PureOp* op = c.pure + n.pure_first;
    const PureOp* const end = op + n.pure_count;
    for (; op != end; ++op) {
        switch (op->code) {
            case PureCode::kConst:
                st[sp++] = op->k;
                break;
            case PureCode::kLocal: {
                const LocalSlot& s = c.locals[op->arg];
                if (!s.defined || s.value.IsString()) return false;
                st[sp++] = s.value.real;
                break;
            }
            case PureCode::kArgument: {
                const RValue& v = c.engine.arguments.Get(size_t(op->arg));
                if (v.IsString()) return false;
                st[sp++] = v.real;
                break;
            }
            case PureCode::kSelf:
            case PureCode::kGlobal:
            case PureCode::kUnprefixed:
                if (!PureVariable(c, *op, st[sp])) return false;
                ++sp;
                break;
            case PureCode::kLocalElement:
                if (!PureElement(c.locals[op->arg], st[sp - 1], st[sp - 1])) return false;
                break;
            case PureCode::kNegate:
                st[sp - 1] = -st[sp - 1];
                break;
            case PureCode::kNot:
                st[sp - 1] = st[sp - 1] < 0.5 ? 1 : 0;
                break;
            case PureCode::kAdd: {
                const double r = Right(op, st, sp);
                st[sp - 1] = st[sp - 1] + r;
                break;
            }
            case PureCode::kSubtract: {
                const double r = Right(op, st, sp);
                st[sp - 1] = st[sp - 1] - r;
                break;
            }
            case PureCode::kMultiply: {
                const double r = Right(op, st, sp);
                st[sp - 1] = st[sp - 1] * r;
                break;
            }
            case PureCode::kLess: {
                const double r = Right(op, st, sp);
                st[sp - 1] = (st[sp - 1] - r) < 0 ? 1 : 0;
                break;
            }
            case PureCode::kGreater: {
                const double r = Right(op, st, sp);
                st[sp - 1] = (st[sp - 1] - r) > 0 ? 1 : 0;
                break;
            }
            case PureCode::kEqual: {
                const double r = Right(op, st, sp);
                st[sp - 1] = (st[sp - 1] - r) == 0 ? 1 : 0;
                break;
            }
            case PureCode::kBinary: {
                const double r = Right(op, st, sp);
                if (!RealBinary(op->arg, st[sp - 1], r, st[sp - 1])) return false;
                break;
            }
            case PureCode::kFail:
                return false;
        }
    }
    d = st[0];
    return true;
}

bool CallScriptSlots(ScriptEngine& engine, int index, CInstance* self, CInstance* other,
                     RValue& result, ValueStack::Frame& frame, int argc);
bool CallScriptLean(Ctx& c, const XNode& n, RValue& out, ValueStack::Frame& frame);

bool EvalCall(Ctx& c, const XNode& n, RValue& out) {
    ScriptEngine& e = c.engine;
    ValueStack::Frame frame(e.value_stack, kMaxArguments);
    RValue* args = frame.data();
    const int32_t* k = c.kids + n.first;
    for (int32_t i = 0; i < n.count; ++i) {
        // a real argument (a leaf or a pure subtree) goes straight into its slot
        const XNode& a = c.nodes[k[i]];
        double d;
        if (LeafReal(c, a, d) || (a.pure_count > 0 && RunPure(c, a, d))) {
            StoreReal(args[i], d);
            continue;
        }
        if (!Eval(c, k[i], args[i])) return false;
    }
    switch (n.op) {
        case XOp::kCallBuiltin: {
            out.SetReal(0);
            if (n.id < 0 || n.id >= e.functions.Count()) return true;
            BuiltinFunction handler = e.functions.At(n.id).handler;
            if (handler) handler(e, c.self, c.other, n.count, out, args);
            return true;
        }
        case XOp::kCallScript:
            if (e.call_depth >= kMaxCallDepth) return Fail(c, n.position, kRecursionMessage);
            return CallScriptLean(c, n, out, frame);
        default: {
            if (!e.host.call_extension) {
                out.SetReal(0);
                return true;
            }
            RValue r;
            if (!e.host.call_extension(n.id, c.self, c.other, n.count, args, r)) return false;
            out = std::move(r);
            return true;
        }
    }
}

bool Eval(Ctx& c, int32_t index, RValue& out) {
    const XNode& n = c.nodes[index];
    switch (n.op) {
        case XOp::kConst:
            if (!n.value.IsString()) {
                StoreReal(out, n.value.real);
            } else {
                out = n.value;
            }
            return true;
        case XOp::kLocal: {
            const LocalSlot& s = c.locals[n.slot];
            if (TB_LIKELY(s.defined)) {
                if (!s.value.IsString()) {
                    StoreReal(out, s.value.real);
                } else {
                    out = s.value;
                }
                return true;
            }
            return UnknownVariable(c, n, 0, out);
        }
        case XOp::kArgument: {
            const RValue& v = c.engine.arguments.Get(size_t(n.slot));
            if (!v.IsString()) {
                StoreReal(out, v.real);
            } else {
                out = v;
            }
            return true;
        }
        case XOp::kUnprefixed:
        case XOp::kSelfBuiltin:
        case XOp::kSelf:
        case XOp::kOther:
        case XOp::kGlobal:
        case XOp::kFixed:
        case XOp::kIndexed:
            return ReadVariable(c, n, out);
        case XOp::kCallBuiltin:
        case XOp::kCallScript:
        case XOp::kCallExtension:
            return EvalCall(c, n, out);
        case XOp::kUnary:
        case XOp::kBinary: {
            double d = 0;
            if (n.pure_count > 0 && RunPure(c, n, d)) {
                StoreReal(out, d);
                return true;
            }
            const int got = EvalNumber(c, index, d, out);
            if (got == kGotReal) StoreReal(out, d);
            return got != kGotError;
        }
        default:
            return Fail(c, n.position, "(Sub-)expression expected.");
    }
}

// One binary node whose left operand is evaluated already (`got_l` with `l` or `out`). The
// left operand is copied out before the right one runs, as if evaluated into the target
// first.
inline int BinaryLink(Ctx& c, const XNode& n, int got_l, double l, double& d, RValue& out) {
    double r = 0;
    RValue right;
    if (got_l == kGotValue && !out.IsString()) l = out.real;
    const bool l_real = got_l == kGotReal || !out.IsString();
    const int got_r = Number(c, n.b, r, right);
    if (got_r == kGotError) return kGotError;
    if (got_r == kGotValue && !right.IsString()) r = right.real;
    const bool r_real = got_r == kGotReal || !right.IsString();
    if (l_real && r_real && RealBinary(n.sub, l, r, d)) return kGotReal;
    if (got_l == kGotReal) StoreReal(out, l);
    if (got_r == kGotReal) StoreReal(right, r);
    if (const char* msg = ApplyBinary(n.sub, out, right)) {
        Fail(c, c.nodes[n.b].position, msg);
        return kGotError;
    }
    return kGotValue;
}

// A binary node in general. A chain leaning left (a + b + c ..., a thousand terms in
// generated code) is walked down its left side and evaluated upwards without recursion.
TB_NOINLINE int EvalBinary(Ctx& c, const XNode& top, double& d, RValue& out) {
    std::vector<int32_t>& chain = c.engine.chain_nodes;
    const size_t base = chain.size();
    const XNode* n = &top;
    for (;;) {
        const XNode& a = c.nodes[n->a];
        // A pure subtree has code of its own; it is the chain's first operand.
        if (a.op != XOp::kBinary || a.pure_count > 0) break;
        chain.push_back(n->a);
        n = &a;
    }
    double l = 0;
    int got = Number(c, n->a, l, out);
    for (;;) {
        if (got == kGotError) break;
        got = BinaryLink(c, *n, got, l, d, out);
        if (got == kGotError || chain.size() == base) break;
        if (got == kGotReal) l = d;
        chain.pop_back();
        n = chain.size() == base ? &top : &c.nodes[chain.back()];
    }
    chain.resize(base);
    return got;
}

// Reals flow through here as plain doubles: constants, locals, arguments and the operators
// on them never touch an RValue. Every other node is evaluated by Eval.
int EvalNumber(Ctx& c, int32_t index, double& d, RValue& out) {
    const XNode& n = c.nodes[index];
    switch (n.op) {
        case XOp::kConst:
            if (!n.value.IsString()) {
                d = n.value.real;
                return kGotReal;
            }
            out = n.value;
            return kGotValue;
        case XOp::kLocal: {
            const LocalSlot& s = c.locals[n.slot];
            if (!TB_LIKELY(s.defined)) return UnknownVariable(c, n, 0, out) ? kGotValue : kGotError;
            if (!s.value.IsString()) {
                d = s.value.real;
                return kGotReal;
            }
            out = s.value;
            return kGotValue;
        }
        case XOp::kArgument: {
            const RValue& v = c.engine.arguments.Get(size_t(n.slot));
            if (!v.IsString()) {
                d = v.real;
                return kGotReal;
            }
            out = v;
            return kGotValue;
        }
        case XOp::kUnary: {
            double x = 0;
            const int got = Number(c, n.a, x, out);
            if (got == kGotError) return kGotError;
            if (got == kGotValue && !out.IsString()) x = out.real;
            if (got == kGotReal || !out.IsString()) {
                switch (n.sub) {
                    case kOpMinus:
                        d = -x;
                        return kGotReal;
                    case kOpNot:
                        d = x < 0.5 ? 1 : 0;
                        return kGotReal;
                    case kOpPlus:
                        d = x;
                        return kGotReal;
                    default:
                        StoreReal(out, x);
                        break;
                }
            }
            if (const char* msg = ApplyUnary(n.sub, out)) {
                Fail(c, c.nodes[n.a].position, msg);
                return kGotError;
            }
            return kGotValue;
        }
        case XOp::kBinary: {
            // Two real leaves need no RValue at all.
            double l, r;
            if (LeafReal(c, c.nodes[n.a], l) && LeafReal(c, c.nodes[n.b], r) &&
                RealBinary(n.sub, l, r, d))
                return kGotReal;
            return EvalBinary(c, n, d, out);
        }
        default:
            return Eval(c, index, out) ? kGotValue : kGotError;
    }
}

int32_t CompoundOperator(int32_t assign) {
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

// A real into a local, before anything that needs an RValue; false leaves the whole
// assignment to ExecAssign (the value is pure, so evaluating it again is safe).
inline bool PureNumber(const Ctx& c, const XNode& n, double& d) {
    return LeafReal(c, n, d) || (n.pure_count > 0 && RunPure(c, n, d));
}

inline bool LocalRealAssign(Ctx& c, const XNode& n, RValue& result) {
    const XNode& target = c.nodes[n.a];
    int32_t key = 0;
    if (target.op != XOp::kLocal) {
        // a local's element with one index (a pure node: the index has no effects either)
        if (target.op != XOp::kIndexed || !target.pure) return false;
        double index;
        if (!PureNumber(c, c.nodes[target.b], index)) return false;
        const int64_t i = RoundToInt64(index);
        if (i < 0 || i >= kArrayDimension) return false;
        key = int32_t(i);
    }
    double d;
    if (!PureNumber(c, c.nodes[n.b], d)) return false;
    LocalSlot& s = c.locals[target.slot];
    if (n.sub != kOpAssign) {
        double old;
        if (!PureElement(s, key, old) || !RealBinary(CompoundOperator(n.sub), old, d, d))
            return false;
    }
    StoreReal(LocalPlace(s, key), d);
    StoreReal(result, d);
    return true;
}

TB_NOINLINE int ExecAssign(Ctx& c, const XNode& n, RValue& result) {
    const XNode& target = c.nodes[n.a];
    if (target.op == XOp::kLocal) {
        // The hot case: no specifier, no key, the place cannot be refused.
        LocalSlot& s = c.locals[target.slot];
        double d = 0;
        RValue value;
        const int got = Number(c, n.b, d, value);
        if (got == kGotError) return kError;
        if (n.sub == kOpAssign) {
            s.defined = true;
            if (got == kGotReal) {
                StoreReal(s.value, d);
                StoreReal(result, d);
            } else {
                s.value = value;
                result = std::move(value);
            }
            return kNormal;
        }
        if (got == kGotReal) StoreReal(value, d);
        if (s.defined && !s.value.IsString() && !value.IsString()) {
            double sum;
            if (RealBinary(CompoundOperator(n.sub), s.value.real, value.real, sum)) {
                StoreReal(s.value, sum);
                StoreReal(result, sum);
                return kNormal;
            }
        }
        if (n.sub == kOpAddAssign && s.defined && s.value.IsString() && value.IsString()) {
            // appended in place while the local is the text's only owner
            result = RValue();
            s.value.text.Append(value.text);
            result = s.value;
            return kNormal;
        }
        if (s.defined) {
            result = s.value;
        } else if (!UnknownVariable(c, target, 0, result)) {
            return kError;
        }
        if (const char* msg = ApplyBinary(CompoundOperator(n.sub), result, value))
            return FailStatement(c, c.nodes[n.b].position, msg);
        s.value = result;
        s.defined = true;
        return kNormal;
    }
    int64_t specifier;
    int32_t key;
    if (!PlaceOf(c, target, specifier, key)) return kError;
    RValue value;
    if (!Eval(c, n.b, value)) return kError;
    if (n.sub == kOpAssign) {
        result = std::move(value);
    } else {
        if (!SpecifierRead(c, target, specifier, key, result) &&
            !UnknownVariable(c, target, key, result))
            return kError;
        const int32_t op = CompoundOperator(n.sub);
        if (result.IsString() || value.IsString() ||
            !RealBinary(op, result.real, value.real, result.real)) {
            if (const char* msg = ApplyBinary(op, result, value))
                return FailStatement(c, c.nodes[n.b].position, msg);
        }
    }
    switch (SpecifierWrite(c, target, specifier, key, result)) {
        case kWriteRefused:
            return FailStatement(c, n.position, "Cannot assign to the variable");
        case kWriteTooLarge:
            return FailStatement(c, n.position, kOutOfMemory);
        default:
            break;
    }
    return kNormal;
}

// A condition as a real; false after an error (a string is `message`).
bool Condition(Ctx& c, int32_t index, const char* message, double& out) {
    RValue v;
    const int got = Number(c, index, out, v);
    if (got == kGotReal) return true;
    if (got == kGotError) return false;
    if (v.IsString()) return Fail(c, c.nodes[index].position, message);
    out = v.real;
    return true;
}

int WithOne(Ctx& c, CInstance* inst, int32_t body, RValue& result) {
    CInstance* self = c.self;
    CInstance* other = c.other;
    c.other = self;
    c.self = inst;
    int r = Exec(c, body, result);
    c.self = self;
    c.other = other;
    return r == kContinue ? kNormal : r;
}

// The body for each live instance of a list that may change under it; `at(i)` gives entry
// i or null past the current end.
template <class At>
int WithEach(Ctx& c, size_t n, At at, int32_t body, RValue& result) {
    for (size_t i = 0; i < n; ++i) {
        bool past_end = false;
        CInstance* inst = at(i, past_end);
        if (past_end) break;
        if (!inst || inst->destroyed) continue;
        CInstance* self = c.self;
        CInstance* other = c.other;
        c.other = self;
        c.self = inst;
        int r = Exec(c, body, result);
        c.self = self;
        c.other = other;
        if (r == kNormal || r == kContinue) continue;
        if (r == kBreak) return kNormal;
        return r;
    }
    return kNormal;
}

TB_NOINLINE int ExecWith(Ctx& c, const XNode& n, RValue& result) {
    RValue t;
    if (!Eval(c, n.a, t)) return kError;
    const int32_t pos = c.nodes[n.a].position;
    if (t.IsString()) return FailStatement(c, pos, "Object id expected");
    const int64_t target = RoundToInt64(t.real);
    ScriptEngine& e = c.engine;
    switch (target) {
        case -7:
            return FailStatement(c, pos, "Cannot use local in with statement.");
        case -5:
            return FailStatement(c, pos, "Cannot use global in with statement.");
        case -4:
            return kNormal;
        case -2:
            return WithOne(c, c.other, n.b, result);
        case -1:
        case -6:
            return WithOne(c, c.self, n.b, result);
        case -3: {
            if (!e.room) return kNormal;
            CRoom* room = e.room;
            return WithEach(
                c, room->instances.size(),
                [room](size_t i, bool& past_end) -> CInstance* {
                    past_end = i >= room->instances.size();
                    return past_end ? nullptr : room->instances[i].get();
                },
                n.b, result);
        }
        default:
            break;
    }
    if (target >= kScriptIdBase) {
        CInstance* inst = InstanceById(e, target);
        return inst ? WithOne(c, inst, n.b, result) : kNormal;
    }
    if (target < 0 || !e.room) return kNormal;
    CRoom* room = e.room;
    const int32_t object = int32_t(target);
    return WithEach(
        c, room->InstancesOfFamily(object).size(),
        [room, object](size_t i, bool& past_end) -> CInstance* {
            std::span<CInstance* const> list = room->InstancesOfFamily(object);
            past_end = i >= list.size();
            return past_end ? nullptr : list[i];
        },
        n.b, result);
}

bool CaseMatches(const RValue& value, const RValue& label) {
    if (value.IsString() != label.IsString()) return false;
    if (value.IsString()) return value.text.view() == label.text.view();
    return value.real == label.real;
}

TB_NOINLINE int ExecSwitch(Ctx& c, const XNode& n, RValue& result) {
    const int32_t* k = c.kids + n.first;
    RValue value;
    if (!Eval(c, k[0], value)) return kError;
    int32_t start = -1;
    for (int32_t i = 1; i < n.count && start < 0; ++i) {
        const XNode& s = c.nodes[k[i]];
        if (s.op == XOp::kDefault) {
            start = i;
        } else if (s.op == XOp::kCase) {
            RValue label;
            if (!Eval(c, s.a, label)) return kError;
            if (CaseMatches(value, label)) start = i;
        }
    }
    if (start < 0) return kNormal;
    for (int32_t i = start + 1; i < n.count; ++i) {
        const XOp op = c.nodes[k[i]].op;
        if (op == XOp::kCase || op == XOp::kDefault) continue;
        const int r = Exec(c, k[i], result);
        if (r == kNormal) continue;
        return r == kBreak ? kNormal : r;
    }
    return kNormal;
}

int ExecBlock(Ctx& c, const XNode& n, RValue& result) {
    const int32_t* k = c.kids + n.first;
    for (int32_t i = 0; i < n.count; ++i) {
        const int r = Exec(c, k[i], result);
        if (r != kNormal) return r;
    }
    return kNormal;
}

TB_NOINLINE int ExecWhile(Ctx& c, const XNode& n, RValue& result) {
    for (;;) {
        double v = 0;
        if (!Condition(c, n.a, "Boolean expression expected", v)) return kError;
        if (v < 0.5) return kNormal;
        const int r = Exec(c, n.b, result);
        if (r == kNormal || r == kContinue) continue;
        return r == kBreak ? kNormal : r;
    }
}

TB_NOINLINE int ExecDo(Ctx& c, const XNode& n, RValue& result) {
    for (;;) {
        const int r = Exec(c, n.a, result);
        if (r == kBreak) return kNormal;
        if (r != kNormal && r != kContinue) return r;
        double v = 0;
        if (!Condition(c, n.b, "Boolean expression expected", v)) return kError;
        if (v >= 0.5) return kNormal;
    }
}

TB_NOINLINE int ExecFor(Ctx& c, const XNode& n, RValue& result) {
    RValue scratch;  // the header's own result slot
    int r = Exec(c, n.a, scratch);
    if (r != kNormal) return r;
    for (;;) {
        double v = 0;
        if (!Condition(c, n.b, "Expression expected", v)) return kError;
        if (v < 0.5) return kNormal;
        r = Exec(c, n.d, result);
        if (r == kBreak) return kNormal;
        if (r != kNormal && r != kContinue) return r;
        r = Exec(c, n.c, scratch);
        if (r != kNormal) return r;
    }
}

TB_NOINLINE int ExecRepeat(Ctx& c, const XNode& n, RValue& result) {
    double v = 0;
    if (!Condition(c, n.a, "Repeat count must be a number", v)) return kError;
    const int64_t count = RoundToInt64(v);
    for (int64_t i = 0; i < count; ++i) {
        const int r = Exec(c, n.b, result);
        if (r == kNormal || r == kContinue) continue;
        return r == kBreak ? kNormal : r;
    }
    return kNormal;
}

TB_NOINLINE int ExecIf(Ctx& c, const XNode& n, RValue& result) {
    double v = 0;
    if (!Condition(c, n.a, "Expression expected", v)) return kError;
    if (v > 0.5) return Exec(c, n.b, result);
    return n.c >= 0 ? Exec(c, n.c, result) : kNormal;
}

TB_COLD int ExecGlobalVar(Ctx& c, const XNode& n) {
    ScriptEngine& e = c.engine;
    for (int32_t i = 0; i < n.count; ++i) {
        const int32_t id = c.kids[n.first + i];
        if (id < kFirstUserVariable) continue;
        e.globalvar.Declare(id);
        e.globals.Declare(id);
    }
    return kNormal;
}

int Exec(Ctx& c, int32_t index, RValue& result) {
    const XNode& n = c.nodes[index];
    switch (n.op) {
        case XOp::kAssign:
            if (LocalRealAssign(c, n, result)) return kNormal;
            return ExecAssign(c, n, result);
        case XOp::kCallBuiltin:
        case XOp::kCallScript:
        case XOp::kCallExtension:
            return EvalCall(c, n, result) ? kNormal : kError;
        case XOp::kBlock:
            return ExecBlock(c, n, result);
        case XOp::kIf:
            return ExecIf(c, n, result);
        case XOp::kWhile:
            return ExecWhile(c, n, result);
        case XOp::kDo:
            return ExecDo(c, n, result);
        case XOp::kFor:
            return ExecFor(c, n, result);
        case XOp::kRepeat:
            return ExecRepeat(c, n, result);
        case XOp::kExit:
            return kExit;
        case XOp::kBreak:
            return kBreak;
        case XOp::kContinue:
            return kContinue;
        case XOp::kReturn:
            return Eval(c, n.a, result) ? kExit : kError;
        case XOp::kWith:
            return ExecWith(c, n, result);
        case XOp::kSwitch:
            return ExecSwitch(c, n, result);
        case XOp::kCase:
            return FailStatement(c, n.position,
                                 "Case statement only allowed inside switch statement.");
        case XOp::kDefault:
            return FailStatement(c, n.position,
                                 "Default statement only allowed inside switch statement.");
        case XOp::kVar:
            return kNormal;
        case XOp::kGlobalVar:
            return ExecGlobalVar(c, n);
        default:
            return FailStatement(c, n.position, "Statement expected.");
    }
}

// Counts one nested execution for the recursion limit.
struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

constexpr int kInlineLocals = 4;

// The callee's argument slots are the call's own frame; the caller's are only pointed away
// from, and pointed back to whatever happens.
struct ArgumentScope {
    ArgumentSlots& slots;
    ValueStack::Frame& frame;
    RValue* caller;
    size_t caller_top;
    ArgumentScope(ArgumentSlots& s, ValueStack::Frame& f, int argc)
        : slots(s), frame(f), caller(s.values()), caller_top(s.top()) {
        s.Enter(f.data(), size_t(argc));
    }
    ~ArgumentScope() {
        frame.Limit(slots.top());
        slots.Enter(caller, caller_top);
    }
};

// `frame` holds 16 values, the first argc of them the arguments, the rest real 0; it
// becomes the callee's argument slots for the duration of the call.
bool CallScriptSlots(ScriptEngine& engine, int index, CInstance* self, CInstance* other,
                     RValue& result, ValueStack::Frame& frame, int argc) {
    const CCode* code = ScriptCode(engine, index);
    if (!code) return false;
    bool ok;
    {
        ArgumentScope scope(engine.arguments, frame, argc);
        ok = ExecuteOrMark(engine, self, other, *code, result);
    }
    if (!ok) {
        engine.errors.pending_message.insert(
            0, "In script " + engine.game->scripts.Name(index) + ":\r");
    }
    return ok;
}

bool RunUnit(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
             LocalSlot* locals, RValue& result);

// A script call from running code: the steps of CallScriptSlots and Execute for a compiled
// program without locals, minus the checks the running caller already guarantees (its self
// and other exist, the depth was checked at the call). Anything else takes the general path.
TB_NOINLINE bool CallScriptLean(Ctx& c, const XNode& n, RValue& out, ValueStack::Frame& frame) {
    ScriptEngine& e = c.engine;
    const CCode* code = ScriptCode(e, n.id);
    if (!code || !code->compiled || !code->program || code->kind != kCodeProgram ||
        code->program->local_count != 0 || !c.self || !c.other)
        return CallScriptSlots(e, n.id, c.self, c.other, out, frame, n.count);
    e.ClearPending();
    bool ok;
    {
        ArgumentScope scope(e.arguments, frame, n.count);
        DepthGuard guard(e.call_depth);
        ok = RunUnit(e, c.self, c.other, *code, nullptr, out);
    }
    if (ok) return true;
    out = RValue::String(RString("ERROR"));
    e.errors.pending_message.insert(0, "In script " + e.game->scripts.Name(n.id) + ":\r");
    return false;
}

bool RunUnit(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
             LocalSlot* locals, RValue& result) {
    const Program& p = *code.program;
    Ctx c{engine, self, other, code, p.nodes.data(), p.kids.data(), p.pure.data(), locals};
    if (code.kind != kCodeExpression) {
        const XNode& root = p.nodes[size_t(p.root)];
        if (root.op != XOp::kBlock) return Fail(c, root.position, "This is not a program.");
    }
    if (!p.code.empty()) return RunMachine(c, result);
    if (code.kind == kCodeExpression) return Eval(c, p.root, result);
    return ExecBlock(c, p.nodes[size_t(p.root)], result) != kError;
}

#if defined(__GNUC__)
__attribute__((noinline))
#endif
bool RunWithInlineLocals(ScriptEngine& engine, CInstance* self, CInstance* other,
                         const CCode& code, RValue& result) {
    std::array<LocalSlot, kInlineLocals> locals;
    return RunUnit(engine, self, other, code, locals.data(), result);
}

}  // namespace walk

using namespace walk;

bool Execute(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
             RValue& result) {
    engine.ClearPending();
    if (!code.compiled || !code.program) {
        engine.ReportError(code, 0, "Internal Error: Executing non-compiled code.");
        return false;
    }
    if (code.kind == kCodeConstant) {
        result = code.constant;
        return true;
    }
    if (!self || !other) {
        engine.ReportError(code, 0, "Internal Error: Executing code for nil instance.");
        return false;
    }
    if (engine.call_depth >= kMaxCallDepth) {
        engine.ReportError(code, 0, kRecursionMessage);
        return false;
    }
    DepthGuard guard(engine.call_depth);
    const Program& p = *code.program;

    // The locals live for this execution only; small frames stay on the stack, and units
    // without locals (most scripts) reserve none.
    try {
        if (p.local_count == 0) return RunUnit(engine, self, other, code, nullptr, result);
        if (p.local_count <= kInlineLocals)
            return RunWithInlineLocals(engine, self, other, code, result);
        std::vector<LocalSlot> locals(size_t(p.local_count));
        return RunUnit(engine, self, other, code, locals.data(), result);
    } catch (const std::bad_alloc&) {
        // Memory ran out below our own bounds (an address-space limit, a full machine): the
        // code fails as a bounded allocation does, and the runner goes on.
        engine.ClearPending();
        engine.ReportError(code, 0, kOutOfMemory);
        return false;
    }
}

bool ExecuteReporting(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
                      RValue& result) {
    if (Execute(engine, self, other, code, result)) return true;
    if (engine.errors.pending) {
        const std::string message = engine.errors.pending_message;
        engine.ClearPending();
        ShowRuntimeError(engine, message, false);
    }
    return false;
}

bool ExecuteOrMark(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
                   RValue& result) {
    if (Execute(engine, self, other, code, result)) return true;
    result = RValue::String(RString("ERROR"));
    return false;
}

bool InstanceGet(ScriptEngine& engine, CInstance* instance, int32_t id, int32_t key, RValue& out) {
    return instance && InstanceRead(engine, instance, id, key, out);
}

bool InstanceSet(ScriptEngine& engine, CInstance* instance, int32_t id, int32_t key,
                 const RValue& value) {
    return instance && InstanceWrite(engine, instance, id, key, value) == kWriteDone;
}

const CCode* ScriptCode(ScriptEngine& engine, int index) {
    CScript* script = engine.game ? engine.game->scripts.Get(index) : nullptr;
    if (!script) return nullptr;
    if (!script->code) {  // the prepare sequence compiles every script; code run earlier
        script->code = std::make_shared<CCode>(script->GetScriptText(), false);
        script->code->Compile(engine);
    }
    return script->code.get();
}

bool CallScript(ScriptEngine& engine, int index, CInstance* self, CInstance* other, RValue& result,
                const RValue* args, int argc) {
    ValueStack::Frame frame(engine.value_stack, kMaxArguments);
    RValue* slots = frame.data();
    argc = std::clamp(argc, 0, kMaxArguments);
    for (int i = 0; i < argc; ++i) slots[i] = args[i];
    return CallScriptSlots(engine, index, self, other, result, frame, argc);
}

bool CallCode(ScriptEngine& engine, const CCode& code, CInstance* self, CInstance* other,
              RValue& result, const RValue* args, int argc) {
    ValueStack::Frame frame(engine.value_stack, kMaxArguments);
    RValue* slots = frame.data();
    argc = std::clamp(argc, 0, kMaxArguments);
    for (int i = 0; i < argc; ++i) slots[i] = args[i];
    ArgumentScope scope(engine.arguments, frame, argc);
    return ExecuteOrMark(engine, self, other, code, result);
}

}  // namespace tb
