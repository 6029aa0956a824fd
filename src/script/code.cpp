#include "script/code.h"

#include <algorithm>
#include <limits>

#include "script/engine.h"
#include "script/operators.h"
#include "script/program.h"
#include "script/tokenizer.h"

namespace tb {
namespace {

// A resolved token: names become values, functions or variables.
struct RToken2 {
    int32_t kind = kTokEnd;
    int32_t index = 0;
    RValue value;
    int32_t position = 0;
};

// Nesting beyond this is refused at compile time so that the recursive passes and the
// interpreter can never run out of native stack on hostile text.
constexpr int kMaxNesting = 1000;
// Native stack the recursive descent may use; frames differ so much between builds
// (optimised, sanitised) that a depth count alone cannot keep a hostile text from
// overflowing the stack.
constexpr uintptr_t kParseStackBudget = uintptr_t(1) << 20;
constexpr const char* kNestingMessage = "Code nested too deeply.";
// Longest text that constant folding builds; longer ones are built when the code runs.
constexpr size_t kMaxFoldedText = size_t(1) << 16;

class Parser {
  public:
    Parser(ScriptEngine& engine, const CCode& code, const std::vector<RToken2>& tokens)
        : engine_(engine), code_(code), t_(tokens) {}

    bool failed() const { return failed_; }

    RToken ParseProgram() {
        RToken root;
        if (Kind() == kTokEnd) {
            root.kind = kNodeEmptyProgram;
            root.position = Pos();
            return root;
        }
        if (Kind() == kTokBegin) {
            root = ParseBlock();
            if (!failed_ && Kind() != kTokEnd) Fail(Pos(), "Program ends before end of the code.");
            return root;
        }
        root.kind = kNodeBlock;
        root.position = Pos();
        while (!failed_ && Kind() != kTokEnd) root.children.push_back(ParseStatement());
        return root;
    }

    RToken ParseExpressionUnit() {
        if (Kind() == kTokEnd) {
            RToken root;
            root.kind = kNodeConstant;
            root.position = Pos();
            return root;
        }
        return ParseExpression();
    }

  private:
    int32_t Kind() const { return t_[i_].kind; }
    int32_t Pos() const { return t_[i_].position; }
    // The end token is never passed.
    void Advance() {
        if (t_[i_].kind != kTokEnd) ++i_;
    }
    void Fail(int32_t position, const char* text) {
        if (failed_) return;
        failed_ = true;
        engine_.ReportError(code_, position, text);
    }
    bool Expect(int32_t kind, const char* message) {
        if (failed_) return false;
        if (Kind() != kind) {
            Fail(Pos(), message);
            return false;
        }
        Advance();
        return true;
    }
    struct Nest {
        Parser& p;
        explicit Nest(Parser& parser) : p(parser) {
            if (++p.depth_ > kMaxNesting || p.StackUsed() > kParseStackBudget)
                p.Fail(p.Pos(), kNestingMessage);
        }
        ~Nest() { --p.depth_; }
    };

    static RToken Node(int32_t kind, int32_t position) {
        RToken n;
        n.kind = kind;
        n.position = position;
        return n;
    }

    void SkipSemicolons() {
        while (Kind() == kTokSemicolon) Advance();
    }

    RToken ParseBlock() {
        RToken block = Node(kNodeBlock, Pos());
        Advance();  // { or begin
        while (!failed_ && Kind() != kTokEndBlock) {
            if (Kind() == kTokEnd) {
                Fail(Pos(), "Symbol } expected.");
                return block;
            }
            block.children.push_back(ParseStatement());
        }
        Advance();
        return block;
    }

    RToken ParseStatement() {
        Nest nest(*this);
        if (failed_) return RToken();
        RToken s = ParseStatementBody();
        SkipSemicolons();
        return s;
    }

