// The money routines against a reference of their own: plain big integers
// written here (base 2^32 limbs, schoolbook product, bit-by-bit division),
// which compute every result exactly and then round it once. Random bases,
// amounts, percentages, directions and typed prices cover the whole accepted
// range, its edges, the cent boundaries and values far past it; a value the
// reference cannot fit must be refused, never wrapped.
//
// The seed is fixed; PRX_MONEY_SEED=N runs another one. A failure names the
// seed, the case and its operands.
#include "money/DayPrice.h"

#include <QTest>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>

using prx::Decimal;
using prx::MoneyOverflow;
namespace dayprice = prx::dayprice;

namespace {

// An unsigned big integer, least significant limb first; limbs past n are 0.
struct Big
{
    static constexpr int kLimbs = 16;
    std::array<uint32_t, kLimbs> d{};
    int n = 0;

    static Big of(uint64_t v)
    {
        Big b;
        b.d[0] = uint32_t(v);
        b.d[1] = uint32_t(v >> 32);
        b.n = 2;
        b.trim();
        return b;
    }
    void trim()
    {
        while (n > 0 && d[size_t(n - 1)] == 0)
            --n;
    }
    bool isZero() const { return n == 0; }
    bool bit(int i) const { return (d[size_t(i / 32)] >> (i % 32)) & 1; }
    int bits() const
    {
        if (n == 0)
            return 0;
        int b = 0;
        for (uint32_t top = d[size_t(n - 1)]; top; top >>= 1)
            ++b;
        return (n - 1) * 32 + b;
    }
};

int compare(const Big &a, const Big &b)
{
    if (a.n != b.n)
        return a.n < b.n ? -1 : 1;
    for (int i = a.n - 1; i >= 0; --i) {
        if (a.d[size_t(i)] != b.d[size_t(i)])
            return a.d[size_t(i)] < b.d[size_t(i)] ? -1 : 1;
    }
    return 0;
}

Big add(const Big &a, const Big &b)
{
    Big r;
    uint64_t carry = 0;
    r.n = std::max(a.n, b.n);
    for (int i = 0; i < r.n; ++i) {
        const uint64_t s = uint64_t(a.d[size_t(i)]) + b.d[size_t(i)] + carry;
        r.d[size_t(i)] = uint32_t(s);
        carry = s >> 32;
    }
    if (carry) {
        Q_ASSERT(r.n < Big::kLimbs);
        r.d[size_t(r.n++)] = uint32_t(carry);
    }
    return r;
}

// a - b, with a >= b.
Big subtract(const Big &a, const Big &b)
{
    Big r;
    int64_t borrow = 0;
    r.n = a.n;
    for (int i = 0; i < a.n; ++i) {
        int64_t s = int64_t(a.d[size_t(i)]) - b.d[size_t(i)] - borrow;
        borrow = s < 0;
        if (s < 0)
            s += int64_t(1) << 32;
        r.d[size_t(i)] = uint32_t(s);
    }
    Q_ASSERT(borrow == 0);
    r.trim();
    return r;
}

Big multiply(const Big &a, const Big &b)
{
    Big r;
    if (a.isZero() || b.isZero())
        return r;
    Q_ASSERT(a.n + b.n <= Big::kLimbs);
    for (int i = 0; i < a.n; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < b.n; ++j) {
            const uint64_t t =
                uint64_t(a.d[size_t(i)]) * b.d[size_t(j)] + r.d[size_t(i + j)] + carry;
            r.d[size_t(i + j)] = uint32_t(t);
            carry = t >> 32;
        }
        r.d[size_t(i + b.n)] = uint32_t(carry);
    }
    r.n = a.n + b.n;
    r.trim();
    return r;
}

// v × m + a for one-limb m and a.
Big multiplyAdd(const Big &v, uint32_t m, uint32_t a)
{
    Big r;
    uint64_t carry = a;
    for (int i = 0; i < v.n; ++i) {
        const uint64_t t = uint64_t(v.d[size_t(i)]) * m + carry;
        r.d[size_t(i)] = uint32_t(t);
        carry = t >> 32;
    }
    r.n = v.n;
    if (carry) {
        Q_ASSERT(r.n < Big::kLimbs);
        r.d[size_t(r.n++)] = uint32_t(carry);
    }
    return r;
}

