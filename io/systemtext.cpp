#include "io/systemtext.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace korvex {

std::string systemtext(const std::string& path, int code) {
    return path + ": " + std::generic_category().message(code != 0 ? code : EIO);
}

std::string whynotfound(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return {};
    return systemtext(path, errno);
}

}  // namespace korvex
