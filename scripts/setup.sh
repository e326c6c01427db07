# Installs what the build needs on a fresh Debian 12 machine. Sourced by
# scripts/run and scripts/test; installs only what is missing.
korvex_packages="cmake ninja-build g++ libgtest-dev libbenchmark-dev qt6-base-dev qt6-svg-dev xvfb xauth poppler-utils clang-format python3-mpmath python3-matplotlib desktop-file-utils appstream man-db dpkg-dev file lintian libntl-dev libgf2x-dev libopenmpi-dev openmpi-bin"

korvex_missing() {
    local missing=""
    for p in $korvex_packages; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    printf '%s' "$missing"
}

korvex_setup() {
    local missing
    missing=$(korvex_missing)
    [ -z "$missing" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || { echo "Missing packages:$missing (and no sudo to install them)" >&2; return 1; }
        sudo="sudo"
    fi
    echo "Installing:$missing" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
}

korvex_build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKORVEX_BUILD_TESTS=ON -DKORVEX_BUILD_BENCHMARKS=ON >/dev/null
    cmake --build build
}

# Fails, naming the files, when a C++ file differs from the root .clang-format.
korvex_checkformat() {
    if ! command -v clang-format >/dev/null 2>&1; then
        echo "clang-format not found: the format check is skipped" >&2
        return 0
    fi
    local bad=""
    local f
    while IFS= read -r f; do
        clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad="$bad $f"
    done < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' '*.inc' 2>/dev/null ||
             find engine io ui app tests bench tools -name '*.cpp' -o -name '*.h' -o -name '*.inc' 2>/dev/null)
    if [ -n "$bad" ]; then
        echo "These files are not formatted (run clang-format -i on them):" >&2
        for f in $bad; do echo "    $f" >&2; done
        return 1
    fi
}