Big shiftedLeft(const Big &v, int bits)
{
    if (bits == 0)
        return v;
    return multiplyAdd(v, uint32_t(1) << bits, 0);
}

Big shiftedRight(const Big &v, int bits)
{
    Big r;
    for (int i = 0; i < v.n; ++i) {
        const uint64_t pair =
            (uint64_t(i + 1 < Big::kLimbs ? v.d[size_t(i + 1)] : 0) << 32) | v.d[size_t(i)];
        r.d[size_t(i)] = uint32_t(pair >> bits);
    }
    r.n = v.n;
    r.trim();
    return r;
}

// Quotient and remainder, schoolbook: one 32-bit quotient digit at a time,
// estimated from the leading limbs of a divisor shifted until its top bit is
// set (the estimate is then at most two too large) and corrected down.
void divide(const Big &num, const Big &den, Big *q, Big *r)
{
    Q_ASSERT(!den.isZero());
    int shift = 0;
    for (uint32_t top = den.d[size_t(den.n - 1)]; !(top & 0x80000000u); top <<= 1)
        ++shift;
    const Big d = shiftedLeft(den, shift);
    const Big n = shiftedLeft(num, shift);
    const uint64_t lead = d.d[size_t(d.n - 1)];
    *q = Big();
    Big rest;
    for (int i = n.n - 1; i >= 0; --i) {
        // rest = rest × 2^32 + the next limb; rest < d, so it has room.
        for (int k = rest.n; k > 0; --k)
            rest.d[size_t(k)] = rest.d[size_t(k - 1)];
        rest.d[0] = n.d[size_t(i)];
        ++rest.n;
        rest.trim();
        if (compare(rest, d) < 0)
            continue;
        const uint64_t top = (uint64_t(rest.d[size_t(d.n)]) << 32) | rest.d[size_t(d.n - 1)];
        uint64_t digit = std::min<uint64_t>(top / lead, 0xFFFFFFFFu);
        Big t = multiplyAdd(d, uint32_t(digit), 0);
        while (compare(t, rest) > 0) {
            --digit;
            t = subtract(t, d);
        }
        rest = subtract(rest, t);
        Q_ASSERT(compare(rest, d) < 0);
        q->d[size_t(i)] = uint32_t(digit);
        q->n = std::max(q->n, i + 1);
    }
    *r = shiftedRight(rest, shift);
}

Big fromDigits(std::string_view digits)
{
    Big r;
    for (char c : digits)
        r = multiplyAdd(r, 10, uint32_t(c - '0'));
    return r;
}

std::string toDigits(Big v)
{
    if (v.isZero())
        return "0";
    std::string out;
    const Big chunk = Big::of(1000000000);
    while (!v.isZero()) {
        Big q, r;
        divide(v, chunk, &q, &r);
        std::string part = std::to_string(r.isZero() ? 0 : r.d[0]);
        if (!q.isZero())
            part.insert(0, 9 - part.size(), '0');
        out.insert(0, part);
        v = q;
    }
    return out;
}

const Big &pow10(int n)
{
    static const std::array<Big, 13> powers = [] {
        std::array<Big, 13> p;
        p[0] = Big::of(1);
        for (size_t i = 1; i < p.size(); ++i)
            p[i] = multiplyAdd(p[i - 1], 10, 0);
        return p;
    }();
    return powers.at(size_t(n));
}

// A signed value in millionths, as Decimal keeps it.
struct Num
{
    Big mag;
    bool neg = false;

    static Num of(const Big &mag, bool neg) { return {mag, neg && !mag.isZero()}; }
    Num negated() const { return of(mag, !neg); }
};

Num operator+(const Num &a, const Num &b)
{
    if (a.neg == b.neg)
        return Num::of(add(a.mag, b.mag), a.neg);
    return compare(a.mag, b.mag) >= 0 ? Num::of(subtract(a.mag, b.mag), a.neg)
                                      : Num::of(subtract(b.mag, a.mag), b.neg);
}
Num operator-(const Num &a, const Num &b)
{
    return a + b.negated();
}
Num operator*(const Num &a, const Num &b)
{
    return Num::of(multiply(a.mag, b.mag), a.neg != b.neg);
}
bool operator<(const Num &a, const Num &b)
{
    if (a.neg != b.neg)
        return a.neg;
    const int c = compare(a.mag, b.mag);
    return a.neg ? c > 0 : c < 0;
}

