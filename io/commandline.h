// The command line shared by korvex's programs: options and file names in
// any order, each option a switch ("--quiet") or an option with a value
// ("--seed 5" or "--seed=5"); after "--" every argument is a file name, so
// that a file name may begin with a minus sign.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

struct CommandLine {
    bool help = false;                                       // --help came before any fault
    bool version = false;                                    // --version came before any fault
    std::map<std::string, std::string, std::less<>> values;  // option -> its last value
    std::set<std::string, std::less<>> switches;
    std::vector<std::string> files;
    std::string error;  // the first usage error; empty when the line is sound
};

// Reads argv[1..argc) up to the first --help, --version or fault.
CommandLine scancommandline(int argc, const char* const* argv,
                            std::initializer_list<std::string_view> valued,
                            std::initializer_list<std::string_view> switches);

// A whole decimal number from least to most, nothing else in the text.
std::optional<std::uint64_t> parsewhole(std::string_view text, std::uint64_t least,
                                        std::uint64_t most);

}  // namespace korvex
