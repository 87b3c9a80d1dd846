// The structure and union classes tessgen writes for tests/generated/models/Classes.xml (with
// Shapes.xml), compiled and run: default values, constructors, copy, move, == and !=, both
// accessor forms, and per union case the setter, the getters and their refusals.
#include "Classes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace Classes;

// The text of the InvalidArgumentError the call throws, empty when it throws none.
std::string refusal(const std::function<void()>& call) {
    try {
        call();
    } catch (const dds::core::InvalidArgumentError& error) {
        return error.what();
    }
    return std::string();
}

// Default construction over memory full of garbage, so that a member the constructor leaves
// alone shows up as a wrong value instead of a lucky zero.
template <typename T>
class OverGarbage {
public:
    OverGarbage() {
        std::memset(m_raw, 0x5A, sizeof m_raw);
        m_object = new (m_raw) T;
    }
    ~OverGarbage() { m_object->~T(); }
    T& operator*() { return *m_object; }

private:
    alignas(T) unsigned char m_raw[sizeof(T)];
    T* m_object;
};

template <typename Array>
bool allZero(const Array& array) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(array.data());
    for (std::size_t i = 0; i < sizeof(Array); ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(GeneratedStructures, DefaultsEvenOverGarbage) {
    OverGarbage<Every> garbage;
    const Every& e = *garbage;
    EXPECT_FALSE(e.flag());
    EXPECT_EQ(e.octet(), 0);
    EXPECT_EQ(e.i16(), 0);
    EXPECT_EQ(e.u16(), 0);
    EXPECT_EQ(e.i32(), 0);
    EXPECT_EQ(e.u32(), 0u);
    EXPECT_EQ(e.i64(), 0);
    EXPECT_EQ(e.u64(), 0u);
    EXPECT_EQ(e.f32(), 0.0f);
    EXPECT_EQ(e.f64(), 0.0);
    EXPECT_EQ(e.f128(), 0.0L);
    EXPECT_EQ(e.c8(), '\0');
    EXPECT_EQ(e.c32(), L'\0');
    // The first enumerator, which is not the value 0.
    EXPECT_EQ(e.phase(), Phase::START);
    EXPECT_EQ(e.phaseAlias(), Phase::START);
    EXPECT_EQ(e.levelAA(), Shapes::E64::MIN);  // behind two aliases
    EXPECT_EQ(e.level(), Shapes::E16::MIN);
    EXPECT_EQ(e.count(), 0);
    EXPECT_EQ(e.counts(), 0);  // behind two aliases
    EXPECT_EQ(e.Shapes(), 0);
    EXPECT_TRUE(allZero(e.grid()));
    EXPECT_TRUE(allZero(e.gridAlias()));
    EXPECT_TRUE(allZero(e.foreign()));
    for (const auto& row : e.truth()) {
        for (bool cell : row) {
            EXPECT_FALSE(cell);
        }
    }
    EXPECT_TRUE(e.name().empty());
    EXPECT_TRUE(e.wide().empty());
    EXPECT_TRUE(e.table().empty());
    EXPECT_TRUE(e.marks().none());
    EXPECT_EQ(e.pair().x(), 0);
    EXPECT_EQ(e.point().x(), 0.0);

    const Inner& inner = e.inner();
    EXPECT_TRUE(allZero(inner.grid()));
    EXPECT_TRUE(allZero(inner.octets()));
    EXPECT_TRUE(allZero(inner.rows()));    // an array of arrays
    EXPECT_TRUE(allZero(inner.counts()));  // elements behind two aliases
    for (Phase p : inner.phases()) {
        EXPECT_EQ(p, Phase::START);
    }
    EXPECT_EQ(inner.phase(), Phase::START);
    EXPECT_EQ(refusal([&] { (void)e.pick().lo(); }), "Объединение не установлено ByI32");
}

TEST(GeneratedStructures, ExplicitConstructorTakesEveryMemberInOrder) {
    const Pair pair(3, -4);
    EXPECT_EQ(pair.x(), 3);
    EXPECT_EQ(pair.y(), -4);
    const Single single(2.5);
    EXPECT_EQ(single.only(), 2.5);

    Grid23 grid{};
    grid[1][2] = 7.5;
    Truth23 truth{};
    truth[0][1] = true;
    Phases phases{{Phase::STOP, Phase::PAUSE, Phase::START}};
    Octets octets{{1, 2, 3, 4, 5}};
    GridRow rows{};
    rows[1][0][2] = -1.0;
    MarksRow marks{};
    marks[1].high(true);
    Counts counts{{9, 8, 7}};
    const Inner inner(grid, truth, phases, octets, rows, marks, counts, Phase::PAUSE);
    EXPECT_EQ(inner.grid(), grid);
    EXPECT_EQ(inner.truth(), truth);
    EXPECT_EQ(inner.phases(), phases);
    EXPECT_EQ(inner.octets(), octets);
    EXPECT_EQ(inner.rows(), rows);
    EXPECT_EQ(inner.marks(), marks);
    EXPECT_EQ(inner.counts(), counts);
    EXPECT_EQ(inner.phase(), Phase::PAUSE);
}

// One change per member of Every; each must make the object differ from the default one.
std::vector<std::pair<const char*, std::function<void(Every&)>>> everyChange() {
    return {
        {"flag", [](Every& e) { e.flag(true); }},
        {"octet", [](Every& e) { e.octet(200); }},
        {"i16", [](Every& e) { e.i16(-3); }},
        {"u16", [](Every& e) { e.u16(65535); }},
        {"i32", [](Every& e) { e.i32() = 7; }},
        {"u32", [](Every& e) { e.u32(4000000000u); }},
        {"i64", [](Every& e) { e.i64(std::numeric_limits<int64_t>::min()); }},
        {"u64", [](Every& e) { e.u64(std::numeric_limits<uint64_t>::max()); }},
        {"f32", [](Every& e) { e.f32(0.5f); }},
        {"f64", [](Every& e) { e.f64(-0.25); }},
        {"f128", [](Every& e) { e.f128(1.5L); }},
        {"c8", [](Every& e) { e.c8('x'); }},
        {"c32", [](Every& e) { e.c32(L'ж'); }},
        {"phase", [](Every& e) { e.phase(Phase::STOP); }},
        {"phaseAlias", [](Every& e) { e.phaseAlias(Phase::PAUSE); }},
        {"levelAA", [](Every& e) { e.levelAA(Shapes::E64::MAX); }},
        {"count", [](Every& e) { e.count(11); }},
        {"grid", [](Every& e) { e.grid()[1][1] = 3.0; }},
        {"truth", [](Every& e) { e.truth()[1][2] = true; }},
        {"name", [](Every& e) { e.name(Name16("имя")); }},
        {"text", [](Every& e) { e.text(std::string("text")); }},
        {"wide", [](Every& e) { e.wide() = L"широкая"; }},
        {"phrases", [](Every& e) { e.phrases().push_back("a"); }},
        {"table", [](Every& e) { e.table()[4] = L"four"; }},
        {"marks", [](Every& e) { e.marks().high(true); }},
        {"pair", [](Every& e) { e.pair(Pair(1, 2)); }},
        {"inner", [](Every& e) { e.inner().octets()[4] = 9; }},
        {"point", [](Every& e) { e.point().y(1.0); }},
        {"level", [](Every& e) { e.level(Shapes::E16::MAX); }},
        {"choice", [](Every& e) { e.choice().count(3); }},
        {"pick", [](Every& e) { e.pick().eight(Truth23{}); }},
        {"pointAlias", [](Every& e) { e.pointAlias().x(-1.0); }},
        {"gridAlias", [](Every& e) { e.gridAlias()[0][0] = 1.0; }},
        {"foreign", [](Every& e) { e.foreign()[1][2] = 1.0; }},
        {"names", [](Every& e) { e.names().push_back("n"); }},
        {"foreignText", [](Every& e) { e.foreignText("f"); }},
        {"counts", [](Every& e) { e.counts(5); }},
        {"Shapes", [](Every& e) { e.Shapes(1); }},
    };
}

TEST(GeneratedStructures, EqualityCopyAndMoveSeeEveryMember) {
    const Every plain;
    EXPECT_TRUE(plain == plain);
    EXPECT_FALSE(plain != plain);
    EXPECT_TRUE(plain == Every());
    for (const auto& change : everyChange()) {
        SCOPED_TRACE(change.first);
        Every changed;
        change.second(changed);
        EXPECT_FALSE(changed == plain);
        EXPECT_TRUE(changed != plain);

        Every copy(changed);
        EXPECT_TRUE(copy == changed);
        Every assigned;
        assigned = changed;
        EXPECT_TRUE(assigned == changed);
        Every moved(std::move(copy));
        EXPECT_TRUE(moved == changed);
        Every moveAssigned;
        moveAssigned = std::move(assigned);
        EXPECT_TRUE(moveAssigned == changed);

        // Moved-from objects stay usable.
        copy = plain;
        EXPECT_TRUE(copy == plain);
        assigned = changed;
        EXPECT_TRUE(assigned == changed);
    }
}

TEST(GeneratedStructures, InlineOperatorsOfAllPrimitiveStructures) {
    Pair a(1, 2);
    Pair b(a);
    EXPECT_TRUE(b == a);
    b.y(3);
    EXPECT_TRUE(b != a);
    b = a;
    EXPECT_TRUE(b == a);
    Pair c(std::move(b));
    EXPECT_TRUE(c == a);
    b = std::move(c);
    EXPECT_TRUE(b == a);
    c = Pair(5, 6);  // moved-from, then assigned
    EXPECT_EQ(c.x(), 5);
}

TEST(GeneratedStructures, AccessorsByValueAndByReference) {
    Every e;
    e.i32(4);
    EXPECT_EQ(static_cast<const Every&>(e).i32(), 4);
    e.i32() += 1;
    EXPECT_EQ(e.i32(), 5);

    const std::string text = "copied";
    e.text(text);
    EXPECT_EQ(static_cast<const Every&>(e).text(), "copied");
    std::string moved = "moved";
    e.text(std::move(moved));
    EXPECT_EQ(e.text(), "moved");
    e.text() += "!";
    EXPECT_EQ(e.text(), "moved!");

    Shapes::Point point;
    point.x(1.5);
    e.pointAlias(point);
    EXPECT_EQ(e.pointAlias().x(), 1.5);
    e.inner().phase(Phase::STOP);
    EXPECT_EQ(static_cast<const Every&>(e).inner().phase(), Phase::STOP);
}

// Sets one case of a union, reads it back, and copies, moves, assigns and compares the union.
template <typename U, typename V>
void checkCase(const char* name, const std::function<void(U&, const V&)>& set,
               const std::function<V(const U&)>& get, const V& value, const V& other) {
    SCOPED_TRACE(name);
    U u;
    set(u, value);
    EXPECT_TRUE(get(u) == value);
    EXPECT_TRUE(u == u);
    U unset;
    EXPECT_FALSE(u == unset);
    EXPECT_FALSE(unset == u);

    U copy(u);
    EXPECT_TRUE(copy == u);
    EXPECT_TRUE(get(copy) == value);
    U moved(std::move(copy));
    EXPECT_TRUE(moved == u);
    U assigned;
    assigned = u;
    EXPECT_TRUE(assigned == u);
    U moveAssigned;
    moveAssigned = std::move(assigned);
    EXPECT_TRUE(moveAssigned == u);
    EXPECT_TRUE(get(moveAssigned) == value);

    U changed(u);
    set(changed, other);
    EXPECT_FALSE(changed == u);
    changed = u;
    EXPECT_TRUE(changed == u);
    copy = changed;  // moved-from, usable again
    EXPECT_TRUE(copy == u);
}

#define CASE(U, member, V, value, other)                       \
    checkCase<U, V>(                                           \
        #U "." #member, [](U& u, const V& v) { u.member(v); }, \
        [](const U& u) -> V { return u.member(); }, value, other)

TEST(GeneratedUnions, EveryCaseRoundTripsCopiesMovesAndCompares) {
    Marks marks;
    marks.low(true);
    Marks otherMarks;
    otherMarks.high(true);
    Grid23 grid{};
    grid[0][2] = 2.0;
    Truth23 truth{};
    truth[1][1] = true;
    Shapes::Point point;
    point.x(1.0);
    Shapes::Point otherPoint;
    otherPoint.y(2.0);
    Single single(1.0);
    Shapes::Grid foreignGrid{};
    foreignGrid[1][0] = 4.0;

    CASE(ByBool, yes, int32_t, 1, 2);
    CASE(ByBool, no, double, 1.5, 2.5);
    CASE(ByByte, low, Phase, Phase::STOP, Phase::PAUSE);
    CASE(ByByte, high, Marks, marks, otherMarks);
    CASE(ByByte, grid, Grid23, grid, Grid23{});
    CASE(ByI16, lo, int16_t, -5, 5);
    CASE(ByI16, hi, Pair, Pair(1, 2), Pair(2, 1));
    CASE(ByU16, lo, uint16_t, 65535, 1);
    CASE(ByU16, hi, Shapes::Point, point, otherPoint);
    CASE(ByI32, lo, Count, -1, 1);
    CASE(ByI32, hi, Shapes::Point, point, otherPoint);
    CASE(ByI32, eight, Truth23, truth, Truth23{});
    CASE(ByU32, top, uint32_t, 4294967295u, 0u);
    CASE(ByU32, one, Phase, Phase::START, Phase::STOP);
    CASE(ByI64, lo, int64_t, std::numeric_limits<int64_t>::min(), 0);
    CASE(ByI64, hi, int64_t, std::numeric_limits<int64_t>::max(), 0);
    CASE(ByU64, top, uint64_t, std::numeric_limits<uint64_t>::max(), 0u);
    CASE(ByU64, zero, float, 0.5f, 1.5f);
    CASE(ByChar, aa, char, 'q', 'r');
    CASE(ByChar, zz, int32_t, 3, 4);
    CASE(ByChar, seven, Marks, otherMarks, marks);
    CASE(ByWide, aa, wchar_t, L'щ', L'ы');
    CASE(ByWide, bb, Single, single, Single(2.0));
    CASE(ByPhase, started, int32_t, 1, 2);
    CASE(ByPhase, stopped, double, 1.0, 2.0);
    CASE(ByLevel, least, int32_t, 1, 2);
    CASE(ByLevel, most, Shapes::Grid, foreignGrid, Shapes::Grid{});
    CASE(ByAlias, started, int32_t, 1, 2);
    CASE(ByAlias, paused, Shapes::E64, Shapes::E64::MAX, Shapes::E64::MIN);
    CASE(OnlyOne, solo, int32_t, 1, 2);
    CASE(DefaultFirst, first, int32_t, 1, 2);
    CASE(DefaultFirst, second, double, 1.0, 2.0);
    CASE(Shapes::Repeat, rr, int32_t, 1, 2);
    CASE(Shapes::Repeat, other, double, 1.0, 2.0);
    CASE(Shapes::Quotes, quote, int32_t, 1, 2);
    CASE(Shapes::Quotes, backslash, int32_t, 1, 2);
    CASE(Shapes::Quotes, tilde, int32_t, 1, 2);
    CASE(Shapes::WideQuotes, ya, int32_t, 1, 2);
    CASE(Shapes::WideQuotes, quote, int32_t, 1, 2);
    CASE(Shapes::WideQuotes, backslash, double, 1.0, 2.0);
}

TEST(GeneratedUnions, SettersSetTheDiscriminatorToTheirLabel) {
    ByBool byBool;
    byBool.yes(1);
    EXPECT_EQ(byBool._d(), true);
    byBool.no(1.0);
    EXPECT_EQ(byBool._d(), false);
    ByByte byByte;
    byByte.high(Marks());
    EXPECT_EQ(byByte._d(), 255);
    ByI16 byI16;
    byI16.lo(0);
    EXPECT_EQ(byI16._d(), -32768);
    ByI32 byI32;
    byI32.eight(Truth23{});
    EXPECT_EQ(byI32._d(), 8);  // written 08 in the model
    byI32.lo(0);
    EXPECT_EQ(byI32._d(), std::numeric_limits<int32_t>::min());
    ByU32 byU32;
    byU32.top(0);
    EXPECT_EQ(byU32._d(), 4294967295u);
    ByI64 byI64;
    byI64.lo(0);
    EXPECT_EQ(byI64._d(), std::numeric_limits<int64_t>::min());
    ByU64 byU64;
    byU64.top(0);
    EXPECT_EQ(byU64._d(), std::numeric_limits<uint64_t>::max());
    ByChar byChar;
    byChar.seven(Marks());
    EXPECT_EQ(byChar._d(), '7');
    ByWide byWide;
    byWide.bb(Single());
    EXPECT_EQ(byWide._d(), L'b');
    ByPhase byPhase;
    byPhase.stopped(1.0);
    EXPECT_EQ(byPhase._d(), Phase::STOP);  // written as the value 7 in the model
    ByLevel byLevel;
    byLevel.most(Shapes::Grid{});
    EXPECT_EQ(byLevel._d(), Shapes::E16::MAX);
    ByAlias byAlias;
    EXPECT_EQ(byAlias._d(), Phase::START);  // the first enumerator, through the alias
    byAlias.paused(Shapes::E64::MAX);
    EXPECT_EQ(byAlias._d(), Phase::PAUSE);
    Shapes::Quotes quotes;
    quotes.quote(1);
    EXPECT_EQ(quotes._d(), '\'');
    quotes.backslash(1);
    EXPECT_EQ(quotes._d(), '\\');
    Shapes::WideQuotes wide;
    wide.ya(1);
    EXPECT_EQ(wide._d(), L'я');
}

TEST(GeneratedUnions, GettersRefuseAnUnsetUnionAndAnInactiveCase) {
    ByI32 u;
    const ByI32& c = u;
    EXPECT_EQ(refusal([&] { (void)c.lo(); }), "Объединение не установлено ByI32");
    EXPECT_EQ(refusal([&] { (void)u.hi(); }), "Объединение не установлено ByI32");
    u.hi(Shapes::Point());
    EXPECT_EQ(refusal([&] { (void)c.lo(); }),
              "Выбранный атрибут в объединении не активен ByI32.m_ByI32.lo");
    EXPECT_EQ(refusal([&] { (void)u.lo(); }),
              "Выбранный атрибут в объединении не активен m_ByI32.m_lo");
    // The default case answers only to its own label.
    u.lo(1);
    EXPECT_EQ(refusal([&] { (void)c.hi(); }),
              "Выбранный атрибут в объединении не активен ByI32.m_ByI32.hi");
    EXPECT_EQ(refusal([&] { (void)c.lo(); }), "");
}

TEST(GeneratedUnions, ARepeatedMemberAnswersToEachOfItsLabels) {
    Shapes::Repeat u;
    u.rr(5);
    EXPECT_EQ(u._d(), 1);  // the first of its labels
    for (int32_t label : {1, 2, 4}) {
        u._d() = label;
        EXPECT_EQ(u.rr(), 5) << label;
        Shapes::Repeat copy(u);
        EXPECT_TRUE(copy == u);
    }
    u._d() = 3;
    EXPECT_EQ(refusal([&] { (void)u.rr(); }),
              "Выбранный атрибут в объединении не активен m_Repeat.m_rr");
}

TEST(GeneratedUnions, AnUnknownDiscriminatorSelectsTheDefaultCase) {
    ByI32 u;
    Shapes::Point point;
    point.x(3.0);
    u.hi(point);
    u._d() = 12345;
    ByI32 copy(u);
    ByI32 assigned;
    assigned = u;
    ByI32 moved(std::move(assigned));
    EXPECT_TRUE(copy == u);
    EXPECT_TRUE(moved == u);
    for (ByI32* each : {&copy, &moved}) {
        each->_d() = 2147483647;
        EXPECT_EQ(each->hi().x(), 3.0);
    }
    // The default member compares too.
    copy.hi().x(4.0);
    copy._d() = 12345;
    EXPECT_FALSE(copy == u);
}

TEST(GeneratedUnions, UnsetUnionsCopyAndCompareOnlyFlagAndDiscriminator) {
    ByI64 a;
    ByI64 b;
    b._d() = 7;
    EXPECT_TRUE(a == b);
    const ByI64 copy(b);
    EXPECT_EQ(copy._d(), 7);
    EXPECT_TRUE(copy == a);
    ByI64 assigned;
    assigned.hi(1);
    assigned = b;
    EXPECT_EQ(assigned._d(), 7);
    EXPECT_EQ(refusal([&] { (void)assigned.hi(); }), "Объединение не установлено ByI64");
    ByI64 moved(std::move(assigned));
    EXPECT_TRUE(moved == a);

    // A union of a Boolean member starts and copies without reading indeterminate storage.
    ByBool unsetBool;
    ByBool copyBool(unsetBool);
    EXPECT_TRUE(copyBool == unsetBool);
}

}  // namespace
