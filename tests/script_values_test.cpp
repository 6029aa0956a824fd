#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "runner/stream.h"
#include "script/operators.h"
#include "script/value.h"
#include "script/variables.h"

namespace tb {
namespace {

RValue R(double v) {
    return RValue::Real(v);
}
RValue S(const char* s) {
    return RValue::String(RString(s));
}

std::string Show(const RValue& v) {
    return v.IsString() ? "\"" + v.text.str() + "\"" : std::to_string(v.real);
}

// ---- values

TEST(ValueRounding, HalvesToEvenAndUndefinedGiveZero) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double in;
        int64_t out;
    } cases[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {0.49999, 0},
        {0.51, 1},
        {-0.51, -1},
        {7, 7},
        {-7.2, -7},
        {4503599627370497.0, 4503599627370497},
        {std::nan(""), 0},
        {inf, 0},
        {-inf, 0},
        {9223372036854775808.0, 0},
        {-9223372036854775808.0, 0},
        {1e300, 0},
        {9223372036854774784.0, 9223372036854774784},
    };
    for (const Case& c : cases) EXPECT_EQ(RoundToInt64(c.in), c.out) << c.in;
}

TEST(ValueRounding, Int32KeepsLowBitsAndTruthThreshold) {
    EXPECT_EQ(RoundToInt32(4294967297.0), 1);
    EXPECT_EQ(RoundToInt32(2147483648.0), -2147483647 - 1);
    EXPECT_EQ(RoundToInt32(-1.5), -2);
    EXPECT_EQ(RoundToInt32(std::nan("")), 0);
    EXPECT_TRUE(IsTrue(0.5));
    EXPECT_FALSE(IsTrue(0.4999999));
    EXPECT_FALSE(IsTrue(std::nan("")));
}

TEST(ValueString, SharedTextAndFreshValues) {
    RValue fresh;
    EXPECT_EQ(fresh.kind, kKindReal);
    EXPECT_EQ(fresh.real, 0);
    EXPECT_TRUE(fresh.text.empty());

    RValue a = S("hello");
    RValue b = a;  // copies share the one buffer
    EXPECT_EQ(a.text.data(), b.text.data());
    b.SetReal(3);  // dropping one copy leaves the other intact
    EXPECT_EQ(a.text.view(), "hello");
    EXPECT_TRUE(b.text.empty());
    EXPECT_EQ(b.kind, kKindReal);

    RValue c = a;
    c.SetString(RString("x"));
    EXPECT_EQ(c.real, 0);
    EXPECT_EQ(a.text.view(), "hello");
    EXPECT_EQ(RString(""), RString());
    EXPECT_TRUE(RString("").empty());
    EXPECT_EQ(RString("ab"), RString(std::string("ab")));

    // Texts are byte strings: embedded zeros survive.
    RString z(std::string_view("a\0b", 3));
    EXPECT_EQ(z.size(), 3u);
    RString moved = std::move(z);
    EXPECT_EQ(moved.view(), std::string_view("a\0b", 3));
    moved = moved;  // self assignment keeps the text
    EXPECT_EQ(moved.size(), 3u);
}

// ---- variable lists

constexpr int32_t kA = 100000, kB = 100001, kC = 100002;

bool Reads(const CVariableList& l, int32_t id, int32_t key, RValue& out) {
    return l.Get(id, key, out, false);
}

// Appending mutates only a text nobody else holds.
TEST(ValueString, AppendLeavesSharedCopiesAlone) {
    RString s("ab");
    const RString copy = s;
    s.Append(RString("cd"));
    EXPECT_EQ(copy.view(), "ab");
    EXPECT_EQ(s.view(), "abcd");
    const RString* before = nullptr;
    std::vector<RString> seen;
    for (int i = 0; i < 20; ++i) {  // grows in place and by new buffers alike
        s.Append(RString("x"));
        seen.push_back(s);
        before = &seen.back();
    }
    EXPECT_EQ(before->view(), "abcd" + std::string(20, 'x'));
    EXPECT_EQ(seen[0].view(), "abcdx");
    EXPECT_EQ(seen[9].view(), "abcd" + std::string(10, 'x'));
    s = RString("q");
    s.Append(s);  // onto itself, sole owner
    s.Append(s);
    EXPECT_EQ(s.view(), "qqqq");
    RString e;
    e.Append(RString());
    EXPECT_TRUE(e.empty());
    e.Append(copy);  // an empty text takes the other's buffer
    EXPECT_EQ(e.view(), "ab");
    s.Append(RString());
    EXPECT_EQ(s.view(), "qqqq");
}

