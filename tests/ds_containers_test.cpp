#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ds/compare.h"
#include "ds/containers.h"
#include "ds/store.h"
#include "functions/register.h"
#include "runner/stream.h"
#include "script/engine.h"
#include "script/random.h"
#include "script/registry.h"
#include "script/variables.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;

RValue R(double d) {
    return RValue::Real(d);
}
RValue S(const char* s) {
    return RValue::String(s);
}

// The precision is game-wide: every test that changes it puts the default back.
struct DsTest : ::testing::Test {
    void TearDown() override { SetDsPrecision(kDefaultDsPrecision); }
};

// The entries of a list, front to back.
std::vector<RValue> Items(const CDS_List& l) {
    std::vector<RValue> out;
    for (int32_t i = 0; i < l.Size(); ++i) out.push_back(l.FindValue(i));
    return out;
}

CDS_List ListOf(const std::vector<RValue>& values) {
    CDS_List l;
    for (const RValue& v : values) l.Add(v);
    return l;
}

// ---- comparison

TEST_F(DsTest, CompareValuesPrecisionAndKinds) {
    struct Case {
        double precision;
        RValue a, b;
        int expected;
    };
    const Case cases[] = {
        {kDefaultDsPrecision, R(1), R(1.000000001), 0},
        {kDefaultDsPrecision, R(1), R(1.0000001), -1},
        {kDefaultDsPrecision, R(2), R(1), 1},
        {-0.5, R(1), R(1.4), 0},  // stored as its absolute value
        {0.5, R(1), R(1.6), -1},
        {0, R(1e6), R(1e6 + 1e-7), 0},  // relative: 1e6 * 1e-12
        {0, R(1e6), R(1e6 + 1e-5), -1},
        {0, R(0), R(5e-13), 0},  // floor of 1e-12
        {kDefaultDsPrecision, S("a"), S("b"), -1},
        {kDefaultDsPrecision, S("B"), S("a"), -1},  // bytes, case-sensitive
        {kDefaultDsPrecision, S("ab"), S("ab"), 0},
        {kDefaultDsPrecision, R(1e30), S(""), -1},  // a real is below any text
        {kDefaultDsPrecision, S(""), R(-1e30), 1},
    };
    for (const Case& c : cases) {
        SetDsPrecision(c.precision);
        EXPECT_EQ(CompareValues(c.a, c.b), c.expected)
            << c.precision << " " << c.a.real << c.a.text.view() << " " << c.b.real
            << c.b.text.view();
    }
}

// ---- stack and queue

TEST_F(DsTest, StackOrderAndEmptyResults) {
    CDS_Stack s;
    EXPECT_TRUE(IsReal(s.Pop(), 0));
    EXPECT_TRUE(IsReal(s.Top(), 0));
    for (int i = 0; i < 40; ++i) s.Push(R(i));
    s.Push(S("top"));
    EXPECT_EQ(s.Size(), 41);
    EXPECT_TRUE(IsText(s.Top(), "top"));
    EXPECT_TRUE(IsText(s.Pop(), "top"));
    for (int i = 39; i >= 0; --i) EXPECT_TRUE(IsReal(s.Pop(), i));
    EXPECT_TRUE(s.Empty());
}

TEST_F(DsTest, QueueCompactsOnlyWhenHeadPassesHalfTheTail) {
    CDS_Queue q;
    for (int i = 0; i < 40; ++i) q.Enqueue(R(i));
    EXPECT_EQ(q.BackingLength(), 48u);  // grown 16 at a time
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(IsReal(q.Dequeue(), i));
    EXPECT_EQ(q.HeadIndex(), 20);  // 20 is not greater than 40 div 2
    EXPECT_EQ(q.TailIndex(), 40);
    EXPECT_TRUE(IsReal(q.Dequeue(), 20));
    EXPECT_EQ(q.HeadIndex(), 0);
    EXPECT_EQ(q.TailIndex(), 19);
    EXPECT_EQ(q.BackingLength(), 48u);  // compaction keeps the array
    EXPECT_TRUE(IsReal(q.Head(), 21));
    EXPECT_TRUE(IsReal(q.Tail(), 39));
    EXPECT_EQ(q.Size(), 19);

    // Short queues never compact: head must pass 16.
    CDS_Queue small;
    for (int i = 0; i < 16; ++i) small.Enqueue(R(i));
    for (int i = 0; i < 16; ++i) small.Dequeue();
    EXPECT_EQ(small.HeadIndex(), 16);
    EXPECT_TRUE(small.Empty());
    EXPECT_TRUE(IsReal(small.Dequeue(), 0));
    EXPECT_TRUE(IsReal(small.Head(), 0));
    EXPECT_TRUE(IsReal(small.Tail(), 0));
    small.Enqueue(S("x"));
    EXPECT_TRUE(IsText(small.Head(), "x"));
    EXPECT_TRUE(IsText(small.Tail(), "x"));
}

// ---- list

