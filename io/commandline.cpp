#include "io/commandline.h"

#include <algorithm>
#include <charconv>

namespace korvex {

CommandLine scancommandline(int argc, const char* const* argv,
                            std::initializer_list<std::string_view> valued,
                            std::initializer_list<std::string_view> switches) {
    const auto among = [](std::initializer_list<std::string_view> names, std::string_view name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    CommandLine line;
    bool optionsdone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsdone || arg.size() < 2 || arg[0] != '-') {
            line.files.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsdone = true;
        } else if (arg == "--help") {
            line.help = true;
            return line;
        } else if (arg == "--version") {
            line.version = true;
            return line;
        } else if (among(switches, arg)) {
            line.switches.emplace(arg);
        } else {
            const std::size_t eq = arg.find('=');
            const std::string_view name = arg.substr(0, eq);
            if (!among(valued, name)) {
                line.error = "unknown option '" + std::string(arg) + "'";
                return line;
            }
            if (eq != std::string_view::npos) {
                line.values[std::string(name)] = std::string(arg.substr(eq + 1));
            } else if (i + 1 < argc) {
                line.values[std::string(name)] = argv[++i];
            } else {
                line.error = std::string(name) + " needs a value";
                return line;
            }
        }
    }
    return line;
}

std::optional<std::uint64_t> parsewhole(std::string_view text, std::uint64_t least,
                                        std::uint64_t most) {
    std::uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    if (value < least || value > most) return std::nullopt;
    return value;
}

}  // namespace korvex