TEST(VariablesList, ScalarIsKeyZeroAndArraysGrowExactly) {
    CVariableList l;
    RValue v;
    EXPECT_FALSE(Reads(l, kA, 0, v));
    l.Set(kA, 0, R(5));
    ASSERT_TRUE(Reads(l, kA, 0, v));
    EXPECT_EQ(v, R(5));
    EXPECT_FALSE(Reads(l, kA, 1, v));  // no rows yet

    // a[3] = 1 on a new variable: scalar 0, row 0 of exactly four elements.
    l.Set(kB, 3, R(1));
    ASSERT_TRUE(Reads(l, kB, 0, v));
    EXPECT_EQ(v, R(0));
    const RVariable& b = l.Items()[1];
    ASSERT_EQ(b.rows.size(), 1u);
    EXPECT_EQ(b.rows[0].size(), 4u);
    for (int32_t k : {1, 2}) {
        ASSERT_TRUE(Reads(l, kB, k, v));
        EXPECT_EQ(v, R(0));
    }
    ASSERT_TRUE(Reads(l, kB, 3, v));
    EXPECT_EQ(v, R(1));
    EXPECT_FALSE(Reads(l, kB, 4, v));

    // a[1,0] = 2: row 1 column 0; row 0 keeps its size, nothing in between appears.
    l.Set(kB, 1 * kArrayDimension + 0, R(2));
    ASSERT_EQ(b.rows.size(), 2u);
    EXPECT_EQ(l.Items()[1].rows[1].size(), 1u);
    ASSERT_TRUE(Reads(l, kB, kArrayDimension, v));
    EXPECT_EQ(v, R(2));
    EXPECT_FALSE(Reads(l, kB, kArrayDimension + 1, v));
    EXPECT_FALSE(Reads(l, kB, 2 * kArrayDimension, v));

    // a[2, 5] on a fresh variable: rows 0 and 1 exist but are empty.
    l.Set(kC, 2 * kArrayDimension + 5, S("x"));
    const RVariable& c = l.Items()[2];
    ASSERT_EQ(c.rows.size(), 3u);
    EXPECT_TRUE(c.rows[0].empty());
    EXPECT_TRUE(c.rows[1].empty());
    EXPECT_EQ(c.rows[2].size(), 6u);
    EXPECT_FALSE(Reads(l, kC, kArrayDimension, v));

    // Writing a lower index never shrinks a row.
    l.Set(kB, 1, R(9));
    EXPECT_EQ(l.Items()[1].rows[0].size(), 4u);
}

TEST(VariablesList, UninitializedAsZeroAndFindSlot) {
    CVariableList l;
    RValue v = S("stale");
    EXPECT_TRUE(l.Get(kA, 0, v, true));
    EXPECT_EQ(v, R(0));
    EXPECT_EQ(l.Count(), 0);  // reading creates nothing
    l.Set(kA, 5, R(1));
    EXPECT_TRUE(l.Get(kA, 99, v, true));
    EXPECT_EQ(v, R(0));

    EXPECT_EQ(l.Find(kB, 0), nullptr);
    EXPECT_EQ(l.Find(kA, 6), nullptr);
    ASSERT_NE(l.Find(kA, 5), nullptr);
    EXPECT_EQ(*l.Find(kA, 5), R(1));

    RValue& slot = l.Slot(kB, 2 * kArrayDimension + 1);  // created as Set would
    EXPECT_EQ(slot, R(0));
    slot = S("in place");
    EXPECT_EQ(*l.Find(kB, 2 * kArrayDimension + 1), S("in place"));
    EXPECT_EQ(l.Items()[1].rows.size(), 3u);
    EXPECT_EQ(l.Items()[1].rows[2].size(), 2u);

    // A negative key cannot reach outside the rows; it is the scalar.
    l.Set(kC, -5, R(4));
    ASSERT_TRUE(Reads(l, kC, 0, v));
    EXPECT_EQ(v, R(4));
}

TEST(VariablesList, ManyVariablesKeepOrderAndDeclare) {
    CVariableList l;
    // Enough ids to force several index growths, in a scattered order.
    std::vector<int32_t> ids;
    for (int i = 0; i < 500; ++i) ids.push_back(kFirstUserVariable + (i * 7919) % 100003);
    for (size_t i = 0; i < ids.size(); ++i) l.Set(ids[i], 0, R(double(i)));
    // A built-in id as the global list may hold (global.score).
    l.Set(7, 0, S("builtin id"));
    ASSERT_EQ(l.Count(), 501);
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(l.Items()[i].id, ids[i]);
        RValue v;
        ASSERT_TRUE(Reads(l, ids[i], 0, v));
        EXPECT_EQ(v, R(double(i)));
    }
    RValue v;
    ASSERT_TRUE(Reads(l, 7, 0, v));
    EXPECT_EQ(v, S("builtin id"));
    EXPECT_FALSE(Reads(l, 8, 0, v));

    l.Declare(ids[3]);  // existing: nothing changes
    EXPECT_EQ(l.Count(), 501);
    ASSERT_TRUE(Reads(l, ids[3], 0, v));
    EXPECT_EQ(v, R(3));
    l.Declare(99);  // new: real 0, no rows, appended last
    EXPECT_EQ(l.Count(), 502);
    EXPECT_EQ(l.Items().back().id, 99);
    EXPECT_EQ(l.Items().back().value, R(0));
    EXPECT_TRUE(l.Items().back().rows.empty());

    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_FALSE(Reads(l, ids[0], 0, v));
    l.Set(ids[0], 0, R(1));  // usable after clearing
    EXPECT_EQ(l.Count(), 1);
}