// Rounds num / den (den > 0) once on the exact quotient.
Num roundedQuotient(const Num &num, const Big &den, Decimal::Rounding mode)
{
    Big q, r;
    divide(num.mag, den, &q, &r);
    bool up = false; // away from zero
    if (mode == Decimal::Rounding::HalfUp)
        up = compare(add(r, r), den) >= 0;
    else if (mode == Decimal::Rounding::Up)
        up = !r.isZero() && !num.neg;
    return Num::of(up ? add(q, Big::of(1)) : q, num.neg);
}

// 2^127 - 1, the largest magnitude a Decimal holds.
const Big &maxUnits()
{
    static const Big max = [] {
        Big b;
        b.d[0] = b.d[1] = b.d[2] = 0xFFFFFFFFu;
        b.d[3] = 0x7FFFFFFFu;
        b.n = 4;
        return b;
    }();
    return max;
}
bool fits(const Num &v)
{
    return compare(v.mag, maxUnits()) <= 0;
}

const Num &priceLimit()
{
    static const Num limit = Num::of(multiply(Big::of(999999999999999ULL), pow10(6)), false);
    return limit;
}
bool computable(const Num &v)
{
    return compare(v.mag, priceLimit().mag) < 0;
}

// Conversions with the code under test, bit for bit.
Decimal toDecimal(const Num &v)
{
    Q_ASSERT(v.mag.n <= 4);
    unsigned __int128 bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 32) | v.mag.d[size_t(i)];
    return Decimal::fromUnits(Decimal::Units(v.neg ? ~bits + 1 : bits));
}
Num toNum(const Decimal &d)
{
    const bool neg = d.units() < 0;
    unsigned __int128 bits = (unsigned __int128)(d.units());
    if (neg)
        bits = ~bits + 1;
    Big b;
    for (size_t i = 0; i < 4; ++i)
        b.d[i] = uint32_t(bits >> (32 * i));
    b.n = 4;
    b.trim();
    return Num::of(b, neg);
}
std::string text(const Num &v)
{
    std::string digits = toDigits(v.mag);
    if (digits.size() < 7)
        digits.insert(0, 7 - digits.size(), '0');
    digits.insert(digits.size() - 6, ".");
    return (v.neg ? "-" : "") + digits;
}
bool same(const Num &a, const Num &b)
{
    return a.neg == b.neg && compare(a.mag, b.mag) == 0;
}

Num units(uint64_t whole, uint64_t millionths = 0)
{
    return Num::of(add(multiply(Big::of(whole), pow10(6)), Big::of(millionths)), false);
}

// Operands drawn from the classes where arithmetic goes wrong.
class Operands
{
public:
    explicit Operands(uint64_t seed) : m_rng(seed) {}

    int pick(int n) { return int(m_rng() % uint64_t(n)); }

    // A whole part of 0 to `digits` digits (each length as likely) with
    // `places` random decimals.
    Num decimal(int digits, int places)
    {
        std::string s;
        const int length = pick(digits + 1);
        for (int i = 0; i < length; ++i)
            s += char('0' + pick(10));
        std::string fraction;
        for (int i = 0; i < 6; ++i)
            fraction += i < places ? char('0' + pick(10)) : '0';
        return Num::of(fromDigits(s + fraction), false);
    }
    // Any value Decimal holds, by bit length.
    Num anyBits(int maxBits = 127)
    {
        const int length = pick(maxBits + 1);
        Big b;
        for (int i = 0; i < length; ++i) {
            if (i == length - 1 || m_rng() % 2) {
                b.d[size_t(i / 32)] |= uint32_t(1) << (i % 32);
                b.n = i / 32 + 1;
            }
        }
        return Num::of(b, false);
    }
    // Within a few units or cents of an edge, either side.
    Num near(const Num &edge)
    {
        const Num step =
            pick(2) ? units(0, uint64_t(pick(3))) : units(0, 10000 * uint64_t(pick(3)));
        return pick(2) ? edge + step : edge - step;
    }
    Num signedSometimes(Num v) { return pick(10) == 0 ? v.negated() : v; }

