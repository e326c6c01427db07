// The system's own words for a file error, as every program shows them.
#pragma once

#include <string>

namespace korvex {

// "path: reason" in the system's words for the error code (EIO for 0).
std::string systemtext(const std::string& path, int code);

// Empty when something can be found at path (following links); otherwise
// why not, as systemtext gives it: "No such file or directory", "Too many
// levels of symbolic links", "File name too long", "Permission denied".
std::string whynotfound(const std::string& path);

}  // namespace korvex
