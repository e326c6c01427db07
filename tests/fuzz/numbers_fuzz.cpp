// The number syntax against strtod. Every text parsenumber accepts, strtod
// (C locale) must read whole and to the same double, the sign of zero
// included; and the report's echo of that value must read back as it.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "io/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> ours = korvex::parsenumber(text);
    if (!ours) return 0;

    // No NUL can be part of a number, so c_str() holds the whole text.
    if (text.find('\0') != std::string::npos) std::abort();
    errno = 0;
    char* end = nullptr;
    const double theirs = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) std::abort();  // strtod stopped early
    if (std::isinf(theirs)) std::abort();                 // accepted beyond the range
    if (std::memcmp(&theirs, &*ours, sizeof theirs) != 0) std::abort();

    const std::optional<double> back = korvex::parsenumber(korvex::echoformat(*ours));
    if (!back || *back != *ours) std::abort();
    return 0;
}