    // A base or a typed price.
    Num price()
    {
        Num v;
        switch (pick(10)) {
        case 0:
        case 1:
        case 2:
            v = decimal(15, 2); // cents up to and just past the limit
            break;
        case 3:
        case 4:
            v = decimal(3, 2);
            break;
        case 5:
            v = decimal(15, 6);
            break;
        case 6:
            v = near(priceLimit());
            break;
        case 7:
            v = near(units(1000000000000ULL)); // where a 128-bit product used to end
            break;
        case 8:
            v = anyBits();
            break;
        default:
            v = near(units(0));
            break;
        }
        return signedSometimes(v);
    }
    Num percentage()
    {
        static const uint64_t kRound[] = {1, 2, 5, 10, 12, 15, 20, 25, 33, 50, 66, 75, 99, 100};
        Num v;
        switch (pick(10)) {
        case 0:
        case 1:
        case 2:
            v = decimal(2, 2 * pick(4));
            break;
        case 3:
            v = units(kRound[pick(14)], uint64_t(pick(2)) * 500000);
            break;
        case 4:
            v = near(units(100));
            break;
        case 5:
            v = units(99, 999999);
            break;
        case 6:
            v = decimal(15, 2 * pick(4)); // past 100: computed, refused by the limits
            break;
        case 7:
            v = near(priceLimit());
            break;
        case 8:
            v = anyBits();
            break;
        default:
            v = near(units(0));
            break;
        }
        return signedSometimes(v);
    }
    // A base of whole hundreds of cents and a price of whole cents of it:
    // shares that land exactly on a cent, and their neighbours.
    void exactShare(Num *base, Num *price)
    {
        const Num m = Num::of(Big::of(uint64_t(1 + pick(1000000))), false);
        const Num k = Num::of(Big::of(uint64_t(pick(10001))), false);
        *base = m * units(1);           // m × 1.00
        *price = k * m * units(0, 100); // k × m × 0.0001: k/100 %
        *price = pick(3) == 0 ? near(*price) : *price;
    }
    // Any value; now and then one that splits an odd product exactly in
    // half (0.5, 50 %), so ties are met past 128 bits too.
    Num anyOperand()
    {
        static const uint64_t kHalving[] = {500000, 50000, 5, 1000000, 50000000, 2500000};
        switch (pick(8)) {
        case 0:
            return signedSometimes(Num::of(Big::of(kHalving[pick(6)]), false));
        case 1:
        case 2:
        case 3:
            return price();
        default:
            return signedSometimes(anyBits());
        }
    }

private:
    std::mt19937_64 m_rng;
};

const char *roundingName(Decimal::Rounding r)
{
    return r == Decimal::Rounding::HalfUp ? "half up" : r == Decimal::Rounding::Cut ? "cut" : "up";
}

} // namespace

class MoneyPropertyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { m_failure.clear(); }
    // Product, quotient, percentage, a × b / c and the three cuts: one
    // rounding on the exact value, or a refusal when the result does not
    // fit; never a wrapped value.
    void decimalMatchesReference();
    // A price from an amount and an amount from a typed price (and the
    // price that amount gives back), exact over the accepted range and
    // refused past the price limit.
    void dayPriceMatchesReference();

private:
    using Describe = std::function<std::string()>;
    void check(int index, const Describe &what, const std::optional<Num> &got,
               const std::optional<Num> &expected);
    void fail(int index, const std::string &what);

    uint64_t m_seed = 20260519;
    int m_cases = 100000;
    QString m_failure;
};

void MoneyPropertyTest::initTestCase()
{
    bool ok = false;
    const uint64_t seed = qEnvironmentVariable("PRX_MONEY_SEED").toULongLong(&ok);
    if (ok)
        m_seed = seed;
    // The reference itself: (2^127 - 1) and the price limit in digits.
    QCOMPARE(QString::fromStdString(toDigits(maxUnits())),
             QStringLiteral("170141183460469231731687303715884105727"));
    QCOMPARE(QString::fromStdString(text(priceLimit())), QStringLiteral("999999999999999.000000"));
    QCOMPARE(toDecimal(priceLimit()), prx::kPriceLimit);
    QCOMPARE(toDecimal(Num::of(maxUnits(), false)).units(), Decimal::kMaxUnits);
}