    RToken ParseStatementBody() {
        const int32_t pos = Pos();
        switch (Kind()) {
            case kTokFunction:
                return ParseCall();
            case kTokBegin:
                return ParseBlock();
            case kTokIf: {
                RToken n = Node(kNodeIf, pos);
                Advance();
                n.children.push_back(ParseExpression());
                if (Kind() == kTokThen) Advance();
                n.children.push_back(ParseStatement());
                if (!failed_ && Kind() == kTokElse) {
                    Advance();
                    n.children.push_back(ParseStatement());
                }
                return n;
            }
            case kTokWhile:
            case kTokWith: {
                RToken n = Node(Kind() == kTokWhile ? kNodeWhile : kNodeWith, pos);
                Advance();
                n.children.push_back(ParseExpression());
                if (Kind() == kTokDo) Advance();
                n.children.push_back(ParseStatement());
                return n;
            }
            case kTokDo: {
                RToken n = Node(kNodeDo, pos);
                Advance();
                n.children.push_back(ParseStatement());
                if (!Expect(kTokUntil, "Keyword until expected.")) return n;
                n.children.push_back(ParseExpression());
                return n;
            }
            case kTokFor: {
                RToken n = Node(kNodeFor, pos);
                Advance();
                if (!Expect(kTokOpenParen, "Symbol ( expected.")) return n;
                n.children.push_back(ParseStatement());
                if (failed_) return n;
                n.children.push_back(ParseExpression());
                if (Kind() == kTokSemicolon) Advance();
                if (failed_) return n;
                n.children.push_back(ParseStatement());
                if (!Expect(kTokCloseParen, "Symbol ) expected.")) return n;
                n.children.push_back(ParseStatement());
                return n;
            }
            case kTokRepeat: {
                RToken n = Node(kNodeRepeat, pos);
                Advance();
                n.children.push_back(ParseExpression());
                n.children.push_back(ParseStatement());
                return n;
            }
            case kTokExit:
            case kTokBreak:
            case kTokContinue: {
                RToken n = Node(Kind(), pos);
                Advance();
                return n;
            }
            case kTokReturn: {
                RToken n = Node(kNodeReturn, pos);
                Advance();
                n.children.push_back(ParseExpression());
                return n;
            }
            case kTokSwitch: {
                RToken n = Node(kNodeSwitch, pos);
                Advance();
                n.children.push_back(ParseExpression());
                if (!Expect(kTokBegin, "Symbol { expected.")) return n;
                while (!failed_ && Kind() != kTokEndBlock) {
                    if (Kind() == kTokEnd) {
                        Fail(Pos(), "Symbol } expected.");
                        return n;
                    }
                    n.children.push_back(ParseStatement());
                }
                Advance();
                return n;
            }
            case kTokCase: {
                RToken n = Node(kNodeCase, pos);
                Advance();
                n.children.push_back(ParseExpression());
                Expect(kTokColon, "Symbol : expected.");
                return n;
            }
            case kTokDefault: {
                RToken n = Node(kNodeDefault, pos);
                Advance();
                Expect(kTokColon, "Symbol : expected.");
                return n;
            }
            case kTokVar:
            case kTokGlobalVar: {
                RToken n = Node(Kind() == kTokVar ? kNodeVar : kNodeGlobalVar, pos);
                Advance();
                while (!failed_ && Kind() == kTokVariable) {
                    const RToken2& name = t_[i_];
                    if (name.index < kFirstUserVariable) {
                        Fail(name.position, "Cannot redeclare a builtin variable.");
                        return n;
                    }
                    RToken entry = Node(kNodeConstant, name.position);
                    entry.index = name.index;
                    n.children.push_back(std::move(entry));
                    Advance();
                    if (Kind() == kTokComma) Advance();
                }
                return n;
            }
            case kTokSemicolon: {
                RToken n = Node(kNodeEmpty, pos);
                Advance();
                return n;
            }
            case kTokEnd:
                Fail(pos, "Unexpected end of code reached.");
                return RToken();
            default:
                return ParseAssignment();
        }
    }

