#include "io/resultsfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "io/systemtext.h"

namespace korvex {

namespace {

// An entry as it goes into the file: the text, its line end and one empty line.
std::string withentryend(const std::string& entry) { return entry + "\r\n" + "\r\n"; }

std::string folderof(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// The bytes of one entry written by this process: where they start and end,
// and whether they lie in one piece.
struct Written {
    off_t begin = -1, end = -1;
    std::size_t count = 0;
    bool onepiece = true;
};

// Writes all of text, one write unless the system takes less at a time.
// False with code set when a write fails.
bool writeall(int fd, const std::string& text, Written& w, int& code) {
    while (w.count < text.size()) {
        const ssize_t n = ::write(fd, text.data() + w.count, text.size() - w.count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            code = n < 0 ? errno : EIO;
            return false;
        }
        // On an O_APPEND descriptor the offset now stands at the end of these bytes.
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        if (end >= 0) {
            if (w.count == 0) w.begin = end - n;
            else if (w.end != end - n) w.onepiece = false;
            w.end = end;
        } else {
            w.onepiece = false;
        }
        w.count += static_cast<std::size_t>(n);
    }
    return true;
}

// Pipes, terminals and some devices cannot be synced; that is no failure.
bool syncfile(int fd, int& code) {
    for (;;) {
        if (::fsync(fd) == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == EROFS || errno == ENOTSUP) return true;
        code = errno;
        return false;
    }
}

// Tries until settled() says the matter is settled (done, or failed for
// good), napping between tries (1 ms, growing to 50 ms) so that stop is
// asked now and then; false when stop gave the wait up.
bool napuntil(const std::function<bool()>& settled, const std::function<bool()>& stop) {
    auto nap = std::chrono::milliseconds(1);
    while (!settled()) {
        if (stop && stop()) return false;
        std::this_thread::sleep_for(nap);
        nap = std::min(nap * 2, std::chrono::milliseconds(50));
    }
    return true;
}

enum class Lock { held, none, stopped };

// Lock::none when the file system offers no locks; the append then goes on
// unlocked and never takes anything back. Another run holds the lock only
// for one entry, but a run stopped mid-write would hold it for ever: the
// wait is in naps, and stop is asked between them.
Lock lockfile(int fd, const std::function<bool()>& stop) {
    bool held = false;
    const bool settled = napuntil(
        [&] {
            held = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            return held || (errno != EWOULDBLOCK && errno != EINTR);
        },
        stop);
    if (!settled) return Lock::stopped;
    return held ? Lock::held : Lock::none;
}

// One entry onto an open descriptor, under the lock, with header before it
// when the descriptor is a regular file that is still empty (header is
// empty for a results file). The lock goes with the descriptor's close, or
// is released here for a descriptor kept open.
bool appendlocked(int fd, const std::string& path, const std::string& entry,
                  const std::string& header, std::string& error,
                  const std::function<bool()>& stop) {
    const Lock lock = lockfile(fd, stop);
    if (lock == Lock::stopped) {
        error = path + ": this entry was not written: stopped while another run held the file";
        return false;
    }
    const bool locked = lock == Lock::held;
    struct stat before {};
    const bool empty = !header.empty() && ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode) &&
                       before.st_size == 0;
    const std::string& text = empty ? header + entry : entry;
    Written w;
    int code = 0;
    const bool ok = writeall(fd, text, w, code) && syncfile(fd, code);
    if (!ok) {
        // Take back this entry's bytes only while no one else can append and
        // only when the file still ends with them.
        struct stat st {};
        if (locked && w.count > 0 && w.onepiece && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_size == w.end && ::ftruncate(fd, w.begin) == 0) {
            int ignored = 0;
            syncfile(fd, ignored);
        }
        error = systemtext(path, code);
    }
    if (locked) ::flock(fd, LOCK_UN);
    return ok;
}

enum class Creation { created, exists, unsupported, failed };

// A new results file: the entry goes into an unnamed file in the folder,
// which gets its name only once the entry is whole and on disk. The link
// fails if another run created the file meanwhile; the entry is then
// appended as usual.
Creation createwhole(const std::string& path, const std::string& text, std::string& error) {
    const int fd = ::open(folderof(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return Creation::unsupported;
    Written w;
    int code = 0;
    if (!writeall(fd, text, w, code) || !syncfile(fd, code)) {
        ::close(fd);
        error = systemtext(path, code);
        return Creation::failed;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    Creation result = Creation::created;
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        result = errno == EEXIST ? Creation::exists : Creation::unsupported;
    }
    ::close(fd);
    if (result == Creation::created) {
        // The new name must survive a crash as well as the entry.
        const int folder = ::open(folderof(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            int ignored = 0;
            syncfile(folder, ignored);
            ::close(folder);
        }
    }
    return result;
}

// Whether a file can really be created in folder: a folder that has been
// deleted (a run started in it, with a relative results path) still looks
// like a writable folder, but takes no new entry. 0 when it can, else the
// system's error number. Nothing is left behind: an unnamed file where the
// file system makes one, otherwise a file created and removed at once.
int cancreatein(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return 0;
    }
    for (int attempt = 0;; ++attempt) {
        const std::string probe =
            folder + "/.korvex-check-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            return 0;
        }
        if (errno != EEXIST || attempt == 100) return errno;
    }
}

// Opens path for appending without waiting: a FIFO without a reader is
// waited for in naps, so that stop is heard. Sets code (0 when opened, and
// when stop gave the wait up) and returns the descriptor, or -1.
int openforappend(const std::string& path, int flags, const std::function<bool()>& stop,
                  int& code) {
    int fd = -1;
    code = 0;
    const bool settled = napuntil(
        [&] {
            fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC | flags, 0666);
            code = fd < 0 ? errno : 0;
            return fd >= 0 || (code != ENXIO && code != EINTR);
        },
        stop);
    if (!settled) {
        code = 0;
        return -1;
    }
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

bool samefile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool appendresults(const std::string& path, const std::string& entry, std::string& error,
                   const std::function<bool()>& stop) {
    return appendentry(path, withentryend(entry), {}, error, stop);
}

bool appendentry(const std::string& path, const std::string& text, const std::string& header,
                 std::string& error, const std::function<bool()>& stop) {
    // The file may have been replaced since the run began (by a FIFO whose
    // reader has not come yet): it is opened as at the start.
    int code = 0;
    int fd = openforappend(path, 0, stop, code);
    if (fd < 0 && code == ENOENT) {
        switch (createwhole(path, header + text, error)) {
            case Creation::created: return true;
            case Creation::failed: return false;
            case Creation::exists:
            case Creation::unsupported: break;
        }
        fd = openforappend(path, O_CREAT, stop, code);
    }
    if (fd < 0) {
        error = code != 0 ? systemtext(path, code)
                          : path +
                                ": this entry was not written: stopped while waiting for "
                                "a reader";
        return false;
    }
    bool ok = appendlocked(fd, path, text, header, error, stop);
    if (::close(fd) != 0 && errno != EINTR && ok) {
        error = systemtext(path, errno);
        ok = false;
    }
    return ok;
}

ResultsFile::~ResultsFile() { close(); }

void ResultsFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ResultsFile::open(const std::string& path, const std::string& datafile,
                       const std::function<bool()>& stop) {
    close();
    path_ = path;
    error_.clear();
    stop_ = stop;
    if (samefile(path, datafile)) {
        error_ = path + ": the results file is the data file itself";
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            error_ = systemtext(path, errno);
            return false;
        }
        // Created with the first entry, in a folder that must take it.
        const std::string folder = folderof(path);
        struct stat fs {};
        if (::stat(folder.c_str(), &fs) != 0) {
            error_ = systemtext(path, errno);
            return false;
        }
        if (!S_ISDIR(fs.st_mode)) {
            error_ = systemtext(path, ENOTDIR);
            return false;
        }
        if (const int code = cancreatein(folder); code != 0) {
            error_ = systemtext(path, code);
            return false;
        }
        return true;
    }
    if (S_ISDIR(st.st_mode)) {
        error_ = systemtext(path, EISDIR);
        return false;
    }
    if (S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) {
            error_ = systemtext(path, errno);
            return false;
        }
        ::close(fd);
        return true;
    }
    // Opening a FIFO waits for a reader: wait without blocking, so that a
    // stop request is heard.
    int code = 0;
    fd_ = openforappend(path, 0, stop, code);
    if (fd_ < 0 && code != 0) error_ = systemtext(path, code);
    return fd_ >= 0;
}

void ResultsFile::setrecords(std::string header) {
    records_ = true;
    header_ = std::move(header);
}

bool ResultsFile::append(const std::string& entry) {
    error_.clear();
    const std::string text = records_ ? entry : withentryend(entry);
    if (fd_ >= 0) {
        // A FIFO or device takes the header before this run's first entry.
        const bool ok =
            appendlocked(fd_, path_, (headed_ ? "" : header_) + text, {}, error_, stop_);
        headed_ = headed_ || ok;
        return ok;
    }
    return appendentry(path_, text, header_, error_, stop_);
}

}  // namespace korvex
