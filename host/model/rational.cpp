// Exact rational arithmetic for times and ratios. Intermediate products are
// formed in 128 bits, so only a result that itself leaves the 64-bit range
// fails (std::overflow_error); a zero denominator is std::domain_error.
#include <limits>
#include <numeric>
#include <stdexcept>

#include "model/model.h"

namespace host::model {

namespace {

__extension__ typedef __int128 Wide;

Wide wide_abs(Wide v) { return v < 0 ? -v : v; }

Wide wide_gcd(Wide a, Wide b) {
    a = wide_abs(a);
    b = wide_abs(b);
    while (b != 0) {
        const Wide t = a % b;
        a = b;
        b = t;
    }
    return a;
}

std::int64_t narrow(Wide v) {
    if (v > std::numeric_limits<std::int64_t>::max() ||
        v < std::numeric_limits<std::int64_t>::min()) {
        throw std::overflow_error("rational value out of range");
    }
    return static_cast<std::int64_t>(v);
}

Rational reduced(Wide num, Wide den) {
    if (den == 0) throw std::domain_error("rational with a zero denominator");
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const Wide g = wide_gcd(num, den);
    if (g > 1) {
        num /= g;
        den /= g;
    }
    Rational r;
    r.num = narrow(num);
    r.den = narrow(den);
    return r;
}

}  // namespace

Rational Rational::of(std::int64_t n, std::int64_t d) { return reduced(n, d); }

Rational operator+(Rational a, Rational b) {
    return reduced(Wide(a.num) * b.den + Wide(b.num) * a.den, Wide(a.den) * b.den);
}

Rational operator-(Rational a, Rational b) {
    return reduced(Wide(a.num) * b.den - Wide(b.num) * a.den, Wide(a.den) * b.den);
}

Rational operator*(Rational a, Rational b) {
    return reduced(Wide(a.num) * b.num, Wide(a.den) * b.den);
}

Rational operator/(Rational a, Rational b) {
    return reduced(Wide(a.num) * b.den, Wide(a.den) * b.num);
}

// Values are kept reduced with a positive denominator, so equal values have
// equal fields; comparing the cross products also copes with hand-built,
// unreduced values.
bool operator==(Rational a, Rational b) { return Wide(a.num) * b.den == Wide(b.num) * a.den; }

bool operator<(Rational a, Rational b) {
    const Wide left = Wide(a.num) * b.den;
    const Wide right = Wide(b.num) * a.den;
    // A negative denominator (only in hand-built values) flips the sense.
    return (Wide(a.den) * b.den > 0) ? left < right : left > right;
}

}  // namespace host::model
