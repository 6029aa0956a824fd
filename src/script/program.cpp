#include "script/program.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "script/code.h"
#include "script/engine.h"
#include "script/registry.h"
#include "script/variables.h"

namespace tb {
namespace {

class Builder {
  public:
    Builder(Program& p, const ScriptEngine& engine) : p_(p), engine_(engine) {}

    int32_t Build(const RToken& t) {
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
                    n.spec = int32_t(std::clamp<int64_t>(RoundToInt64(t.children[0].value.real),
                                                         std::numeric_limits<int32_t>::min(),
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
        p_.nodes.push_back(std::move(n));
        return int32_t(p_.nodes.size()) - 1;
    }

  private:
    int32_t SlotOf(int32_t id) {
        auto [it, added] = slots_.try_emplace(id, p_.local_count);
        if (added) ++p_.local_count;
        return it->second;
    }
    void BuildFixed(const RToken& t, XNode& n) {
        n.id = t.index;
        n.spec = t.specifier;
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

std::unique_ptr<Program> BuildProgram(const RToken& root, const ScriptEngine& engine) {
    auto p = std::make_unique<Program>();
    Builder b(*p, engine);
    p->root = b.Build(root);
    return p;
}

}  // namespace tb
