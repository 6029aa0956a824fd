#include "script/program.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "script/code.h"
#include "script/engine.h"
#include "script/operators.h"
#include "script/registry.h"
#include "script/variables.h"

namespace tb {
namespace {

class Builder {
  public:
    Builder(Program& p, const ScriptEngine& engine) : p_(p), engine_(engine) {}

    int32_t Build(const RToken& t) {
        if (t.kind == kNodeBinary && t.children[0].kind == kNodeBinary) return BuildChain(t);
        XNode n;
        n.position = t.position;
        n.sub = t.index;
        switch (t.kind) {
            case kNodeConstant:
                n.op = XOp::kConst;
                n.value = t.value;
                break;
            case kNodeFixedVariable:
                BuildFixed(t, n);
                break;
            case kNodeVariable:
                n.op = XOp::kIndexed;
                n.id = t.index;
                n.slot = SlotOf(t.index);
                n.a = Build(t.children[0]);
                if (t.children[0].kind == kNodeConstant && !t.children[0].value.IsString()) {
                    // The specifier needs no evaluation (an indexed local, self.a[i], ...).
                    n.fixed = true;
                    n.specifier = int32_t(std::clamp<int64_t>(
                        RoundToInt64(t.children[0].value.real), std::numeric_limits<int32_t>::min(),
                        std::numeric_limits<int32_t>::max()));
                }
                if (t.children.size() > 1) n.b = Build(t.children[1]);
                if (t.children.size() > 2) n.c = Build(t.children[2]);
                break;
            case kNodeCall:
                if (t.index >= kExtensionIdBase) {
                    n.op = XOp::kCallExtension;
                    n.id = t.index - kExtensionIdBase;
                } else if (t.index >= kScriptIdBase) {
                    n.op = XOp::kCallScript;
                    n.id = t.index - kScriptIdBase;
                } else {
                    n.op = XOp::kCallBuiltin;
                    n.id = t.index;
                }
                BuildList(t, 0, n);
                break;
            case kNodeUnary:
                n.op = XOp::kUnary;
                n.a = Build(t.children[0]);
                break;
            case kNodeBinary:
                n.op = XOp::kBinary;
                n.a = Build(t.children[0]);
                n.b = Build(t.children[1]);
                break;
            case kNodeEmptyProgram:
            case kNodeBlock:
                n.op = XOp::kBlock;
                BuildList(t, 0, n);
                break;
            case kNodeIf:
                n.op = XOp::kIf;
                Children(t, n);
                break;
            case kNodeWhile:
                n.op = XOp::kWhile;
                Children(t, n);
                break;
            case kNodeDo:
                n.op = XOp::kDo;
                Children(t, n);
                break;
            case kNodeFor:
                n.op = XOp::kFor;
                Children(t, n);
                break;
            case kNodeRepeat:
                n.op = XOp::kRepeat;
                Children(t, n);
                break;
            case kNodeExit:
                n.op = XOp::kExit;
                break;
            case kNodeBreak:
                n.op = XOp::kBreak;
                break;
            case kNodeContinue:
                n.op = XOp::kContinue;
                break;
            case kNodeWith:
                n.op = XOp::kWith;
                Children(t, n);
                break;
            case kNodeReturn:
                n.op = XOp::kReturn;
                Children(t, n);
                break;
            case kNodeSwitch:
                n.op = XOp::kSwitch;
                BuildList(t, 0, n);
                break;
            case kNodeCase:
                n.op = XOp::kCase;
                Children(t, n);
                break;
            case kNodeDefault:
                n.op = XOp::kDefault;
                break;
            case kNodeVar:
                n.op = XOp::kVar;
                break;
            case kNodeGlobalVar: {
                n.op = XOp::kGlobalVar;
                n.first = int32_t(p_.kids.size());
                n.count = int32_t(t.children.size());
                for (const RToken& c : t.children) p_.kids.push_back(c.index);
                break;
            }
            case kNodeAssign:
                n.op = XOp::kAssign;
                Children(t, n);
                break;
            default:
                n.op = XOp::kEmpty;
                break;
        }
        return Add(std::move(n));
    }