    RToken ParseAssignment() {
        const int32_t pos = Pos();
        RToken target = ParsePostfix();
        if (failed_) return target;
        if (target.kind != kNodeVariable) {
            Fail(pos, "Variable name expected.");
            return target;
        }
        const int32_t op = Kind();
        if (!(op == kTokAssign || (op >= kTokAddAssign && op <= kTokDivAssign) ||
              (op >= kTokOrAssign && op <= kTokXorAssign))) {
            Fail(Pos(), "Assignment operator expected.");
            return target;
        }
        Advance();
        RToken n = Node(kNodeAssign, pos);
        n.index = op;
        n.children.push_back(std::move(target));
        n.children.push_back(ParseExpression());
        return n;
    }

    RToken ParseCall() {
        RToken n = Node(kNodeCall, Pos());
        if (Kind() != kTokFunction) {
            Fail(Pos(), "Function name expected.");
            return n;
        }
        n.index = t_[i_].index;
        Advance();
        if (!Expect(kTokOpenParen, "Symbol ( expected.")) return n;
        if (!ParseList(n, kTokCloseParen, "Symbol ) expected.", "Symbol , or ) expected.", 0,
                       nullptr))
            return n;
        const int32_t argc = engine_.ArgumentCount(n.index);
        const int32_t count = int32_t(n.children.size());
        if (count > kMaxArguments || (argc >= 0 && count != argc)) {
            Fail(Pos(), "Wrong number of arguments to function or script.");
            return n;
        }
        Advance();
        return n;
    }

    // Comma-separated expressions appended to n until `close` (left as the current token);
    // a comma right before `close` adds nothing. With `full` > 0, reaching that many children
    // before another expression fails with `too_many`. False after reporting.
    bool ParseList(RToken& n, int32_t close, const char* missing, const char* separator,
                   size_t full, const char* too_many) {
        for (;;) {
            if (failed_) return false;
            if (Kind() == close) return true;
            const char* fault = nullptr;
            if (Kind() == kTokEnd)
                fault = missing;
            else if (full && n.children.size() == full)
                fault = too_many;
            if (!fault) {
                n.children.push_back(ParseExpression());
                if (failed_) return false;
                if (Kind() == kTokComma)
                    Advance();
                else if (Kind() == kTokEnd)
                    fault = missing;
                else if (Kind() != close)
                    fault = separator;
            }
            if (fault) {
                Fail(Pos(), fault);
                return false;
            }
        }
    }

    // A variable token with its optional indices; child 0 is the unprefixed mark.
    RToken ParseVariable() {
        const RToken2& name = t_[i_];
        RToken n = Node(kNodeVariable, name.position);
        n.index = name.index;
        Advance();
        RToken mark = Node(kNodeConstant, Pos());
        mark.value = RValue::Real(kSpecifierUnprefixed);
        n.children.push_back(std::move(mark));
        if (Kind() != kTokOpenBracket) return n;
        Advance();
        if (!ParseList(n, kTokCloseBracket, "Symbol ] expected.", "Symbol , or ] expected.", 3,
                       "Only 1- and 2-dimensional arrays are supported."))
            return n;
        Advance();
        return n;
    }

    static int Level(int32_t op) {
        switch (op) {
            case 201:
            case 202:
            case 216:
                return 1;
            case 101:
            case 204:
            case 205:
            case 206:
            case 207:
            case 208:
            case 209:
                return 2;
            case 217:
            case 218:
            case 219:
                return 3;
            case 221:
            case 222:
                return 4;
            case 210:
            case 211:
                return 5;
            case 212:
            case 213:
            case 214:
            case 215:
                return 6;
            default:
                return 0;
        }
    }

    RToken ParseExpression() { return ParseBinary(1); }

    RToken ParseBinary(int level) {
        if (level > 6) return ParseUnary();
        RToken left = ParseBinary(level + 1);
        // A chain of one level (a + b + c ..., a thousand terms in generated code) is built
        // here without recursion and is no nesting: every later pass walks its left side
        // without recursion too.
        while (!failed_ && Level(Kind()) == level) {
            RToken n = Node(kNodeBinary, left.position);
            n.index = Kind();
            Advance();
            RToken right = ParseBinary(level + 1);
            n.children.push_back(std::move(left));
            n.children.push_back(std::move(right));
            left = std::move(n);
        }
        return left;
    }

