#include "money/CostPrice.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace prx {

namespace {

using U = unsigned __int128;

// A double as the decimal its shortest text spells: digits × 10^-scale, the
// sign apart. Every digit of the text is kept.
struct Exact
{
    bool negative = false;
    std::string digits; // without leading zeros; "0" for zero
    int scale = 0;
};

Exact exactOf(double value)
{
    // The longest shortest text of a finite double (a subnormal in fixed
    // notation) is below 340 characters.
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    Exact e;
    bool seenPoint = false;
    for (const char *c = buffer; c != result.ptr; ++c) {
        if (*c == '-') {
            e.negative = true;
        } else if (*c == '.') {
            seenPoint = true;
        } else {
            if (seenPoint)
                ++e.scale;
            if (*c != '0' || !e.digits.empty())
                e.digits.push_back(*c);
        }
    }
    if (e.digits.empty())
        e.digits.push_back('0');
    return e;
}

// ---- the usual path: 128-bit integers, every step checked

bool toU128(const std::string &digits, U *out)
{
    U v = 0;
    for (const char c : digits) {
        if (__builtin_mul_overflow(v, U(10), &v) || __builtin_add_overflow(v, U(c - '0'), &v))
            return false;
    }
    *out = v;
    return true;
}

bool pow10(int n, U *out)
{
    U v = 1;
    for (int i = 0; i < n; ++i) {
        if (__builtin_mul_overflow(v, U(10), &v))
            return false;
    }
    *out = v;
    return true;
}

// 100 × 10^scale ± digits: (100 ± x) in units of 10^-scale.
bool hundredPlus(const Exact &x, bool subtract, U *out)
{
    U digits = 0, scaled = 0;
    if (!toU128(x.digits, &digits) || !pow10(x.scale, &scaled) ||
        __builtin_mul_overflow(scaled, U(100), &scaled))
        return false;
    if (subtract) {
        if (digits >= scaled)
            return false; // the callers' range checks keep this from happening
        *out = scaled - digits;
        return true;
    }
    return !__builtin_add_overflow(scaled, digits, out);
}

// The numerator and denominator of the price in cents, then the rounded
// quotient; false when a step does not fit.
bool centsNarrow(const Exact &cost, const Exact &percent, const Exact &tax, U *cents)
{
    U c = 0, a = 0, b = 0;
    if (!toU128(cost.digits, &c) || !hundredPlus(percent, percent.negative, &a) ||
        !hundredPlus(tax, true, &b))
        return false;
    // cents = c·a·10^(tax.scale + 2) / (b·10^(cost.scale + percent.scale)),
    // with the common powers of ten cancelled.
    const int e = tax.scale + 2 - cost.scale - percent.scale;
    U n = 0, d = b, power = 0;
    if (__builtin_mul_overflow(c, a, &n) || !pow10(e >= 0 ? e : -e, &power))
        return false;
    if (e >= 0 ? __builtin_mul_overflow(n, power, &n) : __builtin_mul_overflow(d, power, &d))
        return false;
    U q = n / d;
    const U r = n % d;
    if (r >= d - r) // half up, without doubling r
        ++q;
    *cents = q;
    return true;
}

// ---- the wide path: any number of digits, for inputs whose exact products
// pass 128 bits (a cost, a percentage and a tax rate each with sixteen
// digits; a percentage of 1e-300)

class Big
{
public:
    static Big of(std::uint64_t v)
    {
        Big b;
        while (v != 0) {
            b.m_limbs.push_back(std::uint32_t(v));
            v >>= 32;
        }
        return b;
    }
    static Big ofDigits(const std::string &digits)
    {
        Big b;
        for (const char c : digits) {
            b.multiply(10);
            b.add(std::uint32_t(c - '0'));
        }
        return b;
    }
    static Big pow10(int n)
    {
        Big b = of(1);
        for (; n >= 9; n -= 9)
            b.multiply(1000000000u);
        for (; n > 0; --n)
            b.multiply(10);
        return b;
    }

