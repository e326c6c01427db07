// The report's number formats on any double and any extended value: only
// the characters of a number, never INF or NAN for a finite value, the shape
// each format promises, the value read back within the digits shown, and
// the echoes (lengths and angles) read back exactly.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <regex>
#include <string>

#include "engine/geometry.h"
#include "io/numbers.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

// The shapes of the formats' texts.
const std::regex general("-?[0-9]+(\\.[0-9]+)?(E-?[0-9]+)?");
const std::regex fixed("-?[0-9]+\\.[0-9]{7}");
const std::regex groups("-?[0-9]{1,3}(,[0-9]{3})*");
const std::regex exponent("-?[0-9]\\.[0-9]+E[-+][0-9]+");

bool matches(const std::string& text, const std::regex& shape) {
    return std::regex_match(text, shape);
}

// A general-format text reads back within half a unit of its last digit.
void readsback(const std::string& text, long double value, int digits) {
    require(matches(text, general));
    if (std::fabs(value) < std::numeric_limits<double>::min()) return;
    const long double tolerance = std::fabs(value) * std::pow(10.0L, 1 - digits) * 0.5L;
    const std::optional<double> back = korvex::parsenumber(text);
    // Only a value rounded up past the largest double may fail to read back.
    if (!back) {
        require(std::fabs(value) + tolerance > std::numeric_limits<double>::max());
        return;
    }
    require(std::fabs(*back - value) <= tolerance * 1.0001L + std::fabs(value) * 2.3e-16L);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    double d = 0;
    std::memcpy(&d, data, sizeof d);
    const int choice = data[8];
    long double x = d;
    if (size >= 19) {
        // An extended value of its own: 64 bits of significand, an exponent
        // kept within a range where the formats are used.
        std::uint64_t mantissa = 0;
        std::memcpy(&mantissa, data + 9, sizeof mantissa);
        const int exponent = static_cast<std::int8_t>(data[17]) * 8;
        x = std::ldexp(static_cast<long double>(mantissa), exponent - 64);
        if (data[18] & 1) x = -x;
    }

    if (std::isfinite(d)) {
        const std::string echo = korvex::echoformat(d);
        require(matches(echo, general));
        const std::optional<double> back = korvex::parsenumber(echo);
        require(back.has_value() && *back == d);
        const double radians = korvex::degtorad(d);
        const std::string degrees = korvex::echoangle(radians);
        const std::optional<double> angle = korvex::parsenumber(degrees);
        require(angle.has_value() && korvex::degtorad(*angle) == radians);
    }

    if (!std::isfinite(x)) return 0;
    const int digits = 1 + choice % 18;
    const int width = (choice / 18) % 5;
    readsback(korvex::generalformat(x, digits, width), x, digits);
    readsback(korvex::plainformat(x), x, 15);
    readsback(korvex::percentformat(x), x, 5);
    if (std::fabs(x) < 1e15L) {
        require(matches(korvex::fixed7(x), fixed));
        require(matches(korvex::grouped(x), groups));
    }
    const std::string exp = korvex::expformat(x);
    require(matches(exp, exponent));
    return 0;
}