TEST(VariablesList, SetFromAnElementOfTheSameList) {
    CVariableList l;
    for (int32_t i = 0; i < 4; ++i) l.Set(kA + i, 0, S("shared"));
    ASSERT_EQ(l.Items().size(), l.Items().capacity());  // the next variable reallocates
    l.Set(kA + 10, 0, l.Items()[0].value);
    l.Set(kA, 5, *l.Find(kA, 0));  // and the next row
    RValue v;
    ASSERT_TRUE(Reads(l, kA + 10, 0, v));
    EXPECT_EQ(v, S("shared"));
    ASSERT_TRUE(Reads(l, kA, 5, v));
    EXPECT_EQ(v, S("shared"));
}

TEST(VariablesList, AssignIsADeepCopy) {
    CVariableList a;
    a.Set(kA, 0, S("t"));
    a.Set(kB, kArrayDimension + 2, R(3));
    CVariableList b;
    b.Set(kC, 0, R(1));
    b.Assign(a);
    EXPECT_EQ(b, a);
    b.Set(kB, kArrayDimension + 2, R(4));
    b.Set(kC, 0, R(1));
    RValue v;
    ASSERT_TRUE(Reads(a, kB, kArrayDimension + 2, v));
    EXPECT_EQ(v, R(3));
    EXPECT_FALSE(Reads(a, kC, 0, v));
    a.Assign(a);
    EXPECT_EQ(a.Count(), 2);
}

// ---- saved forms

void PutValue(CStream& s, int32_t kind, double real, const std::string& text) {
    WriteInteger(s, kind);
    WriteReal(s, real);
    WriteString(s, text);
}

TEST(VariablesSave, HandBuiltListLoads) {
    CStream s;
    WriteInteger(s, 440);
    WriteInteger(s, 2);
    WriteInteger(s, kA);  // a = "hi", no rows
    PutValue(s, 1, 0, "hi");
    WriteInteger(s, 0);
    WriteInteger(s, kB);  // b = 1.5, row 0 [0, 7], row 1 [], row 2 ["z"]
    PutValue(s, 0, 1.5, "");
    WriteInteger(s, 3);
    WriteInteger(s, 2);
    PutValue(s, 0, 0, "");
    PutValue(s, 0, 7, "");
    WriteInteger(s, 0);
    WriteInteger(s, 1);
    PutValue(s, 1, 0, "z");
    WriteInteger(s, 12345);  // trailing data stays unread
    s.pos = 0;

    CVariableList l;
    l.Set(kC, 0, R(1));  // loading replaces what was there
    l.Load(s);
    EXPECT_EQ(ReadInteger(s), 12345);
    ASSERT_EQ(l.Count(), 2);
    RValue v;
    ASSERT_TRUE(Reads(l, kA, 0, v));
    EXPECT_EQ(v, S("hi"));
    ASSERT_TRUE(Reads(l, kB, 0, v));
    EXPECT_EQ(v, R(1.5));
    ASSERT_TRUE(Reads(l, kB, 1, v));
    EXPECT_EQ(v, R(7));
    EXPECT_FALSE(Reads(l, kB, kArrayDimension, v));
    ASSERT_TRUE(Reads(l, kB, 2 * kArrayDimension, v));
    EXPECT_EQ(v, S("z"));
    EXPECT_FALSE(Reads(l, kC, 0, v));

    // Written back, it is the same bytes.
    CStream out;
    l.Save(out);
    EXPECT_EQ(out.data, std::vector<uint8_t>(s.data.begin(), s.data.end() - 4));
}

