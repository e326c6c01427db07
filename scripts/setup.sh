# Installs what the build needs on a fresh Debian 12 machine. Sourced by
# scripts/run and scripts/test; installs only what is missing.
korvex_packages="cmake ninja-build g++ libgtest-dev libbenchmark-dev qt6-base-dev qt6-svg-dev xvfb xauth poppler-utils clang-format python3-mpmath python3-matplotlib desktop-file-utils appstream man-db dpkg-dev file lintian libntl-dev libgf2x-dev libgmp-dev nlohmann-json3-dev libopenmpi-dev openmpi-bin clang libclang-rt-14-dev pybind11-dev python3-dev python3-pytest python3-numpy python3-pandas python3-tqdm"

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

# The whole suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan: any report fails the test that
# caused it. -O1 keeps the sanitized build and its tests quick; the
# floating-point options stay those of every build.
korvex_build_asan() {
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DKORVEX_SANITIZE=ON \
        -DKORVEX_BUILD_BENCHMARKS=OFF >/dev/null
    cmake --build build-asan
}

# korvex-batch, the engine tests and the tests of the program, built with
# ThreadSanitizer in build-tsan: the split run over threads is the code most
# likely to break silently. Only these targets, to keep the stage quick.
korvex_build_tsan() {
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DKORVEX_TSAN=ON \
        -DKORVEX_BUILD_BENCHMARKS=OFF >/dev/null
    cmake --build build-tsan --target korvex-batch engine_tests korvex_batch_tests
}

# The libFuzzer targets (clang) in build-fuzz.
korvex_build_fuzz() {
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKORVEX_FUZZ=ON >/dev/null
    cmake --build build-fuzz
}

# Replays each target's corpus (tests/fuzz/corpus/TARGET), then fuzzes it for
# $1 seconds. New inputs go to a scratch folder, never into the corpus; a
# crash stops with the input's path, to be added to the corpus once mended.
korvex_fuzz() {
    local seconds=$1 target scratch status=0
    for target in numbers formats datafile; do
        scratch=$(mktemp -d)
        if ! build-fuzz/tests/fuzz/${target}_fuzz -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$scratch/" "$scratch" "tests/fuzz/corpus/$target" >"$scratch/log" 2>&1; then
            tail -n 40 "$scratch/log" >&2
            echo "fuzz target $target failed; its input is kept in $scratch" >&2
            status=1
            continue
        fi
        echo "fuzz $target: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$scratch/log" |
            grep -o '[0-9]*$') executions in $seconds s, no failure"
        rm -rf "$scratch"
    done
    return $status
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
             find engine io picture ui app tests bench tools -name '*.cpp' -o -name '*.h' -o -name '*.inc' 2>/dev/null)
    if [ -n "$bad" ]; then
        echo "These files are not formatted (run clang-format -i on them):" >&2
        for f in $bad; do echo "    $f" >&2; done
        return 1
    fi
}