    int32_t Add(XNode n) {
        n.pure = IsPure(n);
        if (n.pure) {
            for (int32_t child : {n.a, n.b})
                if (child >= 0) p_.nodes[size_t(child)].nested = true;
        }
        p_.nodes.push_back(std::move(n));
        return int32_t(p_.nodes.size()) - 1;
    }

    // A left-leaning chain of binary nodes, in the order of the recursion but without
    // recursing down its left side.
    int32_t BuildChain(const RToken& top) {
        std::vector<const RToken*> spine{&top};
        while (spine.back()->children[0].kind == kNodeBinary)
            spine.push_back(&spine.back()->children[0]);
        int32_t left = Build(spine.back()->children[0]);
        for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
            const RToken& t = **it;
            XNode n;
            n.position = t.position;
            n.sub = t.index;
            n.op = XOp::kBinary;
            n.a = left;
            n.b = Build(t.children[1]);
            left = Add(std::move(n));
        }
        return left;
    }

    // Code for every outermost pure subtree that is more than a leaf.
    void EmitPure() {
        for (size_t i = 0; i < p_.nodes.size(); ++i) {
            XNode& n = p_.nodes[i];
            if (!n.pure || n.nested) continue;
            if (n.op != XOp::kUnary && n.op != XOp::kBinary && n.op != XOp::kIndexed) continue;
            const size_t first = p_.pure.size();
            int depth = 0, max_depth = 0;
            Emit(int32_t(i), depth, max_depth);
            if (max_depth > kPureStack) {
                p_.pure.resize(first);
                continue;
            }
            n.pure_first = int32_t(first);
            n.pure_count = int32_t(p_.pure.size() - first);
        }
    }