// Keeps the first mismatch; the description is only built for it.
void MoneyPropertyTest::check(int index, const Describe &what, const std::optional<Num> &got,
                              const std::optional<Num> &expected)
{
    if (got.has_value() == expected.has_value() && (!got || same(*got, *expected)))
        return;
    fail(index, what() + " gave " + (got ? text(*got) : "a refusal") + ", the exact value is " +
                    (expected ? text(*expected) : "past the limit (a refusal)"));
}

void MoneyPropertyTest::fail(int index, const std::string &what)
{
    if (m_failure.isEmpty())
        m_failure = QStringLiteral("seed %1, case %2: %3")
                        .arg(m_seed)
                        .arg(index)
                        .arg(QString::fromStdString(what));
}

namespace {

// The code's answer: a value, or nothing when it refused.
template <typename F> std::optional<Num> attempt(F f)
{
    try {
        return toNum(f());
    } catch (const MoneyOverflow &) {
        return std::nullopt;
    }
}
std::optional<Num> fitting(const Num &v)
{
    return fits(v) ? std::optional<Num>(v) : std::nullopt;
}

} // namespace

void MoneyPropertyTest::decimalMatchesReference()
{
    using R = Decimal::Rounding;
    Operands gen(m_seed);
    const Big &one = pow10(6);
    for (int i = 0; i < m_cases && m_failure.isEmpty(); ++i) {
        const Num a = gen.anyOperand(), b = gen.anyOperand(), c = gen.anyOperand();
        const Decimal x = toDecimal(a), y = toDecimal(b), z = toDecimal(c);
        const R mode = R(gen.pick(3));
        const int places = gen.pick(7);
        const Num step = Num::of(pow10(6 - places), false);
        auto on = [&](const char *op, bool withC = false) {
            return [&, op, withC] {
                return std::string(op) + "(" + text(a) + ", " + text(b) +
                       (withC ? ", " + text(c) + ", " + std::to_string(places) + " places, " +
                                    roundingName(mode)
                              : std::string()) +
                       ")";
            };
        };
        auto cut = [&](const char *op) {
            return [&, op] {
                return std::string(op) + "(" + text(a) + ", " + std::to_string(places) + " places)";
            };
        };

        if (i % 4 == 0 && x.toString(6).toStdString() != text(a))
            fail(i, "the text of " + text(a) + " is " + x.toString(6).toStdString());
        check(i, on("+"), attempt([&] { return x + y; }), fitting(a + b));
        check(i, on("-"), attempt([&] { return x - y; }), fitting(a - b));
        check(i, on("*"), attempt([&] { return x * y; }),
              fitting(roundedQuotient(a * b, one, R::HalfUp)));
        check(i, on("percentOf"), attempt([&] { return prx::percentOf(x, y); }),
              fitting(roundedQuotient(a * b, pow10(8), R::HalfUp)));
        if (!b.mag.isZero()) {
            check(i, on("/"), attempt([&] { return x / y; }),
                  fitting(roundedQuotient(Num::of(multiply(a.mag, one), a.neg != b.neg), b.mag,
                                          R::HalfUp)));
        }
        check(i, cut("truncated"), attempt([&] { return x.truncated(places); }),
              fitting(roundedQuotient(a, step.mag, R::Cut) * step));
        check(i, cut("rounded"), attempt([&] { return x.rounded(places); }),
              fitting(roundedQuotient(a, step.mag, R::HalfUp) * step));
        check(i, cut("ceiled"), attempt([&] { return x.ceiled(places); }),
              fitting(roundedQuotient(a, step.mag, R::Up) * step));

        std::optional<Num> got, expected;
        if (const std::optional<Decimal> r = Decimal::mulDiv(x, y, z, places, mode))
            got = toNum(*r);
        if (!c.mag.isZero()) {
            const Num ab = a * b;
            expected = fitting(
                roundedQuotient(Num::of(ab.mag, ab.neg != c.neg), multiply(c.mag, step.mag), mode) *
                step);
        }
        check(i, on("mulDiv", true), got, expected);
    }
    QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
}