TEST(VariablesSave, RoundTripAndLastDuplicateWins) {
    CVariableList l;
    l.Set(kA, 0, S("text"));
    l.Set(kA, 3 * kArrayDimension + 2, R(-2.25));
    l.Set(kB, 0, R(1e300));
    l.Declare(kC);
    CStream s;
    l.Save(s);
    s.pos = 0;
    CVariableList back;
    back.Load(s);
    EXPECT_EQ(back, l);
    EXPECT_EQ(s.pos, s.Size());

    // Two entries with one id: reads find the later one, as a search from the end would.
    CStream d;
    WriteInteger(d, 440);
    WriteInteger(d, 2);
    for (double x : {1.0, 2.0}) {
        WriteInteger(d, kA);
        PutValue(d, 0, x, "");
        WriteInteger(d, 0);
    }
    d.pos = 0;
    CVariableList dup;
    dup.Load(d);
    EXPECT_EQ(dup.Count(), 2);
    RValue v;
    ASSERT_TRUE(Reads(dup, kA, 0, v));
    EXPECT_EQ(v, R(2));
    dup.Set(kA, 0, R(3));  // and writes go to it too
    EXPECT_EQ(dup.Items()[0].value, R(1));
    EXPECT_EQ(dup.Items()[1].value, R(3));
}

TEST(VariablesSave, LoadedValuesKeepTheKindInvariant) {
    CStream s;
    PutValue(s, 1, 5, "s");  // a string carries real 0
    PutValue(s, 0, 2, "t");  // a real carries no text
    PutValue(s, 7, 3, "u");  // no third kind: a real
    s.pos = 0;
    EXPECT_EQ(LoadValue(s), S("s"));
    EXPECT_EQ(LoadValue(s), R(2));
    EXPECT_EQ(LoadValue(s), R(3));
}

TEST(VariablesSave, WrongVersionAndDamagedLists) {
    {  // another version: the list is empty and only the version was read
        CStream s;
        WriteInteger(s, 441);
        WriteInteger(s, 1);
        s.pos = 0;
        CVariableList l;
        l.Set(kA, 0, R(1));
        l.Load(s);
        EXPECT_EQ(l.Count(), 0);
        EXPECT_EQ(s.pos, 4u);
    }
    {  // a huge count with no data behind it fails at once
        CStream s;
        WriteInteger(s, 440);
        WriteInteger(s, 0x7fffffff);
        s.pos = 0;
        CVariableList l;
        EXPECT_THROW(l.Load(s), StreamError);
        EXPECT_EQ(l.Count(), 0);
    }
    {  // a huge row or element count likewise
        for (int32_t which : {0, 1}) {
            CStream s;
            WriteInteger(s, 440);
            WriteInteger(s, 1);
            WriteInteger(s, kA);
            PutValue(s, 0, 0, "");
            WriteInteger(s, which == 0 ? 0x7fffffff : 1);
            if (which == 1) WriteInteger(s, 0x7fffffff);
            s.pos = 0;
            CVariableList l;
            EXPECT_THROW(l.Load(s), StreamError) << which;
        }
    }
    {  // every truncation of a valid list throws and leaves it empty
        CVariableList l;
        l.Set(kA, kArrayDimension + 1, S("abc"));
        l.Set(kB, 0, R(2));
        CStream full;
        l.Save(full);
        for (size_t n = 4; n < full.Size(); ++n) {
            CStream cut(std::vector<uint8_t>(full.data.begin(), full.data.begin() + n));
            CVariableList back;
            EXPECT_THROW(back.Load(cut), StreamError) << n;
            EXPECT_EQ(back.Count(), 0) << n;
        }
    }
    {  // negative counts read as none
        CStream s;
        WriteInteger(s, 440);
        WriteInteger(s, -3);
        s.pos = 0;
        CVariableList l;
        l.Load(s);
        EXPECT_EQ(l.Count(), 0);
    }
}

TEST(VariablesGlobals, HandBuiltBlockAndRoundTrip) {
    CStream s;
    WriteInteger(s, 700);
    WriteInteger(s, 440);
    WriteInteger(s, 1);
    WriteInteger(s, kB);
    PutValue(s, 0, 8, "");
    WriteInteger(s, 0);
    WriteInteger(s, 3);  // a short table: ids 100000..100002
    WriteBoolean(s, false);
    WriteBoolean(s, true);
    WriteBoolean(s, false);
    s.pos = 0;

    CVariableList globals;
    globals.Set(kA, 0, R(1));
    GlobalVarTable table;
    LoadGlobals(s, globals, table);
    EXPECT_EQ(s.pos, s.Size());
    ASSERT_EQ(globals.Count(), 1);
    EXPECT_EQ(globals.Items()[0].id, kB);
    EXPECT_EQ(table.Entries().size(), 3u);
    EXPECT_FALSE(table.IsGlobal(kA));
    EXPECT_TRUE(table.IsGlobal(kB));
    EXPECT_FALSE(table.IsGlobal(kFirstUserVariable + 3));  // beyond the loaded table

    CStream out;
    SaveGlobals(out, globals, table);
    EXPECT_EQ(out.data, s.data);

    GlobalVarTable big;
    big.Declare(kFirstUserVariable + 20000);
    CVariableList g2;
    g2.Set(kC, 4, S("q"));
    CStream s2;
    SaveGlobals(s2, g2, big);
    s2.pos = 0;
    CVariableList g3;
    GlobalVarTable t3;
    LoadGlobals(s2, g3, t3);
    EXPECT_EQ(g3, g2);
    EXPECT_EQ(t3.Entries(), big.Entries());
}