  private:
    void Emit(int32_t index, int& depth, int& max_depth) {
        const XNode& n = p_.nodes[size_t(index)];
        PureOp op;
        switch (n.op) {
            case XOp::kConst:
                op.code = PureCode::kConst;
                op.k = n.value.real;
                if (n.value.IsString()) op.code = PureCode::kFail;
                break;
            case XOp::kLocal:
                op.code = PureCode::kLocal;
                op.arg = n.slot;
                break;
            case XOp::kArgument:
                op.code = PureCode::kArgument;
                op.arg = n.slot;
                break;
            case XOp::kSelf:
                op.code = PureCode::kSelf;
                op.arg = n.id;
                break;
            case XOp::kGlobal:
                op.code = PureCode::kGlobal;
                op.arg = n.id;
                break;
            case XOp::kUnprefixed:
                op.code = PureCode::kUnprefixed;
                op.arg = n.id;
                break;
            case XOp::kIndexed:
                Emit(n.b, depth, max_depth);
                op.code = PureCode::kLocalElement;
                op.arg = n.slot;
                p_.pure.push_back(op);
                return;
            case XOp::kUnary:
                Emit(n.a, depth, max_depth);
                if (n.sub == kOpPlus) return;  // leaves the value as it is
                op.code = n.sub == kOpMinus ? PureCode::kNegate
                          : n.sub == kOpNot ? PureCode::kNot
                                            : PureCode::kFail;
                p_.pure.push_back(op);
                return;
            default: {  // kBinary
                // Down the left side of a chain without recursion, then the operators
                // upwards.
                std::vector<int32_t> spine{index};
                while (p_.nodes[size_t(p_.nodes[size_t(spine.back())].a)].op == XOp::kBinary)
                    spine.push_back(p_.nodes[size_t(spine.back())].a);
                Emit(p_.nodes[size_t(spine.back())].a, depth, max_depth);
                for (auto it = spine.rbegin(); it != spine.rend(); ++it)
                    EmitBinary(p_.nodes[size_t(*it)], depth, max_depth);
                return;
            }
        }
        p_.pure.push_back(op);
        max_depth = std::max(max_depth, ++depth);
    }
    // A binary node's right operand and operator, its left operand emitted already.
    void EmitBinary(const XNode& n, int& depth, int& max_depth) {
        PureOp op;
        const XNode& right = p_.nodes[size_t(n.b)];
        if (right.op == XOp::kConst && !right.value.IsString()) {
            op.right_k = true;
            op.k = right.value.real;
            ++depth;  // balances the pop below: nothing was pushed
        } else {
            Emit(n.b, depth, max_depth);
        }
        switch (n.sub) {
            case kOpPlus:
                op.code = PureCode::kAdd;
                break;
            case kOpMinus:
                op.code = PureCode::kSubtract;
                break;
            case kOpTimes:
                op.code = PureCode::kMultiply;
                break;
            case kOpLess:
                op.code = PureCode::kLess;
                break;
            case kOpGreater:
                op.code = PureCode::kGreater;
                break;
            case kOpEqual:
            case kOpAssign:
                op.code = PureCode::kEqual;
                break;
            default:
                op.code = PureCode::kBinary;
                op.arg = n.sub;
                break;
        }
        p_.pure.push_back(op);
        --depth;
    }
    bool IsPure(const XNode& n) const {
        switch (n.op) {
            case XOp::kConst:
            case XOp::kLocal:
            case XOp::kArgument:
            case XOp::kSelf:
            case XOp::kGlobal:
            case XOp::kUnprefixed:
                return true;
            case XOp::kIndexed:  // a local's element with one index
                return n.fixed && n.specifier == -7 && n.b >= 0 && n.c < 0 &&
                       p_.nodes[size_t(n.b)].pure;
            case XOp::kUnary:
                return p_.nodes[size_t(n.a)].pure;
            case XOp::kBinary:
                return p_.nodes[size_t(n.a)].pure && p_.nodes[size_t(n.b)].pure;
            default:
                return false;
        }
    }
    int32_t SlotOf(int32_t id) {
        auto [it, added] = slots_.try_emplace(id, p_.local_count);
        if (added) ++p_.local_count;
        return it->second;
    }
    void BuildFixed(const RToken& t, XNode& n) {
        n.id = t.index;
        n.specifier = t.specifier;
        const bool builtin = t.index < kBuiltinVariableLimit;
        switch (t.specifier) {
            case -7:
                n.op = XOp::kLocal;
                n.slot = SlotOf(t.index);
                break;
            case -6:
            case -1:
                if (!builtin) {
                    n.op = t.specifier == -6 ? XOp::kUnprefixed : XOp::kSelf;
                } else if (int slot = ArgumentSlot(t.index); slot >= 0) {
                    n.op = XOp::kArgument;
                    n.slot = slot;
                } else {
                    n.op = XOp::kSelfBuiltin;
                }
                break;
            case -2:
                n.op = XOp::kOther;
                break;
            case -5:
                n.op = XOp::kGlobal;
                break;
            default:
                n.op = XOp::kFixed;
                break;
        }
    }
    void Children(const RToken& t, XNode& n) {
        int32_t* fields[4] = {&n.a, &n.b, &n.c, &n.d};
        for (size_t i = 0; i < t.children.size() && i < 4; ++i) *fields[i] = Build(t.children[i]);
    }
    // Children are built first, then their indices are laid out contiguously.
    void BuildList(const RToken& t, size_t from, XNode& n) {
        std::vector<int32_t> built;
        built.reserve(t.children.size());
        for (size_t i = from; i < t.children.size(); ++i) built.push_back(Build(t.children[i]));
        n.first = int32_t(p_.kids.size());
        n.count = int32_t(built.size());
        p_.kids.insert(p_.kids.end(), built.begin(), built.end());
    }

    // argument0 .. argument15 are the engine's argument slots whatever the instance; the
    // interpreter reads them without going through their getters.
    int ArgumentSlot(int32_t id) const {
        const BuiltinVariable* v = engine_.builtin_variables.At(id);
        if (!v || !v->name.starts_with("argument")) return -1;
        const std::string_view digits = std::string_view(v->name).substr(8);
        if (digits.empty() || digits.size() > 2) return -1;
        int slot = 0;
        for (char ch : digits) {
            if (ch < '0' || ch > '9') return -1;
            slot = slot * 10 + (ch - '0');
        }
        return slot < kMaxArguments && std::to_string(slot) == digits ? slot : -1;
    }

    Program& p_;
    const ScriptEngine& engine_;
    std::unordered_map<int32_t, int32_t> slots_;
};

}  // namespace

std::unique_ptr<Program> BuildProgram(const RToken& root, const ScriptEngine& engine,
                                      bool expression) {
    auto p = std::make_unique<Program>();
    Builder b(*p, engine);
    p->root = b.Build(root);
    b.EmitPure();
    CompileMachine(*p, expression);
    return p;
}

}  // namespace tb