namespace {

std::string ruleText(dayprice::Rule rule)
{
    return std::string(rule.percentage ? "P" : "V") + (rule.discount ? "D" : "A");
}

// The reference price: a fixed amount as it is; a percentage's change cut
// to cents, applied, and the result cut to cents.
std::optional<Num> referencePrice(const Num &base, const Num &amount, dayprice::Rule rule)
{
    if (!computable(base) || !computable(amount))
        return std::nullopt;
    if (!rule.percentage)
        return rule.discount ? base - amount : base + amount;
    const Num cent = Num::of(pow10(4), false);
    const Num change = roundedQuotient(base * amount, pow10(12), Decimal::Rounding::Cut) * cent;
    const Num price = rule.discount ? base - change : base + change;
    return roundedQuotient(price, cent.mag, Decimal::Rounding::Cut) * cent;
}

// The reference amount of a typed price: its refusal, or its amount and
// direction.
struct Typed
{
    dayprice::Refusal refusal = dayprice::Refusal::None;
    Num amount;
    bool discount = false;
};
Typed referenceAmount(const Num &base, const Num &price, dayprice::Rule rule)
{
    Typed t;
    t.discount = rule.discount;
    if (!computable(base) || !computable(price)) {
        t.refusal = dayprice::Refusal::OutOfRange;
    } else if (!rule.percentage) {
        t.amount = rule.discount ? base - price : price - base;
    } else if (base.neg || base.mag.isZero()) {
        t.refusal = dayprice::Refusal::BaseNotPositive;
    } else if (base < price) {
        t.refusal = dayprice::Refusal::AboveBase;
    } else {
        // price × 100 / base in millionths, cut to cents of a percent.
        const Num cent = Num::of(pow10(4), false);
        const Num share = roundedQuotient(price * Num::of(pow10(8), false),
                                          multiply(base.mag, cent.mag), Decimal::Rounding::Cut) *
                          cent;
        t.amount = Num::of((share - units(100)).mag, false);
        t.discount = price < base ? true : rule.discount;
    }
    return t;
}

} // namespace

void MoneyPropertyTest::dayPriceMatchesReference()
{
    Operands gen(m_seed ^ 0x9e3779b97f4a7c15ULL);
    for (int i = 0; i < m_cases && m_failure.isEmpty(); ++i) {
        const dayprice::Rule rule{gen.pick(3) != 0, gen.pick(2) == 0};
        Num base = gen.price();
        const Num amount = rule.percentage ? gen.percentage() : gen.price();
        Num typed = gen.price();
        if (gen.pick(4) == 0)
            gen.exactShare(&base, &typed);
        const Decimal b = toDecimal(base);
        const std::optional<Num> expected = referencePrice(base, amount, rule);
        auto priceCase = [&](const char *op, const Num &a, dayprice::Rule r) {
            return [&, op, r] {
                return std::string(op) + "(" + text(base) + ", " + text(a) + ", " + ruleText(r) +
                       ")";
            };
        };

        check(i, priceCase("priceFor", amount, rule),
              attempt([&] { return dayprice::priceFor(b, toDecimal(amount), rule); }), expected);
        const std::optional<Decimal> tried = dayprice::tryPriceFor(b, toDecimal(amount), rule);
        check(i, priceCase("tryPriceFor", amount, rule),
              tried ? std::optional<Num>(toNum(*tried)) : std::nullopt, expected);

        // A typed price: its amount and direction, then the price they give.
        dayprice::Derived derived;
        const dayprice::Refusal refusal = dayprice::amountFor(b, toDecimal(typed), rule, &derived);
        const Typed want = referenceAmount(base, typed, rule);
        const std::string typedCase =
            "amountFor(" + text(base) + ", typed " + text(typed) + ", " + ruleText(rule) + ")";
        if (refusal != want.refusal) {
            fail(i, typedCase + " refusal " + std::to_string(int(refusal)) + ", expected " +
                        std::to_string(int(want.refusal)));
        } else if (refusal == dayprice::Refusal::None) {
            check(
                i, [&] { return typedCase; }, toNum(derived.amount), want.amount);
            if (derived.discount != want.discount)
                fail(i, typedCase + " took the wrong direction");
            const dayprice::Rule again{rule.percentage, want.discount};
            check(i, priceCase("priceFor of the derived amount", want.amount, again),
                  attempt([&] { return dayprice::priceFor(b, derived.amount, again); }),
                  referencePrice(base, want.amount, again));
        }
    }
    QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
}

QTEST_APPLESS_MAIN(MoneyPropertyTest)
#include "tst_moneyproperty.moc"