TEST(VariablesGlobals, WrongVersionOrTruncationChangesNothing) {
    CVariableList globals;
    globals.Set(kA, 0, R(1));
    GlobalVarTable table;
    table.Declare(kB);
    const CVariableList globals_before = globals;
    const auto entries_before = table.Entries();

    CStream wrong;
    WriteInteger(wrong, 701);
    WriteInteger(wrong, 440);
    WriteInteger(wrong, 0);
    wrong.pos = 0;
    LoadGlobals(wrong, globals, table);
    EXPECT_EQ(globals, globals_before);
    EXPECT_EQ(table.Entries(), entries_before);

    CVariableList other;
    other.Set(kC, 0, R(5));
    GlobalVarTable other_table;
    CStream full;
    SaveGlobals(full, other, other_table);
    for (size_t n : {size_t(4), size_t(10), full.Size() - 1}) {
        CStream cut(std::vector<uint8_t>(full.data.begin(), full.data.begin() + n));
        EXPECT_THROW(LoadGlobals(cut, globals, table), StreamError) << n;
        EXPECT_EQ(globals, globals_before) << n;
        EXPECT_EQ(table.Entries(), entries_before) << n;
    }

    // A table length that the stream cannot hold fails before allocating.
    CStream huge;
    WriteInteger(huge, 700);
    WriteInteger(huge, 440);
    WriteInteger(huge, 0);
    WriteInteger(huge, 0x7fffffff);
    huge.pos = 0;
    EXPECT_THROW(LoadGlobals(huge, globals, table), StreamError);
    EXPECT_EQ(table.Entries(), entries_before);
}

TEST(VariablesGlobals, GlobalVarTableGrowth) {
    GlobalVarTable t;
    EXPECT_EQ(t.Entries().size(), 10000u);
    EXPECT_FALSE(t.IsGlobal(kA));
    t.Declare(5);  // built-in ids are ignored
    EXPECT_FALSE(t.IsGlobal(5));
    t.Declare(kFirstUserVariable - 1);
    EXPECT_EQ(t.Entries().size(), 10000u);
    t.Declare(kFirstUserVariable + 9999);  // last entry: no growth
    EXPECT_EQ(t.Entries().size(), 10000u);
    EXPECT_TRUE(t.IsGlobal(kFirstUserVariable + 9999));
    t.Declare(kFirstUserVariable + 10000);  // grows to id - 99000 entries
    EXPECT_EQ(t.Entries().size(), size_t(kFirstUserVariable + 10000 - 99000));
    EXPECT_TRUE(t.IsGlobal(kFirstUserVariable + 10000));
    EXPECT_FALSE(t.IsGlobal(kFirstUserVariable + 10001));
    EXPECT_FALSE(t.IsGlobal(kFirstUserVariable + 50000));  // beyond the table
    EXPECT_FALSE(t.IsGlobal(-5));
    t.Reset();  // a restart forgets every declaration
    EXPECT_EQ(t.Entries().size(), 10000u);
    EXPECT_FALSE(t.IsGlobal(kFirstUserVariable + 9999));
}

TEST(VariablesNames, IdsInOrderOfFirstUse) {
    VariableNames n;
    EXPECT_EQ(n.UserId("speed_x"), 100000);
    EXPECT_EQ(n.UserId("b"), 100001);
    EXPECT_EQ(n.UserId("speed_x"), 100000);
    EXPECT_EQ(n.UserId("B"), 100002);  // case-sensitive
    EXPECT_EQ(n.Count(), 3);
    EXPECT_EQ(n.UserName(100001), "b");
    EXPECT_EQ(n.UserName(100003), "<unknown variable>");
    EXPECT_EQ(n.UserName(99999), "<unknown variable>");
    EXPECT_EQ(n.UserName(-2147483647 - 1), "<unknown variable>");
    // Names stay valid as the table grows.
    for (int i = 0; i < 1000; ++i) n.UserId("v" + std::to_string(i));
    EXPECT_EQ(n.UserId("v0"), 100003);
    EXPECT_EQ(n.UserName(100003 + 999), "v999");
}

// ---- operators

struct OpCase {
    int32_t op;
    RValue left, right;
    RValue result;  // when message is null
    const char* message;
};