    RToken ParseUnary() {
        const int32_t op = Kind();
        if (op == 203 || op == 210 || op == 211 || op == 220) {
            Nest nest(*this);
            RToken n = Node(kNodeUnary, Pos());
            n.index = op;
            Advance();
            if (failed_) return n;
            n.children.push_back(ParseUnary());
            return n;
        }
        return ParsePostfix();
    }

    RToken ParsePostfix() {
        RToken term = ParsePrimary();
        int chain = 0;
        while (!failed_ && Kind() == kTokDot) {
            ++chain;
            if (++depth_ > kMaxNesting) Fail(Pos(), kNestingMessage);
            Advance();
            if (Kind() != kTokVariable) {
                Fail(Pos(), "Variable name expected.");
                break;
            }
            RToken var = ParseVariable();
            var.children[0] = std::move(term);
            term = std::move(var);
        }
        depth_ -= chain;
        return term;
    }

    RToken ParsePrimary() {
        Nest nest(*this);
        if (failed_) return RToken();
        const RToken2& tok = t_[i_];
        switch (tok.kind) {
            case kTokValue: {
                RToken n = Node(kNodeConstant, tok.position);
                n.value = tok.value;
                Advance();
                return n;
            }
            case kTokFunction:
                return ParseCall();
            case kTokVariable:
                return ParseVariable();
            case kTokOpenParen: {
                Advance();
                RToken inner = ParseExpression();
                Expect(kTokCloseParen, "Symbol ) expected.");
                return inner;
            }
            default:
                Fail(tok.position, "Unexpected symbol in expression.");
                return RToken();
        }
    }

    // The stack grows downwards on every host this runs on.
    uintptr_t StackUsed() const {
        return stack_base_ - reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    }

    ScriptEngine& engine_;
    const CCode& code_;
    const std::vector<RToken2>& t_;
    size_t i_ = 0;
    int depth_ = 0;
    bool failed_ = false;
    uintptr_t stack_base_ = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
};

// Locals, fixed specifiers and folding, children before their parent.
class FinalPass {
  public:
    FinalPass(ScriptEngine& engine, const CCode& code) : engine_(engine), code_(code) {}

    bool Run(RToken& node) {
        if (node.kind == kNodeBinary && node.children[0].kind == kNodeBinary) return RunChain(node);
        for (RToken& child : node.children) {
            if (!Run(child)) return false;
        }
        switch (node.kind) {
            case kNodeVar:
                for (const RToken& c : node.children) locals_.push_back(c.index);
                return true;
            case kNodeVariable:
                return FixVariable(node);
            case kNodeUnary: {
                RToken& a = node.children[0];
                if (a.kind != kNodeConstant) return true;
                RValue v = a.value;
                if (const char* msg = ApplyUnary(node.index, v)) return Fail(a.position, msg);
                Fold(node, std::move(v));
                return true;
            }
            case kNodeBinary:
                return FoldBinary(node);
            default:
                return true;
        }
    }

