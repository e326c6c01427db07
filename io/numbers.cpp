#include "io/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

#include "engine/geometry.h"

namespace korvex {

namespace {

bool isdigit(char ch) { return ch >= '0' && ch <= '9'; }

}  // namespace

std::optional<double> parsenumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) return std::nullopt;  // empty, or blanks only

    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
        if (i == text.size()) return std::nullopt;  // a sign alone
    }

    const std::size_t intstart = i;
    while (i < text.size() && isdigit(text[i])) ++i;
    const std::string_view intdigits = text.substr(intstart, i - intstart);

    std::string_view fracdigits;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracstart = ++i;
        while (i < text.size() && isdigit(text[i])) ++i;
        fracdigits = text.substr(fracstart, i - fracstart);
    }

    std::string_view expdigits;
    bool expnegative = false;
    // A mantissa without a digit (".", "-.", "E5") is not a number: read as 0
    // it would turn a typing slip into a zero length without a word.
    if (intdigits.empty() && fracdigits.empty()) return std::nullopt;

    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            expnegative = text[i] == '-';
            ++i;
        }
        const std::size_t expstart = i;
        while (i < text.size() && isdigit(text[i])) ++i;
        expdigits = text.substr(expstart, i - expstart);
        if (expdigits.empty()) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;  // anything left over, trailing blanks too

    // A normalised text that std::from_chars reads the same way: an empty
    // integer part becomes 0, the sign goes in front, the exponent keeps its
    // sign.
    std::string normal;
    normal.reserve(text.size() + 2);
    if (negative) normal += '-';
    normal += intdigits.empty() ? std::string_view("0") : intdigits;
    if (!fracdigits.empty()) {
        normal += '.';
        normal += fracdigits;
    }
    if (!expdigits.empty()) {
        normal += 'e';
        if (expnegative) normal += '-';
        normal += expdigits;
    }

    double value = 0;
    const auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value,
                                           std::chars_format::general);
    if (ec == std::errc() && ptr == normal.data() + normal.size()) return value;
    if (ec != std::errc::result_out_of_range) return std::nullopt;

    // Out of range: either too large (not a number here) or too small to be
    // represented, which reads as a signed zero. The decimal order of the
    // first significant digit tells which.
    std::int64_t order = static_cast<std::int64_t>(intdigits.size());
    std::size_t firstnonzero = 0;
    const std::string digits = std::string(intdigits) + std::string(fracdigits);
    while (firstnonzero < digits.size() && digits[firstnonzero] == '0') ++firstnonzero;
    order -= static_cast<std::int64_t>(firstnonzero);
    std::int64_t exponent = 0;
    for (char ch : expdigits) {
        exponent = exponent * 10 + (ch - '0');
        if (exponent > 1'000'000'000) break;  // far beyond any double either way
    }
    order += expnegative ? -exponent : exponent;
    if (order <= 0) return negative ? -0.0 : 0.0;
    return std::nullopt;
}

