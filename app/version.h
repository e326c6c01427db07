// What --version prints for every command-line program: its name and
// version, then the licence. The version comes from the build (one home: the
// project's version).
#pragma once

#include <ostream>
#include <string_view>

namespace korvex {

inline void printversion(std::ostream& out, std::string_view program) {
    out << program << " " << KORVEX_VERSION << "\n"
        << "Copyright 2026 The Korvex developers. MIT License: see the LICENSE file\n"
        << "or /usr/share/doc/korvex/copyright; there is NO WARRANTY.\n";
}

}  // namespace korvex