void RunBinary(const std::vector<OpCase>& cases) {
    for (const OpCase& c : cases) {
        RValue l = c.left;
        const char* m = ApplyBinary(c.op, l, c.right);
        const std::string what = Show(c.left) + " op" + std::to_string(c.op) + " " + Show(c.right);
        if (c.message) {
            ASSERT_NE(m, nullptr) << what;
            EXPECT_STREQ(m, c.message) << what;
        } else {
            ASSERT_EQ(m, nullptr) << what << ": " << m;
            EXPECT_EQ(l, c.result) << what << " gave " << Show(l);
        }
    }
}

const RValue kNone;

TEST(OperatorUnary, EveryOperator) {
    struct Case {
        int32_t op;
        RValue in, out;
        const char* message;
    } cases[] = {
        {kOpNot, R(0.5), R(0), nullptr},
        {kOpNot, R(0.49), R(1), nullptr},
        {kOpNot, R(-3), R(1), nullptr},
        {kOpPlus, R(-2.5), R(-2.5), nullptr},
        {kOpMinus, R(2.5), R(-2.5), nullptr},
        {kOpBitNot, R(0), R(-1), nullptr},
        {kOpBitNot, R(5), R(-6), nullptr},
        {kOpBitNot, R(2.5), R(-3), nullptr},
        {kOpBitNot, R(-0.5), R(-1), nullptr},
        {kOpNot, S("a"), kNone, "Wrong type of arguments to unary operator."},
        {kOpPlus, S(""), kNone, "Wrong type of arguments to unary operator."},
        {kOpMinus, S("1"), kNone, "Wrong type of arguments to unary operator."},
        {kOpBitNot, S("x"), kNone, "Wrong type of arguments to unary operator."},
        {kOpTimes, R(1), kNone, "Internal error: unknown unary operator."},
        {kOpTimes, S("a"), kNone, "Internal error: unknown unary operator."},
    };
    for (const Case& c : cases) {
        RValue v = c.in;
        const char* m = ApplyUnary(c.op, v);
        if (c.message) {
            ASSERT_NE(m, nullptr) << c.op << " " << Show(c.in);
            EXPECT_STREQ(m, c.message);
        } else {
            ASSERT_EQ(m, nullptr) << c.op << " " << Show(c.in);
            EXPECT_EQ(v, c.out) << c.op << " " << Show(c.in) << " gave " << Show(v);
        }
    }
}

TEST(OperatorBinary, Comparisons) {
    const double inf = std::numeric_limits<double>::infinity();
    const char* kCmp = "Cannot compare arguments.";
    RunBinary({
        {kOpEqual, S("abc"), S("abc"), R(1), nullptr},
        {kOpAssign, S("abc"), S("abd"), R(0), nullptr},  // `=` in an expression compares
        {kOpEqual, S(""), S(""), R(1), nullptr},
        {kOpEqual, R(0.1 + 0.2), R(0.3), R(0), nullptr},  // no tolerance
        {kOpAssign, R(2), R(2), R(1), nullptr},
        {kOpNotEqual, R(1), R(2), R(1), nullptr},
        {kOpNotEqual, S("a"), S("a"), R(0), nullptr},
        {kOpLess, S("10"), S("9"), R(1), nullptr},  // bytes, not numbers
        {kOpLess, S("a"), S("b"), R(1), nullptr},
        {kOpLess, S("B"), S("a"), R(1), nullptr},
        {kOpGreater, S("ab"), S("a"), R(1), nullptr},
        {kOpLess, S(""), S("a"), R(1), nullptr},
        {kOpLess, S("\x80"), S("a"), R(0), nullptr},  // bytes are unsigned
        {kOpGreater, S("\xff"), S("\x7f"), R(1), nullptr},
        {kOpLessEqual, S("a"), S("a"), R(1), nullptr},
        {kOpGreaterEqual, S("a"), S("b"), R(0), nullptr},
        {kOpLess, R(-1), R(0), R(1), nullptr},
        {kOpLessEqual, R(2), R(1), R(0), nullptr},
        {kOpGreaterEqual, R(1), R(1), R(1), nullptr},
        {kOpGreater, R(1), R(1), R(0), nullptr},
        // d = L - R: two equal infinities differ by NaN, which is no relation but "unequal".
        {kOpEqual, R(inf), R(inf), R(0), nullptr},
        {kOpNotEqual, R(inf), R(inf), R(1), nullptr},
        {kOpGreaterEqual, R(inf), R(inf), R(0), nullptr},
        {kOpLess, R(std::nan("")), R(0), R(0), nullptr},
        {kOpEqual, S("abc"), R(1), kNone, kCmp},
        {kOpAssign, R(0), S(""), kNone, kCmp},
        {kOpNotEqual, R(0), S(""), kNone, kCmp},
        {kOpLess, S("1"), R(1), kNone, kCmp},
        {kOpLessEqual, S("1"), R(1), kNone, kCmp},
        {kOpGreater, S("1"), R(1), kNone, kCmp},
        {kOpGreaterEqual, R(1), S("1"), kNone, kCmp},
    });
}