namespace {

// |value| = 0.d1d2... x 10^E, read to 18 significant digits (the precision
// of an extended real), trailing zeros dropped.
struct Decimal {
    std::string digits;  // no leading zero; empty for zero
    int exponent = 0;
};

Decimal todecimal(long double value) {
    Decimal d;
    const long double magnitude = std::fabs(value);
    if (magnitude == 0) return d;
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 17);
    const std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t epos = s.find('e');
    d.digits += s[0];
    d.digits += s.substr(2, epos - 2);
    int e10 = 0;
    std::from_chars(s.data() + epos + 2, s.data() + s.size(), e10);  // past 'e' and its sign
    d.exponent = (s[epos + 1] == '-' ? -e10 : e10) + 1;
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

// Rounds to `count` significant digits, an exact tie away from zero. The
// result may carry into a new leading digit (9.99 -> 10.0), raising the
// exponent. count may be 0 or negative (the value rounds to 0 or to one unit
// of the first kept position).
Decimal roundsignificant(Decimal d, int count) {
    if (d.digits.empty()) return d;
    if (count < 0) {
        d.digits.clear();
        return d;
    }
    if (static_cast<int>(d.digits.size()) <= count) return d;
    const bool up = d.digits[static_cast<std::size_t>(count)] >= '5';
    d.digits.resize(static_cast<std::size_t>(count));
    if (up) {
        int k = count - 1;
        while (k >= 0 && d.digits[static_cast<std::size_t>(k)] == '9') {
            d.digits[static_cast<std::size_t>(k)] = '0';
            --k;
        }
        if (k >= 0) {
            ++d.digits[static_cast<std::size_t>(k)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            d.digits.pop_back();
            ++d.exponent;
            if (count == 0) d.digits = "1";
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.exponent = 0;
    return d;
}

std::string padded(int number, int width) {
    std::string s = std::to_string(number);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

// Integer and fraction digits of a rounded decimal in fixed notation.
std::string fixeddigits(const Decimal& d, int decimals) {
    std::string out;
    if (d.digits.empty() || d.exponent <= 0) {
        out = "0";
    } else {
        for (int k = 0; k < d.exponent; ++k)
            out +=
                k < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(k)] : '0';
    }
    if (decimals > 0) {
        out += '.';
        for (int k = 0; k < decimals; ++k) {
            const int index = d.exponent + k;  // digit position of 10^-(k+1)
            out += index >= 0 && index < static_cast<int>(d.digits.size())
                       ? d.digits[static_cast<std::size_t>(index)]
                       : '0';
        }
    }
    return out;
}

}  // namespace

namespace {

// A rounded decimal written in the general format's layout: fixed notation
// when -3 <= E <= fixedup, otherwise scientific with the exponent padded to
// expwidth digits.
std::string layout(const Decimal& d, bool negative, int fixedup, int expwidth) {
    if (d.digits.empty()) return "0";
    const std::string sign = negative ? "-" : "";
    const int e = d.exponent;
    const int count = static_cast<int>(d.digits.size());
    if (e >= -3 && e <= fixedup) {
        const int decimals = count > e ? count - e : 0;
        return sign + fixeddigits(d, decimals);
    }
    std::string out = sign + d.digits[0];
    if (count > 1) out += "." + d.digits.substr(1);
    out += 'E';
    if (e - 1 < 0) out += '-';
    out += padded(std::abs(e - 1), expwidth);
    return out;
}

// The shortest decimal that reads back as this double (at most 17 digits).
Decimal shortest(double value) {
    Decimal d;
    if (value == 0) return d;
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    const std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t epos = s.find('e');
    d.digits += s[0];
    if (epos > 1) d.digits += s.substr(2, epos - 2);
    int e10 = 0;
    std::from_chars(s.data() + epos + 2, s.data() + s.size(), e10);
    d.exponent = (s[epos + 1] == '-' ? -e10 : e10) + 1;
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

}  // namespace

std::string generalformat(long double value, int digits, int expwidth) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    return layout(roundsignificant(todecimal(value), digits), value < 0, digits, expwidth);
}

std::string echoformat(double value) {
    if (!std::isfinite(value)) return plainformat(value);
    // Whatever 15 digits show exactly is written as the plain format writes
    // it; only a value that needs 16 or 17 digits to read back gets them.
    Decimal d = roundsignificant(todecimal(value), 15);
    const Decimal exact = shortest(value);
    if (exact.digits.size() > 15) d = exact;
    return layout(d, value < 0, 15, 0);
}

std::string echoangle(double radians) {
    if (!std::isfinite(radians)) return plainformat(radians);
    // The degrees are recomputed in extended precision, so a text that reads
    // back through degtorad to these radians exists within a few units of
    // the last place; the shortest one found is written.
    const long double degrees = static_cast<long double>(radians) * 180.0L / pil;
    for (int digits = 15; digits <= 17; ++digits) {
        const std::string text =
            layout(roundsignificant(todecimal(degrees), digits), degrees < 0, 15, 0);
        const std::optional<double> back = parsenumber(text);
        if (back && degtorad(*back) == radians) return text;
    }
    const double nearest = static_cast<double>(
        std::clamp(degrees, -static_cast<long double>(std::numeric_limits<double>::max()),
                   static_cast<long double>(std::numeric_limits<double>::max())));
    double below = nearest, above = nearest;
    for (int step = 0; step < 8; ++step) {
        if (degtorad(below) == radians) return echoformat(below);
        if (degtorad(above) == radians) return echoformat(above);
        below = std::nextafter(below, -std::numeric_limits<double>::infinity());
        above = std::nextafter(above, std::numeric_limits<double>::infinity());
    }
    return echoformat(nearest);  // not reached for radians that degtorad made
}

std::string plainformat(long double value) { return generalformat(value, 15, 0); }
std::string percentformat(long double value) { return generalformat(value, 5, 2); }
std::string relativeformat(long double value) { return generalformat(value, 3, 2); }
std::string timeformat(long double value) { return generalformat(value, 4, 2); }

std::string fixed7(long double value) {
    if (!std::isfinite(value) || std::fabs(value) >= 1e15) return plainformat(value);
    Decimal d = todecimal(value);
    d = roundsignificant(d, d.exponent + 7);
    const std::string body = fixeddigits(d, 7);
    return (value < 0 && !d.digits.empty() ? "-" : "") + body;
}

std::string grouped(long double value) {
    if (!std::isfinite(value) || std::fabs(value) >= 1e15) return plainformat(value);
    Decimal d = todecimal(value);
    d = roundsignificant(d, d.exponent);
    const std::string whole = fixeddigits(d, 0);
    std::string out;
    const int n = static_cast<int>(whole.size());
    for (int k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0) out += ',';
        out += whole[static_cast<std::size_t>(k)];
    }
    return (value < 0 && !d.digits.empty() ? "-" : "") + out;
}

std::string expformat(long double value) {
    if (!std::isfinite(value)) return std::string();
    // Scientific notation with 15 significant digits and a four-digit
    // exponent ("1.00000000000000E+0007"), then trimmed.
    const Decimal d = roundsignificant(todecimal(value), 15);
    std::string mantissa = value < 0 && !d.digits.empty() ? "-" : "";
    std::string all = d.digits.empty() ? std::string("0") : d.digits;
    all.resize(15, '0');
    mantissa += all.substr(0, 1) + "." + all.substr(1);
    const int e = d.digits.empty() ? 0 : d.exponent - 1;
    std::string exponent = padded(std::abs(e), 4);
    const std::string signpart = e < 0 ? "E-" : "E+";

    while (mantissa.size() > 1 && mantissa.back() == '0' &&
           mantissa.compare(mantissa.size() - 2, 2, ".0") != 0)
        mantissa.pop_back();
    while (exponent.size() > 1 && exponent.front() == '0') exponent.erase(0, 1);
    return mantissa + signpart + exponent;
}

}  // namespace korvex