TEST_F(DsTest, ListPositionsOutsideTheRangeChangeNothing) {
    struct Case {
        const char* op;
        int32_t pos;
        std::vector<double> expected;
    };
    const Case cases[] = {
        {"insert", -1, {1, 2, 3}}, {"insert", 0, {9, 1, 2, 3}}, {"insert", 3, {1, 2, 3, 9}},
        {"insert", 4, {1, 2, 3}},  {"replace", -1, {1, 2, 3}},  {"replace", 2, {1, 2, 9}},
        {"replace", 3, {1, 2, 3}}, {"delete", -1, {1, 2, 3}},   {"delete", 0, {2, 3}},
        {"delete", 2, {1, 2}},     {"delete", 3, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        CDS_List l = ListOf({R(1), R(2), R(3)});
        const std::string op = c.op;
        if (op == "insert") l.Insert(c.pos, R(9));
        if (op == "replace") l.Replace(c.pos, R(9));
        if (op == "delete") l.Delete(c.pos);
        std::vector<double> got;
        for (const RValue& v : Items(l)) got.push_back(v.real);
        EXPECT_EQ(got, c.expected) << c.op << " " << c.pos;
    }
    CDS_List l = ListOf({R(1), S("a")});
    EXPECT_TRUE(IsReal(l.FindValue(-1), 0));
    EXPECT_TRUE(IsReal(l.FindValue(2), 0));
    EXPECT_EQ(l.FindIndex(R(1.000000001)), 0);  // equal within the default precision
    EXPECT_EQ(l.FindIndex(S("a")), 1);
    EXPECT_EQ(l.FindIndex(S("A")), -1);
    EXPECT_EQ(l.FindIndex(R(0)), -1);
}

TEST_F(DsTest, ListInsertAcrossGrowthKeepsOrder) {
    CDS_List l;
    for (int i = 0; i < 33; ++i) l.Insert(0, R(i));  // 16 and 32 are full arrays
    ASSERT_EQ(l.Size(), 33);
    for (int i = 0; i < 33; ++i) EXPECT_TRUE(IsReal(l.FindValue(i), 32 - i));
}

TEST_F(DsTest, ListSortStability) {
    // 1 and 1.000000001 compare equal, so their relative order shows the stability rule.
    const RValue a = R(1.000000001), b = R(1);
    CDS_List up = ListOf({a, R(0), b, S("z"), S("y")});
    up.Sort(true);
    const std::vector<RValue> ascending = {R(0), a, b, S("y"), S("z")};
    EXPECT_EQ(Items(up), ascending);  // equal entries keep their order

    CDS_List down = ListOf({a, R(0), b, S("z"), S("y")});
    down.Sort(false);
    const std::vector<RValue> descending = {S("z"), S("y"), b, a, R(0)};
    EXPECT_EQ(Items(down), descending);  // equal entries swap

    CDS_List mixed = ListOf({R(2), S("a"), R(1)});
    mixed.Sort(true);
    EXPECT_EQ(Items(mixed), (std::vector<RValue>{R(1), R(2), S("a")}));
    mixed.Sort(false);
    EXPECT_EQ(Items(mixed), (std::vector<RValue>{S("a"), R(2), R(1)}));
}

TEST_F(DsTest, ListSortMatchesTheInsertionSortOnRandomLists) {
    // The reference is the defining insertion sort; the list may take a faster route.
    auto reference = [](std::vector<RValue> v, bool ascending) {
        for (size_t i = 1; i < v.size(); ++i) {
            RValue x = v[i];
            size_t j = i;
            for (; j > 0; --j) {
                const int c = CompareValues(v[j - 1], x);
                if (ascending ? c <= 0 : c > 0) break;
                v[j] = v[j - 1];
            }
            v[j] = x;
        }
        return v;
    };
    RandomGenerator random;
    random.SetSeed(99);
    for (double precision : {kDefaultDsPrecision, 0.0, 0.5}) {
        SetDsPrecision(precision);
        for (int round = 0; round < 40; ++round) {
            std::vector<RValue> values;
            const uint32_t n = random.Below(60);
            for (uint32_t i = 0; i < n; ++i) {
                const uint32_t k = random.Below(10);
                if (k == 0)
                    values.push_back(S(k % 2 ? "b" : "a"));
                else if (k < 3)
                    values.push_back(R(double(random.Below(5)) + 1e-9 * random.Below(3)));
                else
                    values.push_back(R(double(random.Below(8)) - 4));
            }
            for (bool ascending : {true, false}) {
                CDS_List l = ListOf(values);
                l.Sort(ascending);
                EXPECT_EQ(Items(l), reference(values, ascending))
                    << "precision " << precision << " round " << round << " up " << ascending;
            }
        }
    }
    SetDsPrecision(kDefaultDsPrecision);
}

TEST_F(DsTest, ListShuffleDrawsTwicePerExchangeFromTheGivenGenerator) {
    CDS_List l;
    for (int i = 0; i < 10; ++i) l.Add(R(i));
    RandomGenerator random, reference;
    random.SetSeed(1234);
    reference.SetSeed(1234);
    l.Shuffle(random);
    for (int i = 0; i < 10 * 8 * 2; ++i) reference.NextReal();
    EXPECT_EQ(random.Seed(), reference.Seed());

    std::vector<double> got;
    for (const RValue& v : Items(l)) got.push_back(v.real);
    EXPECT_NE(got, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    // The same seed gives the same order.
    CDS_List again;
    for (int i = 0; i < 10; ++i) again.Add(R(i));
    RandomGenerator same;
    same.SetSeed(1234);
    again.Shuffle(same);
    EXPECT_EQ(Items(again), Items(l));
    CDS_List empty;
    empty.Shuffle(same);  // draws nothing
    EXPECT_EQ(same.Seed(), reference.Seed());
}

// ---- map

TEST_F(DsTest, MapDuplicatesAndNeighbours) {
    CDS_Map m;
    m.Add(R(5), S("five"));
    m.Add(R(3), S("three a"));
    m.Add(R(1), S("one"));
    m.Add(R(3), S("three b"));
    struct Case {
        const char* op;
        RValue key;
        RValue expected;
    };
    const Case cases[] = {
        {"value", R(3), S("three a")},  // the first added of equal keys
        {"value", R(3.000000001), S("three a")},
        {"value", R(4), R(0)},
        {"next", R(3), R(5)},
        {"next", R(0), R(1)},
        {"next", R(2), R(3)},
        {"next", R(5), R(0)},
        {"next", S("a"), R(0)},
        {"previous", R(3), R(1)},
        {"previous", R(1), R(0)},
        {"previous", R(4), R(3)},
        {"previous", R(6), R(0)},  // beyond every key: nothing
        {"previous", S("a"), R(0)},
    };
    for (const Case& c : cases) {
        const std::string op = c.op;
        RValue got = op == "value"  ? m.FindValue(c.key)
                     : op == "next" ? m.FindNext(c.key)
                                    : m.FindPrevious(c.key);
        EXPECT_EQ(got, c.expected) << c.op << " " << c.key.real << c.key.text.view();
    }
    EXPECT_TRUE(IsReal(m.FindFirst(), 1));
    EXPECT_TRUE(IsReal(m.FindLast(), 5));
    EXPECT_TRUE(m.Exists(R(3)));
    EXPECT_FALSE(m.Exists(R(2)));

    m.Replace(R(4), S("four"));  // a missing key adds nothing
    EXPECT_EQ(m.Size(), 4);
    EXPECT_FALSE(m.Exists(R(4)));
    m.Replace(R(3), S("three c"));
    EXPECT_TRUE(IsText(m.FindValue(R(3)), "three c"));
    m.Delete(R(3));  // the first match only
    EXPECT_EQ(m.Size(), 3);
    EXPECT_TRUE(IsText(m.FindValue(R(3)), "three b"));
    m.Delete(R(3));
    m.Delete(R(3));
    EXPECT_EQ(m.Size(), 2);

    CDS_Map empty;
    EXPECT_TRUE(IsReal(empty.FindFirst(), 0));
    EXPECT_TRUE(IsReal(empty.FindLast(), 0));
    EXPECT_TRUE(IsReal(empty.FindNext(R(1)), 0));
    EXPECT_TRUE(IsReal(empty.FindPrevious(R(1)), 0));
}

TEST_F(DsTest, LargeMapStaysSortedAndFindsLikeALinearSearch) {
    // Enough keys for the halving search to run, added in a scrambled order, with strings
    // and a run of duplicates.
    CDS_Map m;
    std::vector<double> keys;
    for (int i = 0; i < 3000; ++i) keys.push_back(double((i * 37) % 1009));  // each about 3 times
    for (size_t i = 0; i < keys.size(); ++i) m.Add(R(keys[i]), R(double(i)));
    m.Add(S("b"), R(-1));
    m.Add(S("a"), R(-2));
    std::sort(keys.begin(), keys.end());
    ASSERT_EQ(m.Size(), 3002);
    EXPECT_TRUE(IsReal(m.FindFirst(), 0));
    EXPECT_TRUE(IsText(m.FindLast(), "b"));
    for (double k = -1.5; k <= 1009; k += 0.5) {
        const auto lo = std::lower_bound(keys.begin(), keys.end(), k);
        const auto hi = std::upper_bound(keys.begin(), keys.end(), k);
        const RValue prev = lo == keys.begin() ? R(0) : R(*(lo - 1));  // some key is a text
        const RValue next = hi == keys.end() ? S("a") : R(*hi);
        EXPECT_EQ(m.FindPrevious(R(k)), prev) << k;
        EXPECT_EQ(m.FindNext(R(k)), next) << k;
        EXPECT_EQ(m.Exists(R(k)), lo != hi) << k;
    }
    // Equal keys keep the order they were added in: key 0 came from i = 0, 1009, 2018.
    EXPECT_TRUE(IsReal(m.FindValue(R(0)), 0));
    m.Delete(R(0));
    EXPECT_TRUE(IsReal(m.FindValue(R(0)), 1009));
    m.Delete(R(0));
    EXPECT_TRUE(IsReal(m.FindValue(R(0)), 2018));
    EXPECT_TRUE(IsText(m.FindNext(R(1008)), "a"));
    EXPECT_TRUE(IsReal(m.FindValue(S("a")), -2));

    // Emptying whole stretches of keys keeps every neighbour search right.
    for (int k = 100; k < 900; ++k)
        while (m.Exists(R(k))) m.Delete(R(k));
    EXPECT_TRUE(IsReal(m.FindNext(R(99)), 900));
    EXPECT_TRUE(IsReal(m.FindPrevious(R(900)), 99));
    EXPECT_TRUE(IsReal(m.FindPrevious(R(500)), 99));
    CDS_Map copy;
    ASSERT_TRUE(copy.ReadText(m.WriteText()));
    EXPECT_EQ(copy.WriteText(), m.WriteText());
    EXPECT_EQ(copy.Size(), m.Size());
    EXPECT_TRUE(IsReal(copy.FindNext(R(99)), 900));
}

// ---- priority queue

TEST_F(DsTest, PrioritySelectionAndLastMovesIntoPlace) {
    CDS_Priority p;
    p.Add(S("a"), R(1));
    p.Add(S("b"), R(1));
    p.Add(S("c"), R(1.000000001));  // equal within the precision
    EXPECT_TRUE(IsText(p.FindMin(), "a"));
    EXPECT_TRUE(IsText(p.FindMax(), "a"));  // the first stored of equals wins both ways
    EXPECT_TRUE(IsText(p.DeleteMin(), "a"));
    EXPECT_TRUE(IsText(p.DeleteMin(), "c"));  // c moved into a's place
    EXPECT_TRUE(IsText(p.DeleteMin(), "b"));
    EXPECT_TRUE(IsReal(p.DeleteMin(), 0));
    EXPECT_TRUE(IsReal(p.FindMax(), 0));

    p.Add(R(10), R(5));
    p.Add(R(20), R(-3));
    p.Add(R(30), R(9));
    p.Add(R(40), S("urgent"));  // a text priority is above every real
    EXPECT_TRUE(IsReal(p.FindMin(), 20));
    EXPECT_TRUE(IsReal(p.FindMax(), 40));
    p.ChangePriority(R(40), R(0));
    p.ChangePriority(R(99), R(100));  // absent: nothing
    EXPECT_TRUE(IsReal(p.FindPriority(R(40)), 0));
    EXPECT_TRUE(IsReal(p.FindPriority(R(99)), 0));
    EXPECT_TRUE(IsReal(p.DeleteMax(), 30));
    p.DeleteValue(R(10));  // 40 moves into place
    EXPECT_EQ(p.Size(), 2);
    EXPECT_TRUE(IsReal(p.FindMax(), 40));
    EXPECT_TRUE(IsReal(p.FindMin(), 20));
    p.DeleteValue(R(7));
    EXPECT_EQ(p.Size(), 2);
}

// ---- text forms

// A structure of each kind with some content, and an empty one to read into.
template <typename T>
void ExpectRoundTrip(const T& full) {
    const std::string text = full.WriteText();
    T copy;
    ASSERT_TRUE(copy.ReadText(text));
    EXPECT_EQ(copy.WriteText(), text);
    T dup;
    dup.CopyFrom(full);
    EXPECT_EQ(dup.WriteText(), text);
    // Lower-case digits decode alike.
    std::string lower = text;
    for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    T again;
    ASSERT_TRUE(again.ReadText(lower));
    EXPECT_EQ(again.WriteText(), text);
}

// Every proper prefix fails and leaves `target`'s content alone.
template <typename T>
void ExpectPrefixesFail(const T& full, const T& target) {
    const std::string text = full.WriteText();
    const std::string before = target.WriteText();
    for (size_t n = 0; n < text.size(); ++n) {
        T t;
        t.CopyFrom(target);
        EXPECT_FALSE(t.ReadText(std::string_view(text).substr(0, n))) << n;
        EXPECT_EQ(t.WriteText(), before) << n;
    }
}

CDS_Stack SampleStack() {
    CDS_Stack s;
    s.Push(R(1.5));
    s.Push(S("two"));
    return s;
}
CDS_Queue SampleQueue() {
    CDS_Queue q;
    for (int i = 0; i < 20; ++i) q.Enqueue(i % 3 ? R(i) : S("q"));
    for (int i = 0; i < 5; ++i) q.Dequeue();  // stale entries at the front
    return q;
}
CDS_List SampleList() {
    return ListOf({S("x"), R(-2), S(""), R(1e300)});
}
CDS_Map SampleMap() {
    CDS_Map m;
    m.Add(S("k"), R(1));
    m.Add(R(2), S("v"));
    m.Add(R(2), R(3));
    return m;
}
CDS_Priority SamplePriority() {
    CDS_Priority p;
    p.Add(S("job"), R(4));
    p.Add(R(7), S("p"));
    return p;
}

TEST_F(DsTest, TextFormsRoundTrip) {
    ExpectRoundTrip(SampleStack());
    ExpectRoundTrip(SampleQueue());
    ExpectRoundTrip(SampleList());
    ExpectRoundTrip(SampleMap());
    ExpectRoundTrip(SamplePriority());
    ExpectRoundTrip(CDS_Stack());
    ExpectRoundTrip(CDS_Queue());
}

// Hex fields joined, so expected texts can be written field by field.
std::string Hex(std::initializer_list<const char*> fields) {
    std::string out;
    for (const char* f : fields) out += f;
    return out;
}
// Written values: kind, real, text length and bytes.
const std::string kOne = Hex({"00000000", "000000000000F03F", "00000000"});
const std::string kTwo = Hex({"00000000", "0000000000000040", "00000000"});
const std::string kThree = Hex({"00000000", "0000000000000840", "00000000"});
const std::string kZero = Hex({"00000000", "0000000000000000", "00000000"});
const std::string kA = Hex({"01000000", "0000000000000000", "01000000", "61"});
const std::string kB = Hex({"01000000", "0000000000000000", "01000000", "62"});

TEST_F(DsTest, TextFormByteLayout) {
    CDS_Stack s;
    s.Push(R(1));
    s.Push(S("a"));
    EXPECT_EQ(s.WriteText(), Hex({"65000000", "02000000"}) + kOne + kA);  // 101, count

    CDS_Queue q;
    q.Enqueue(R(2));
    q.Dequeue();
    q.Enqueue(R(3));
    // 201, tail 2, head 1, backing length 16 and all 16 entries (the first stale).
    std::string queue = Hex({"C9000000", "02000000", "01000000", "10000000"}) + kTwo + kThree;
    for (int i = 0; i < 14; ++i) queue += kZero;
    EXPECT_EQ(q.WriteText(), queue);

    CDS_Map m;
    m.Add(R(2), S("a"));
    m.Add(R(1), S("b"));
    // 401, count 2, the keys in order, then their values.
    EXPECT_EQ(m.WriteText(), Hex({"91010000", "02000000"}) + kOne + kTwo + kB + kA);
    CDS_Priority p;
    p.Add(S("a"), R(1));
    // 501, count 1, the priority, then the value.
    EXPECT_EQ(p.WriteText(), Hex({"F5010000", "01000000"}) + kOne + kA);
    EXPECT_EQ(ListOf({}).WriteText(), "2D01000000000000");
}

TEST_F(DsTest, TextFormReadReplacesContentAsStored) {
    // The queue takes head, tail and backing array as written.
    CDS_Queue q;
    ASSERT_TRUE(q.ReadText(SampleQueue().WriteText()));
    EXPECT_EQ(q.HeadIndex(), 5);
    EXPECT_EQ(q.TailIndex(), 20);
    EXPECT_EQ(q.BackingLength(), 32u);
    EXPECT_TRUE(IsReal(q.Head(), 5));

    // A map's keys are not sorted again.
    CStream s;
    WriteInteger(s, 401);
    WriteInteger(s, 2);
    SaveValue(s, R(9));
    SaveValue(s, R(1));
    SaveValue(s, S("nine"));
    SaveValue(s, S("one"));
    CDS_Map m = SampleMap();
    ASSERT_TRUE(m.ReadText(ToHex(s)));
    EXPECT_EQ(m.Size(), 2);
    EXPECT_TRUE(IsReal(m.FindFirst(), 9));
    EXPECT_TRUE(IsReal(m.FindLast(), 1));

    // A read stack keeps growing correctly.
    CDS_Stack st;
    ASSERT_TRUE(st.ReadText(SampleStack().WriteText()));
    for (int i = 0; i < 20; ++i) st.Push(R(i));
    EXPECT_EQ(st.Size(), 22);
    EXPECT_TRUE(IsReal(st.Top(), 19));
}

TEST_F(DsTest, TruncatedTextsFailCleanly) {
    ExpectPrefixesFail(SampleStack(), SampleStack());
    ExpectPrefixesFail(SampleQueue(), SampleQueue());
    ExpectPrefixesFail(SampleList(), SampleList());
    ExpectPrefixesFail(SampleMap(), SampleMap());
    ExpectPrefixesFail(SamplePriority(), SamplePriority());
}

TEST_F(DsTest, WrongKindAndMalformedTextsChangeNothing) {
    auto header = [](std::initializer_list<int32_t> ints) {
        CStream s;
        for (int32_t v : ints) WriteInteger(s, v);
        return s;
    };
    auto with_value = [&](std::initializer_list<int32_t> ints) {
        CStream s = header(ints);
        SaveValue(s, R(1));
        return ToHex(s);
    };
    const std::string list_text = SampleList().WriteText();
    const std::string texts[] = {
        list_text,                      // another kind's number
        "not hex at all",               // decodes to zeros
        with_value({101, -1}),          // negative count
        with_value({101, 0x7FFFFFFF}),  // a count the data cannot hold
        with_value({101, 2}),           // one value short
    };
    for (const std::string& t : texts) {
        CDS_Stack s = SampleStack();
        EXPECT_FALSE(s.ReadText(t)) << t;
        EXPECT_EQ(s.WriteText(), SampleStack().WriteText()) << t;
    }

    const std::string queue_texts[] = {
        with_value({201, 1, 2, 1}),           // head after tail
        with_value({201, 2, 0, 1}),           // tail beyond the backing array
        with_value({201, 0, -1, 1}),          // negative head
        with_value({201, 1, 0, 0x40000000}),  // backing length the data cannot hold
        list_text,
    };
    for (const std::string& t : queue_texts) {
        CDS_Queue q = SampleQueue();
        EXPECT_FALSE(q.ReadText(t)) << t;
        EXPECT_EQ(q.WriteText(), SampleQueue().WriteText()) << t;
    }

    CDS_Map m = SampleMap();
    CStream half = header({401, 2});
    SaveValue(half, R(1));
    SaveValue(half, R(2));
    SaveValue(half, R(3));  // keys complete, one value missing
    EXPECT_FALSE(m.ReadText(ToHex(half)));
    EXPECT_FALSE(m.ReadText(list_text));
    EXPECT_EQ(m.WriteText(), SampleMap().WriteText());
    CDS_Priority p = SamplePriority();
    EXPECT_FALSE(p.ReadText(SampleMap().WriteText()));
    EXPECT_EQ(p.WriteText(), SamplePriority().WriteText());
    CDS_List l = SampleList();
    EXPECT_FALSE(l.ReadText(SampleStack().WriteText()));
    EXPECT_EQ(l.WriteText(), list_text);
}

TEST_F(DsTest, CopyAndClear) {
    CDS_Queue q = SampleQueue();
    CDS_Queue c;
    c.Enqueue(S("old"));
    c.CopyFrom(q);
    EXPECT_EQ(c.Size(), 15);
    EXPECT_EQ(c.WriteText(), q.WriteText());
    c.Dequeue();
    EXPECT_EQ(q.Size(), 15);  // a copy, not a share
    c.Clear();
    EXPECT_TRUE(c.Empty());
    EXPECT_TRUE(IsReal(c.Head(), 0));
    c.Enqueue(R(1));
    EXPECT_TRUE(IsReal(c.Tail(), 1));

    CDS_Map m = SampleMap();
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_FALSE(m.Exists(R(2)));
    CDS_Priority p = SamplePriority();
    p.Clear();
    EXPECT_TRUE(IsReal(p.FindMin(), 0));
}

// ---- script functions

TEST(DsFunctions, RegisteredWithTheirArgumentCounts) {
    FunctionRegistry r;
    RegisterDsContainerFunctions(r);
    const std::pair<const char*, int> all[] = {
        {"ds_set_precision", 1},
        {"ds_stack_create", 0},
        {"ds_stack_destroy", 1},
        {"ds_stack_clear", 1},
        {"ds_stack_copy", 2},
        {"ds_stack_size", 1},
        {"ds_stack_empty", 1},
        {"ds_stack_push", 2},
        {"ds_stack_pop", 1},
        {"ds_stack_top", 1},
        {"ds_stack_write", 1},
        {"ds_stack_read", 2},
        {"ds_queue_create", 0},
        {"ds_queue_destroy", 1},
        {"ds_queue_clear", 1},
        {"ds_queue_copy", 2},
        {"ds_queue_size", 1},
        {"ds_queue_empty", 1},
        {"ds_queue_enqueue", 2},
        {"ds_queue_dequeue", 1},
        {"ds_queue_head", 1},
        {"ds_queue_tail", 1},
        {"ds_queue_write", 1},
        {"ds_queue_read", 2},
        {"ds_list_create", 0},
        {"ds_list_destroy", 1},
        {"ds_list_clear", 1},
        {"ds_list_copy", 2},
        {"ds_list_size", 1},
        {"ds_list_empty", 1},
        {"ds_list_add", 2},
        {"ds_list_insert", 3},
        {"ds_list_replace", 3},
        {"ds_list_delete", 2},
        {"ds_list_find_index", 2},
        {"ds_list_find_value", 2},
        {"ds_list_sort", 2},
        {"ds_list_shuffle", 1},
        {"ds_list_write", 1},
        {"ds_list_read", 2},
        {"ds_map_create", 0},
        {"ds_map_destroy", 1},
        {"ds_map_clear", 1},
        {"ds_map_copy", 2},
        {"ds_map_size", 1},
        {"ds_map_empty", 1},
        {"ds_map_add", 3},
        {"ds_map_replace", 3},
        {"ds_map_delete", 2},
        {"ds_map_exists", 2},
        {"ds_map_find_value", 2},
        {"ds_map_find_previous", 2},
        {"ds_map_find_next", 2},
        {"ds_map_find_first", 1},
        {"ds_map_find_last", 1},
        {"ds_map_write", 1},
        {"ds_map_read", 2},
        {"ds_priority_create", 0},
        {"ds_priority_destroy", 1},
        {"ds_priority_clear", 1},
        {"ds_priority_copy", 2},
        {"ds_priority_size", 1},
        {"ds_priority_empty", 1},
        {"ds_priority_add", 3},
        {"ds_priority_change_priority", 3},
        {"ds_priority_find_priority", 2},
        {"ds_priority_delete_value", 2},
        {"ds_priority_delete_min", 1},
        {"ds_priority_find_min", 1},
        {"ds_priority_delete_max", 1},
        {"ds_priority_find_max", 1},
        {"ds_priority_write", 1},
        {"ds_priority_read", 2},
    };
    ASSERT_EQ(r.Count(), int(std::size(all)));
    for (int i = 0; i < r.Count(); ++i) {  // in this order
        EXPECT_EQ(r.At(i).name, all[i].first);
        EXPECT_EQ(r.At(i).argc, all[i].second) << all[i].first;
    }
}

struct DsScript : DsTest {
    test::ScriptWorld w;
    std::vector<std::string> shown;
    void SetUp() override {
        w.engine.host.show_error = [this](std::string_view t, bool) {
            shown.push_back(std::string(t));
            return ErrorChoice::kIgnore;
        };
    }
    RValue Run(std::string_view source) {
        test::RunResult r = w.Run(source);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
        return r.result;
    }
    // How many "does not exist" messages were shown (and forgets them).
    size_t Missing() {
        size_t n = 0;
        for (const std::string& t : shown) {
            EXPECT_TRUE(t.ends_with(kNoDataStructure)) << t;
            ++n;
        }
        shown.clear();
        return n;
    }
};

TEST_F(DsScript, NumbersAreReusedLowestFirstPerKind) {
    EXPECT_TRUE(IsReal(Run("a = ds_list_create(); b = ds_list_create(); ds_list_destroy(a);"
                           "c = ds_list_create(); return c - a"),
                       0));
    EXPECT_TRUE(IsReal(Run("return ds_list_create()"), 2));
    EXPECT_TRUE(IsReal(Run("return ds_stack_create()"), 0));  // its own numbering
    EXPECT_TRUE(IsReal(Run("ds_list_destroy(1); ds_list_destroy(0); return ds_list_create()"), 0));
    EXPECT_TRUE(IsReal(Run("return ds_list_create()"), 1));
    EXPECT_TRUE(IsReal(Run("return ds_list_create()"), 3));
    EXPECT_EQ(Missing(), 0u);
}

TEST_F(DsScript, BadNumbersShowTheMessageAndGiveZero) {
    Run("s = ds_stack_create(); ds_stack_push(s, 5); q = ds_queue_create();"
        "l = ds_list_create(); ds_list_add(l, 5); m = ds_map_create(); p = ds_priority_create();"
        "gone = ds_stack_create(); ds_stack_destroy(gone)");
    struct Case {
        const char* call;
        bool missing;
    };
    const Case cases[] = {
        {"ds_stack_pop(gone)", true},
        {"ds_stack_pop(s)", false},
        {"ds_stack_pop(s)", false},  // empty and live: no message
        {"ds_stack_top(-1)", true},
        {"ds_stack_size(99)", true},
        {"ds_stack_destroy(gone)", true},
        {"ds_stack_write(\"0\")", false},  // a string counts as 0: the stack s
        {"ds_queue_dequeue(q + 1)", true},
        {"ds_queue_head(q + 0.4)", false},          // rounded
        {"ds_list_find_value(l + 0.5, 0)", false},  // halves to even
        {"ds_list_find_value(1.5, 0)", true},
        {"ds_list_find_index(4294967296 + l, 5)", false},  // the low 32 bits
        {"ds_map_find_first(m + 1)", true},
        {"ds_map_exists(-0.4, 1)", false},
        {"ds_priority_find_min(p + 1)", true},
        {"ds_priority_delete_max(p)", false},
        {"ds_list_sort(7, 1)", true},
        {"ds_list_read(7, \"\")", true},
    };
    for (const Case& c : cases) {
        const RValue v = Run(std::string("return ") + c.call);
        EXPECT_EQ(Missing(), c.missing ? 1u : 0u) << c.call;
        if (c.missing) {
            EXPECT_TRUE(IsReal(v, 0)) << c.call;
        }
    }
    EXPECT_TRUE(IsReal(Run("return ds_list_find_value(l, 0) + ds_list_find_index(l, 3)"), 4));
}

TEST_F(DsScript, CopyChecksBothNumbers) {
    Run("a = ds_list_create(); ds_list_add(a, 1); b = ds_list_create(); ds_list_add(b, 2);"
        "ds_list_add(b, 3); ds_list_destroy(b)");
    Run("ds_list_copy(a, b)");
    EXPECT_EQ(Missing(), 1u);
    EXPECT_TRUE(IsReal(Run("return ds_list_size(a) * 10 + ds_list_find_value(a, 0)"), 11));
    Run("ds_list_copy(b, a)");
    EXPECT_EQ(Missing(), 1u);
    Run("ds_list_copy(b, b)");
    EXPECT_EQ(Missing(), 1u);
    Run("c = ds_list_create(); ds_list_add(c, 7); ds_list_add(c, 8); ds_list_copy(a, c);"
        "ds_list_add(c, 9)");
    EXPECT_TRUE(IsReal(Run("return ds_list_size(a) * 10 + ds_list_find_value(a, 1)"), 28));
    EXPECT_EQ(Missing(), 0u);
}

TEST_F(DsScript, OperationsThroughScripts) {
    struct Case {
        const char* code;
        RValue expected;
    };
    const Case cases[] = {
        {"s = ds_stack_create(); ds_stack_push(s, \"t\"); ds_stack_push(s, \"u\");"
         "return ds_stack_pop(s) + ds_stack_top(s)",
         S("ut")},
        {"s = ds_stack_create(); ds_stack_push(s, 1); ds_stack_push(s, 2);"
         "return ds_stack_size(s) * 10 + ds_stack_empty(s)",
         R(20)},
        {"q = ds_queue_create(); ds_queue_enqueue(q, 4); ds_queue_enqueue(q, 6);"
         "return ds_queue_dequeue(q) * 10 + ds_queue_tail(q) + ds_queue_empty(q)",
         R(46)},
        {"l = ds_list_create(); ds_list_add(l, 1); ds_set_precision(-0.5);"
         "return ds_list_find_index(l, 1.4)",
         R(0)},
        {"l = ds_list_create(); ds_list_add(l, 1); return ds_list_find_index(l, 1.4)", R(-1)},
        {"l = ds_list_create(); ds_list_add(l, 2); ds_list_add(l, 1); ds_list_add(l, 3);"
         "ds_list_sort(l, 0.5); return ds_list_find_value(l, 0)",
         R(1)},
        {"l = ds_list_create(); ds_list_add(l, 2); ds_list_add(l, 1); ds_list_add(l, 3);"
         "ds_list_sort(l, 0.4); return ds_list_find_value(l, 0)",
         R(3)},
        {"l = ds_list_create(); ds_list_add(l, 1); ds_list_insert(l, 0.6, 2);"
         "ds_list_replace(l, 0, 5); return ds_list_find_value(l, 0) * 10 + "
         "ds_list_find_value(l, 1.4)",
         R(52)},
        {"m = ds_map_create(); ds_map_add(m, \"k\", 3); ds_map_add(m, 1, 2);"
         "ds_map_replace(m, \"k\", 4); return ds_map_find_value(m, \"k\") * 10 + "
         "ds_map_find_first(m) + ds_map_exists(m, 2)",
         R(41)},
        {"m = ds_map_create(); ds_map_add(m, 1, 1); ds_map_add(m, 3, 3);"
         "return ds_map_find_next(m, 1) * 10 + ds_map_find_previous(m, 3)",
         R(31)},
        {"p = ds_priority_create(); ds_priority_add(p, \"a\", 2); ds_priority_add(p, \"b\", 1);"
         "ds_priority_change_priority(p, \"a\", 0); return ds_priority_delete_min(p) + "
         "ds_priority_find_max(p)",
         S("ab")},
        {"l = ds_list_create(); m = ds_map_create(); ds_map_add(m, 1, 1); ds_list_add(l, 5);"
         "ds_map_read(m, ds_list_write(l)); return ds_map_size(m) * 10 + ds_map_find_value(m, 1)",
         R(11)},
        {"a = ds_priority_create(); ds_priority_add(a, \"v\", 3); b = ds_priority_create();"
         "ds_priority_read(b, ds_priority_write(a)); ds_priority_clear(a);"
         "return ds_priority_find_priority(b, \"v\") * 10 + ds_priority_size(a)",
         R(30)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.code), c.expected) << c.code;
        SetDsPrecision(kDefaultDsPrecision);
    }
    EXPECT_EQ(Missing(), 0u);
}

TEST_F(DsScript, ShuffleDrawsFromTheRunnersGenerator) {
    w.engine.random.SetSeed(77);
    Run("l = ds_list_create(); for (i = 0; i < 5; i += 1) ds_list_add(l, i); ds_list_shuffle(l)");
    RandomGenerator reference;
    reference.SetSeed(77);
    for (int i = 0; i < 5 * 8 * 2; ++i) reference.NextReal();
    EXPECT_EQ(w.engine.random.Seed(), reference.Seed());
}

}  // namespace
}  // namespace tb