TEST(OperatorBinary, Arithmetic) {
    RunBinary({
        {kOpPlus, R(1.5), R(2), R(3.5), nullptr},
        {kOpPlus, S("a"), S("b"), S("ab"), nullptr},
        {kOpPlus, S(""), S("b"), S("b"), nullptr},
        {kOpPlus, S("a"), S(""), S("a"), nullptr},
        {kOpPlus, S(""), S(""), S(""), nullptr},
        {kOpPlus, R(1), S("a"), kNone, "Wrong type of arguments to +."},
        {kOpPlus, S("a"), R(1), kNone, "Wrong type of arguments to +."},
        {kOpMinus, R(1), R(3), R(-2), nullptr},
        {kOpMinus, S("a"), S("a"), kNone, "Wrong type of arguments to -."},
        {kOpTimes, R(3), R(-2), R(-6), nullptr},
        {kOpTimes, R(3), S("ab"), S("ababab"), nullptr},
        {kOpTimes, R(0), S("ab"), S(""), nullptr},
        {kOpTimes, R(-2), S("ab"), S(""), nullptr},
        {kOpTimes, R(2.5), S("x"), S("xx"), nullptr},  // halves to even
        {kOpTimes, R(3.5), S("x"), S("xxxx"), nullptr},
        {kOpTimes, R(4294967298.0), S("x"), S("xx"), nullptr},  // low 32 bits
        {kOpTimes, R(4294967295.0), S("x"), S(""), nullptr},    // low 32 bits: -1
        {kOpTimes, R(1e9), S(""), S(""), nullptr},
        {kOpTimes, S("ab"), R(3), kNone, "Wrong type of arguments to *."},
        {kOpTimes, S("ab"), S("c"), kNone, "Wrong type of arguments to *."},
        {kOpTimes, R(2000000000), S("abc"), kNone, "Out of memory."},
        {kOpDivide, R(7), R(2), R(3.5), nullptr},
        {kOpDivide, R(10), R(0), kNone, "Division by 0."},
        {kOpDivide, R(0), R(-0.0), kNone, "Division by 0."},
        {kOpDivide, S("a"), R(0), kNone, "Wrong type of arguments to /."},
        {kOpDivide, R(1), S("a"), kNone, "Wrong type of arguments to /."},
    });
}

TEST(OperatorBinary, DivAndMod) {
    RunBinary({
        {kOpDiv, R(7), R(2), R(3), nullptr},
        {kOpDiv, R(-7), R(2), R(-3), nullptr},
        {kOpDiv, R(7), R(-2), R(-3), nullptr},
        {kOpDiv, R(5.5), R(2), R(2), nullptr},
        {kOpDiv, R(1), R(3), R(0), nullptr},
        // The quotient keeps only its low 32 bits.
        {kOpDiv, R(2147483648.0), R(1), R(-2147483648.0), nullptr},
        {kOpDiv, R(4294967296.0 + 5), R(1), R(5), nullptr},
        {kOpDiv, R(-4294967296.0 - 5), R(1), R(-5), nullptr},
        {kOpDiv, R(1e30), R(1), R(0), nullptr},       // a multiple of 2^32
        {kOpDiv, R(1e308), R(1e-10), R(0), nullptr},  // infinite quotient
        {kOpDiv, R(1), R(0), kNone, "Division by 0."},
        {kOpDiv, S("a"), R(0), kNone, "Wrong type of arguments to div."},
        {kOpMod, R(7), R(3), R(1), nullptr},
        {kOpMod, R(-7), R(3), R(-1), nullptr},
        {kOpMod, R(7), R(-3), R(1), nullptr},
        {kOpMod, R(-7), R(2), R(-1), nullptr},
        {kOpMod, R(5.5), R(2), R(1.5), nullptr},
        {kOpMod, R(6), R(3), R(0), nullptr},
        {kOpMod, R(2147483648.0), R(1), R(4294967296.0), nullptr},  // q wraps to -2^31
        {kOpMod, R(10), R(0), kNone, "Modulo by 0."},
        {kOpMod, R(10), S("a"), kNone, "Wrong type of arguments to mod."},
        {kOpMod, S("a"), R(0), kNone, "Wrong type of arguments to mod."},
    });
}