    void multiply(std::uint32_t m)
    {
        std::uint64_t carry = 0;
        for (std::uint32_t &limb : m_limbs) {
            const std::uint64_t v = std::uint64_t(limb) * m + carry;
            limb = std::uint32_t(v);
            carry = v >> 32;
        }
        if (carry != 0)
            m_limbs.push_back(std::uint32_t(carry));
        trim();
    }
    void add(std::uint32_t a)
    {
        std::uint64_t carry = a;
        for (std::size_t i = 0; carry != 0; ++i) {
            if (i == m_limbs.size())
                m_limbs.push_back(0);
            const std::uint64_t v = std::uint64_t(m_limbs[i]) + carry;
            m_limbs[i] = std::uint32_t(v);
            carry = v >> 32;
        }
    }
    Big times(const Big &o) const
    {
        Big r;
        r.m_limbs.assign(m_limbs.size() + o.m_limbs.size(), 0);
        for (std::size_t i = 0; i < m_limbs.size(); ++i) {
            std::uint64_t carry = 0;
            for (std::size_t j = 0; j < o.m_limbs.size(); ++j) {
                const std::uint64_t v =
                    std::uint64_t(m_limbs[i]) * o.m_limbs[j] + r.m_limbs[i + j] + carry;
                r.m_limbs[i + j] = std::uint32_t(v);
                carry = v >> 32;
            }
            r.m_limbs[i + o.m_limbs.size()] = std::uint32_t(carry);
        }
        r.trim();
        return r;
    }
    Big plus(const Big &o) const
    {
        Big r;
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < std::max(m_limbs.size(), o.m_limbs.size()) || carry; ++i) {
            const std::uint64_t v = std::uint64_t(limb(i)) + o.limb(i) + carry;
            r.m_limbs.push_back(std::uint32_t(v));
            carry = v >> 32;
        }
        r.trim();
        return r;
    }
    // *this − o; o must not be larger.
    Big minus(const Big &o) const
    {
        Big r;
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < m_limbs.size(); ++i) {
            std::int64_t v = std::int64_t(limb(i)) - o.limb(i) - borrow;
            borrow = v < 0 ? 1 : 0;
            r.m_limbs.push_back(std::uint32_t(v + (borrow << 32)));
        }
        r.trim();
        return r;
    }
    int compare(const Big &o) const
    {
        if (m_limbs.size() != o.m_limbs.size())
            return m_limbs.size() < o.m_limbs.size() ? -1 : 1;
        for (std::size_t i = m_limbs.size(); i-- > 0;) {
            if (m_limbs[i] != o.m_limbs[i])
                return m_limbs[i] < o.m_limbs[i] ? -1 : 1;
        }
        return 0;
    }

private:
    std::uint32_t limb(std::size_t i) const { return i < m_limbs.size() ? m_limbs[i] : 0; }
    void trim()
    {
        while (!m_limbs.empty() && m_limbs.back() == 0)
            m_limbs.pop_back();
    }

    std::vector<std::uint32_t> m_limbs; // least significant first
};

bool centsWide(const Exact &cost, const Exact &percent, const Exact &tax, U *cents)
{
    const Big hundred = Big::of(100);
    const Big p = Big::ofDigits(percent.digits);
    const Big percentScaled = hundred.times(Big::pow10(percent.scale));
    const Big a = percent.negative ? percentScaled.minus(p) : percentScaled.plus(p);
    const Big b = hundred.times(Big::pow10(tax.scale)).minus(Big::ofDigits(tax.digits));
    const int e = tax.scale + 2 - cost.scale - percent.scale;
    Big n = Big::ofDigits(cost.digits).times(a);
    Big d = b;
    if (e >= 0)
        n = n.times(Big::pow10(e));
    else
        d = d.times(Big::pow10(-e));
    // A quotient of 2^64 or more is far past any price.
    const Big word = Big::of(std::uint64_t(1) << 32);
    if (d.times(word).times(word).compare(n) <= 0)
        return false;
    std::uint64_t q = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const std::uint64_t candidate = q | (std::uint64_t(1) << bit);
        if (d.times(Big::of(candidate)).compare(n) <= 0)
            q = candidate;
    }
    const Big r = n.minus(d.times(Big::of(q)));
    *cents = U(q) + (r.plus(r).compare(d) >= 0 ? 1 : 0);
    return true;
}

} // namespace

std::optional<Decimal> priceFromCost(double cost, double percent, double tax)
{
    if (!std::isfinite(cost) || !std::isfinite(percent) || !std::isfinite(tax) || cost < 0 ||
        percent <= -100 || tax < 0 || tax >= 100)
        return std::nullopt;
    const Exact c = exactOf(cost), p = exactOf(percent), t = exactOf(tax);
    U cents = 0;
    if (!centsNarrow(c, p, t, &cents) && !centsWide(c, p, t, &cents))
        return std::nullopt;
    // Whole units of kPriceLimit in cents: at or past it, the price is refused.
    const U limit = U(kPriceLimit.units() / (Decimal::kOne / 100));
    if (cents >= limit)
        return std::nullopt;
    return Decimal::fromUnits(Decimal::Units(cents) * (Decimal::kOne / 100));
}

} // namespace prx
