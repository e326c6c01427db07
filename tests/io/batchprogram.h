// The built korvex-batch program, run as a separate process as a user (or a
// script, a scheduler, a pipe) would run it.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tempdir.h"

namespace korvex::testing {

struct Outcome {
    int status = -1;      // the exit code, 128 + the signal that ended it, -1 when killed as hung
    bool killed = false;  // ended by a signal's default action, not by its own exit
    std::string out, err;
};

struct Launch {
    std::vector<std::string> args;
    rlim_t filesizelimit = RLIM_INFINITY;
    bool closedstderr = false;   // stderr a pipe whose reader has gone
    std::vector<int> ignored{};  // signals ignored from the start, as by trap '' or nohup
    std::string deletedcwd{};    // started in this folder, deleted before the program runs
    // No thread can be started beside the main one: RLIMIT_NPROC 1, as an
    // ordinary user (root drops to nobody, whom the limit binds).
    bool nothreads = false;
};

class Program {
public:
    Program(const TempDir& dir, Launch launch)
        : outpath_(dir.file("stdout" + std::to_string(++count_))),
          errpath_(dir.file("stderr" + std::to_string(count_))) {
        int pipeends[2] = {-1, -1};
        if (launch.closedstderr && pipe(pipeends) == 0) close(pipeends[0]);
        std::string program = KORVEX_BATCH;
        if (launch.nothreads && geteuid() == 0) {
            // nobody may not reach the build folder (a clone in /root): a copy
            // of the program in the test's own folder, which anyone may enter.
            const std::string copy = dir.file("korvex-batch-copy");
            std::filesystem::copy_file(program, copy,
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::permissions(
                copy, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                          std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                          std::filesystem::perms::others_exec);
            program = copy;
        }
        pid_ = fork();
        if (pid_ == 0) {
            const int out = open(outpath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = launch.closedstderr
                                ? pipeends[1]
                                : open(errpath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            for (const int signo : launch.ignored) std::signal(signo, SIG_IGN);
            if (!launch.deletedcwd.empty() &&
                (chdir(launch.deletedcwd.c_str()) != 0 || rmdir(launch.deletedcwd.c_str()) != 0))
                _exit(126);
            if (launch.nothreads) {
                if (geteuid() == 0 &&
                    (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
                    _exit(126);
                const rlimit one{1, 1};
                if (setrlimit(RLIMIT_NPROC, &one) != 0) _exit(126);
                // LeakSanitizer's check at exit needs a thread of its own,
                // which the limit refuses: leaks are looked for elsewhere.
                const char* asan = std::getenv("ASAN_OPTIONS");
                const std::string options =
                    std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
                setenv("ASAN_OPTIONS", options.c_str(), 1);
            }
            if (launch.filesizelimit != RLIM_INFINITY) {
                const rlimit limit{launch.filesizelimit, launch.filesizelimit};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            std::vector<char*> argv;
            argv.push_back(program.data());
            for (auto& a : launch.args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        if (launch.closedstderr) close(pipeends[1]);
    }
    Program(const TempDir& dir, std::vector<std::string> args)
        : Program(dir, Launch{.args = std::move(args)}) {}

    // Waits until the file holds the text; false after ten seconds.
    static bool waitfor(const std::string& path, const std::string& text) {
        for (int i = 0; i < 1000; ++i) {
            if (readfile(path).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    bool waitfor(const std::string& text) const { return waitfor(errpath_, text); }

    void signal(int signo) const { kill(pid_, signo); }

    // A number of /proc/PID/FILE ("status", "io"), as "key: number"; -1
    // where it is not shown.
    long long procvalue(const std::string& file, const std::string& key) const {
        const std::string text = "\n" + readfile("/proc/" + std::to_string(pid_) + "/" + file);
        const std::size_t at = text.find("\n" + key + ":");
        if (at == std::string::npos) return -1;
        return std::strtoll(text.c_str() + at + key.size() + 2, nullptr, 10);
    }

    // Waits until the program sits in the system call numbered nr (as in
    // /proc/PID/syscall); false after ten seconds.
    bool waitinsyscall(long nr) const {
        const std::string path = "/proc/" + std::to_string(pid_) + "/syscall";
        for (int i = 0; i < 1000; ++i) {
            // "running" while it runs, the call's number while it waits
            const std::string text = readfile(path);
            if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0])) &&
                std::strtol(text.c_str(), nullptr, 10) == nr)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // A run still going after the time limit is killed and counts as hung.
    Outcome finish(int seconds = 20) const {
        Outcome o;
        int status = 0;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > limit) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                o.err = readfile(errpath_);
                return o;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        o.killed = WIFSIGNALED(status);
        o.out = readfile(outpath_);
        o.err = readfile(errpath_);
        return o;
    }

private:
    static inline int count_ = 0;
    std::string outpath_, errpath_;
    pid_t pid_ = -1;
};

inline Outcome run(const TempDir& dir, std::vector<std::string> args) {
    return Program(dir, std::move(args)).finish();
}

// A disc over a sphere; emissions as given.
inline std::string dataset(const std::string& emissions, const std::string& radius = "5") {
    return "true\nfalse\nfalse\nfalse\ntrue\n0\n0\n1\n0\n0\n0\n" + radius +
           "\n0\n0\n0\n0\n10\n0\n0\n0\n" + emissions + "\nfalse\n*\n";
}

inline std::string withouttimes(const std::string& text) {
    return std::regex_replace(text, std::regex("Processing time = [^\r]* s"), "Processing time");
}

}  // namespace korvex::testing