TEST(OperatorBinary, LogicalAndBitwise) {
    RunBinary({
        {kOpAnd, R(0.5), R(0.5), R(1), nullptr},
        {kOpAnd, R(1), R(0.49), R(0), nullptr},
        {kOpOr, R(0.49), R(0), R(0), nullptr},
        {kOpOr, R(0), R(0.5), R(1), nullptr},
        {kOpXor, R(1), R(1), R(0), nullptr},
        {kOpXor, R(1), R(0), R(1), nullptr},
        {kOpXor, R(0), R(0), R(0), nullptr},
        {kOpAnd, S("a"), R(1), kNone, "Wrong type of arguments for &&."},
        {kOpOr, R(1), S("a"), kNone, "Wrong type of arguments for ||."},
        {kOpXor, S(""), S(""), kNone, "Wrong type of arguments for ^^."},
        {kOpBitOr, R(2.5), R(0), R(2), nullptr},
        {kOpBitOr, R(3.5), R(0), R(4), nullptr},
        {kOpBitAnd, R(-0.5), R(1), R(0), nullptr},
        {kOpBitOr, R(5), R(2), R(7), nullptr},
        {kOpBitAnd, R(-1), R(255), R(255), nullptr},
        {kOpBitXor, R(6), R(3), R(5), nullptr},
        {kOpBitXor, R(-1), R(0), R(-1), nullptr},
        {kOpBitOr, R(4294967296.0), R(1), R(4294967297.0), nullptr},  // 64-bit, not 32
        {kOpBitOr, R(std::nan("")), R(1), R(1), nullptr},
        {kOpBitOr, S("a"), R(1), kNone, "Wrong type of arguments for |."},
        {kOpBitAnd, R(1), S("a"), kNone, "Wrong type of arguments for &."},
        {kOpBitXor, S("a"), S("a"), kNone, "Wrong type of arguments for ^."},
    });
}

TEST(OperatorBinary, Shifts) {
    RunBinary({
        {kOpShiftLeft, R(1), R(3), R(8), nullptr},
        {kOpShiftLeft, R(1), R(0), R(1), nullptr},
        {kOpShiftLeft, R(1), R(63), R(-9223372036854775808.0), nullptr},  // signed back
        {kOpShiftLeft, R(1), R(64), R(0), nullptr},
        {kOpShiftLeft, R(1), R(127), R(0), nullptr},
        {kOpShiftLeft, R(1), R(256 + 3), R(8), nullptr},  // low 8 bits of the count
        {kOpShiftLeft, R(1), R(2.5), R(4), nullptr},      // the count is rounded
        {kOpShiftLeft, R(1.5), R(1), R(4), nullptr},
        // Byte values 128 to 255 (every negative count among them) give 0.
        {kOpShiftLeft, R(1), R(128), R(0), nullptr},
        {kOpShiftLeft, R(1), R(-1), R(0), nullptr},
        {kOpShiftRight, R(8), R(-3), R(0), nullptr},
        {kOpShiftRight, R(8), R(1), R(4), nullptr},
        {kOpShiftRight, R(-8), R(1), R(9223372036854775808.0), nullptr},  // zeros from the left
        {kOpShiftRight, R(-1), R(0), R(-1), nullptr},
        {kOpShiftRight, R(-1), R(63), R(1), nullptr},
        {kOpShiftRight, R(-1), R(64), R(0), nullptr},
        {kOpShiftLeft, S("a"), R(1), kNone, "Wrong type of arguments for <<."},
        {kOpShiftRight, R(1), S("a"), kNone, "Wrong type of arguments for >>."},
    });
}

TEST(OperatorBinary, UnknownCodesAndResultKinds) {
    RunBinary({
        {kOpAddAssign, R(1), R(1), kNone, "Internal error: unknown binary operator."},
        {kOpNot, R(1), R(1), kNone, "Internal error: unknown binary operator."},
        {0, S("a"), S("b"), kNone, "Internal error: unknown binary operator."},
    });
    // A comparison of texts leaves a plain real: no text behind it.
    RValue l = S("abc");
    ASSERT_EQ(ApplyBinary(kOpEqual, l, S("abc")), nullptr);
    EXPECT_EQ(l.kind, kKindReal);
    EXPECT_TRUE(l.text.empty());
    // The left operand may be the right one (x += x).
    RValue x = S("ab");
    ASSERT_EQ(ApplyBinary(kOpPlus, x, x), nullptr);
    EXPECT_EQ(x, S("abab"));
    RValue n = R(3);
    ASSERT_EQ(ApplyBinary(kOpMod, n, n), nullptr);
    EXPECT_EQ(n, R(0));
    // Building a text never alters the operands' shared buffers.
    RValue a = S("x");
    RValue keep = a;
    ASSERT_EQ(ApplyBinary(kOpPlus, a, S("y")), nullptr);
    EXPECT_EQ(keep, S("x"));
    EXPECT_EQ(a, S("xy"));
}

}  // namespace
}  // namespace tb