  private:
    bool Fail(int32_t position, const char* text) {
        engine_.ReportError(code_, position, text);
        return false;
    }
    bool FoldBinary(RToken& node) {
        RToken& l = node.children[0];
        RToken& r = node.children[1];
        if (l.kind != kNodeConstant || r.kind != kNodeConstant) return true;
        if (TooLargeToFold(node.index, l.value, r.value)) return true;
        RValue v = l.value;
        if (const char* msg = ApplyBinary(node.index, v, r.value)) return Fail(r.position, msg);
        if (v.IsString() && v.text.size() > kMaxFoldedText) return true;
        Fold(node, std::move(v));
        return true;
    }
    // A left-leaning chain of binary nodes in the order of the recursion (deepest left
    // operand, then each node's right operand and the node itself, upwards), without
    // recursing down its left side.
    bool RunChain(RToken& top) {
        std::vector<RToken*> spine{&top};
        while (spine.back()->children[0].kind == kNodeBinary)
            spine.push_back(&spine.back()->children[0]);
        if (!Run(spine.back()->children[0])) return false;
        for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
            if (!Run((*it)->children[1]) || !FoldBinary(**it)) return false;
        }
        return true;
    }
    // A repetition whose text would be large is left to run time: it may never run, and
    // building it at load time costs time and memory (or fails a game over dead code).
    static bool TooLargeToFold(int32_t op, const RValue& l, const RValue& r) {
        if (op != kOpTimes || l.IsString() || !r.IsString()) return false;
        const int32_t n = RoundToInt32(l.real);
        return n > 0 && r.text.size() > kMaxFoldedText / size_t(n);
    }
    static void Fold(RToken& node, RValue v) {
        node.kind = kNodeConstant;
        node.index = 0;
        node.value = std::move(v);
        node.children.clear();
    }
    bool FixVariable(RToken& node) {
        RToken& specifier = node.children[0];
        if (specifier.kind != kNodeConstant) return true;
        if (!specifier.value.IsString() && specifier.value.real == kSpecifierUnprefixed &&
            std::find(locals_.begin(), locals_.end(), node.index) != locals_.end()) {
            specifier.value = RValue::Real(-7);
        }
        if (node.children.size() != 1) return true;
        if (specifier.value.IsString())
            return Fail(specifier.position, "Left hand side must be a real value.");
        const int64_t s = RoundToInt64(specifier.value.real);
        node.specifier = int32_t(std::clamp<int64_t>(s, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max()));
        node.kind = kNodeFixedVariable;
        node.children.clear();
        return true;
    }

    ScriptEngine& engine_;
    const CCode& code_;
    std::vector<int32_t> locals_;
};

}  // namespace

RToken::~RToken() {
    // Taken apart without recursion: a long chain is a tree as deep as it is long.
    if (children.empty()) return;
    std::vector<RToken> pending = std::move(children);
    while (!pending.empty()) {
        RToken t = std::move(pending.back());
        pending.pop_back();
        for (RToken& c : t.children) pending.push_back(std::move(c));
        t.children.clear();
    }
}

CCode::CCode(std::string text, bool is_expression)
    : kind(is_expression ? kCodeExpression : kCodeProgram), text_(std::move(text)) {}

CCode::~CCode() = default;

bool CCode::Compile(ScriptEngine& engine) {
    engine.ClearPending();
    if (compiled) {
        engine.ReportError(*this, 0, "Internal Error: Recompiling compiled code.");
        return false;
    }
    int32_t error_position = 0;
    std::vector<RToken1> raw = Tokenize(text_, error_position);
    if (error_position > 0) {
        engine.ReportError(*this, error_position, "Unexpected symbol.");
        return false;
    }

    std::vector<RToken2> tokens(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const RToken1& r = raw[i];
        RToken2& t = tokens[i];
        t.kind = r.kind;
        t.position = r.position;
        if (r.kind == kTokName) {
            if (i + 1 < raw.size() && raw[i + 1].kind == kTokOpenParen) {
                const int32_t id = engine.FindFunction(r.text);
                if (id < 0) {
                    engine.ReportError(*this, r.position, "Unknown function or script: " + r.text);
                    return false;
                }
                t.kind = kTokFunction;
                t.index = id;
            } else if (engine.LookupValueName(r.text, t.value)) {
                t.kind = kTokValue;
            } else {
                t.kind = kTokVariable;
                t.index = engine.VariableIdOf(r.text);
            }
        } else if (r.kind == kTokNumber) {
            t.kind = kTokValue;
            t.value = RValue::Real(NumberValue(r.text));
        } else if (r.kind == kTokString) {
            t.kind = kTokValue;
            t.value = RValue::String(RString(r.text));
        }
    }
    raw.clear();

    Parser parser(engine, *this, tokens);
    RToken tree = kind == kCodeExpression ? parser.ParseExpressionUnit() : parser.ParseProgram();
    if (parser.failed()) return false;
    FinalPass pass(engine, *this);
    if (!pass.Run(tree)) return false;
    root = std::move(tree);
    if (kind == kCodeExpression && root.kind == kNodeConstant) {
        constant = root.value;
        kind = kCodeConstant;
    }
    program = BuildProgram(root, engine, kind != kCodeProgram);
    compiled = true;
    return true;
}

}  // namespace tb
