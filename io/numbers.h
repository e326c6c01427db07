// Number syntax and the report's number formats. Every number read or
// written uses the full stop, whatever the locale; digit grouping uses the
// comma. Parsing checks the syntax by hand and converts with std::from_chars;
// formatting builds on std::to_chars, which rounds correctly.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// The system's number syntax: leading blanks (spaces only), an optional sign,
// a mantissa of digits with an optional period (either run may be empty, but
// not both: "." and "E5" are not numbers), an optional exponent (E or e,
// optional sign, at least one digit), then the end. nullopt when the text is
// not a number or its value lies beyond the range of a double.
std::optional<double> parsenumber(std::string_view text);

// General format: p significant digits; fixed notation when the decimal
// exponent E (value = 0.d1d2... x 10^E) satisfies -3 <= E <= p, otherwise
// d.dddE-xx with the exponent padded to at least w digits, no plus sign.
// Trailing zeros are never written.
//
// Every format takes the value in extended precision, reads it to 18
// significant digits and rounds that decimal to the digits shown, an exact
// tie away from zero: a statistic whose true value is a decimal tie (100 x
// 100015 / 10^7 = 1.00015) rounds as that tie, whichever side of it the
// binary value fell.
std::string generalformat(long double value, int digits, int expwidth);

std::string plainformat(long double value);     // 15 digits, no minimum exponent width
std::string percentformat(long double value);   // 5 digits, exponent width 2
std::string relativeformat(long double value);  // 3 digits, exponent width 2
std::string timeformat(long double value);      // 4 digits, exponent width 2
std::string fixed7(long double value);          // exactly 7 decimals
std::string grouped(long double value);         // whole number, commas in threes
std::string expformat(long double value);       // compact exponent form: "1.0E+7"

// An input echoed in the report: the plain format, except that a value 15
// significant digits cannot give back exactly is written with the 16 or 17
// it needs, so that reading the text gives the same double.
std::string echoformat(double value);

// An angle held in radians, echoed in degrees: the shortest text (15 digits
// or more) that reads back, through degtorad, as the same radians. Never INF.
std::string echoangle(double radians);

}  // namespace korvex
