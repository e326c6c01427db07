#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree a user gets:
# exactly the expected files, split rightly between the packages' install
# components, valid desktop entry and metainfo, manual pages that render
# cleanly and name every option of --help, working programs.
# Exits 77 (skipped) when a checking tool is missing and nothing else failed.
#
# usage: checkinstall.sh BUILDDIR APPID VERSION "PROGRAM..." "PAGE..." ["PYTHONFILE..."]
set -u
build=$1 id=$2 version=$3
read -r -a programs <<<"$4"
read -r -a pages <<<"$5"
read -r -a pythonfiles <<<"${6:-}"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
missing=""
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
have() { command -v "$1" >/dev/null 2>&1 || { missing="$missing $1"; return 1; }; }

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
fi
rm -f "$prefix.log"

while IFS= read -r file; do
    case $file in
    "$prefix"/*) ;;
    *) fail "installed outside the prefix: $file" ;;
    esac
done <"$build/install_manifest.txt"

# The tree holds exactly these files: no tests, benchmarks or libraries.
expected=(share/doc/korvex/copyright share/doc/korvex/changelog.gz
          share/doc/korvex/README.md share/doc/korvex/validation.md share/doc/korvex/convergence.png
          share/doc/korvex/examples/datasets.txt share/doc/korvex/examples/results.txt
          share/doc/korvex/examples/rotation.txt share/doc/korvex/examples/sweep.txt
          share/doc/korvex/examples/slurm.sh)
window=no
for program in "${programs[@]}"; do
    expected+=("bin/$program")
    [ "$program" = korvex ] && window=yes
done
for page in "${pages[@]}"; do
    expected+=("share/man/man1/$page.gz")
done
expected+=("${pythonfiles[@]}")
if [ $window = yes ]; then
    expected+=("share/applications/$id.desktop" "share/icons/hicolor/scalable/apps/$id.svg"
               "share/metainfo/$id.metainfo.xml")
fi
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    fail "installed files differ from the expected list (< installed, > expected):"
    diff <(echo "$actual") <(echo "$wanted") | grep '^[<>]'
fi
# The packages split that tree by install component: cli (korvex-batch)
# holds the command-line program, its page, the examples and the guide, with
# its own copyright and changelog; mpi (korvex-mpi) the MPI program, its page
# and the Slurm script; korvex the rest, so that korvex-batch needs no Qt and
# the desktop package no MPI.
if [[ " ${programs[*]} " == *" korvex-batch "* ]]; then
    cli=$(printf '%s\n' bin/korvex-batch share/man/man1/korvex-batch.1.gz \
          share/doc/korvex/README.md share/doc/korvex/validation.md share/doc/korvex/convergence.png \
          share/doc/korvex/examples/datasets.txt share/doc/korvex/examples/results.txt \
          share/doc/korvex/examples/rotation.txt share/doc/korvex/examples/sweep.txt \
          share/doc/korvex-batch/copyright share/doc/korvex-batch/changelog.gz | sort)
    mpi=$(printf '%s\n' bin/korvex-batch-mpi share/man/man1/korvex-batch-mpi.1.gz \
          share/doc/korvex/examples/slurm.sh \
          share/doc/korvex-mpi/copyright share/doc/korvex-mpi/changelog.gz | sort)
    components="cli korvex"
    [[ " ${programs[*]} " == *" korvex-batch-mpi "* ]] && components="$components mpi"
    for component in $components; do
        part=$(mktemp -d)
        cmake --install "$build" --prefix "$part" --component $component >/dev/null 2>&1 ||
            fail "cmake --install --component $component"
        got=$(cd "$part" && find . -type f -o -type l | sed 's|^\./||' | sort)
        rm -rf "$part"
        case $component in
        cli) want=$cli ;;
        mpi) want=$mpi ;;
        *) want=$(grep -vxF -e "$cli" -e "$mpi" <<<"$wanted" | grep -vx 'share/doc/korvex/examples/slurm.sh' |
                  grep -vxF -f <(printf '%s\n' "${pythonfiles[@]}")) ;;
        esac
        if [ "$got" != "$want" ]; then
            fail "component $component differs from the expected list (< installed, > expected):"
            diff <(echo "$got") <(echo "$want") | grep '^[<>]'
        fi
    done
fi
# The Python module is a package of its own, python3-korvex, and imports
# from where it was installed.
if [ ${#pythonfiles[@]} -gt 0 ]; then
    part=$(mktemp -d)
    cmake --install "$build" --prefix "$part" --component python >/dev/null 2>&1 ||
        fail "cmake --install --component python"
    got=$(cd "$part" && find . -type f -o -type l | sed 's|^\./||' | sort)
    rm -rf "$part"
    want=$(printf '%s\n' "${pythonfiles[@]}" share/doc/python3-korvex/copyright \
           share/doc/python3-korvex/changelog.gz | sort)
    [ "$got" = "$want" ] || fail "component python differs: $(diff <(echo "$got") <(echo "$want") | grep '^[<>]')"
    site=$prefix/$(dirname "$(dirname "${pythonfiles[0]}")")
    (cd "$prefix" && PYTHONPATH=$site /usr/bin/python3 -c 'import korvex
assert korvex.run(korvex.Geometry(r2=1, c=2), emissions=1000, seed=1, progress=False).emitted == 1000') ||
        fail "the installed module korvex does not import and run"
fi

for program in "${programs[@]}"; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
    [ "$program" = korvex ] && continue
    out=$("$prefix/bin/$program" --version)
    [ "$(head -n1 <<<"$out")" = "$program $version" ] || fail "$program --version does not say $version"
    grep -q 'MIT License' <<<"$out" || fail "$program --version does not name the licence"
done

batch=$prefix/bin/korvex-batch
if [ -x "$batch" ]; then
    examples=$prefix/share/doc/korvex/examples
    if "$batch" --quiet --seed 20240601 "$examples/datasets.txt" "$prefix/results.txt" 2>/dev/null; then
        datasets=$(grep -c '^\*' "$examples/datasets.txt")
        reports=$(grep -c '^Average solid angle' "$prefix/results.txt")
        [ "$datasets" = "$reports" ] || fail "the installed examples gave $reports reports for $datasets datasets"
    else
        fail "korvex-batch on the installed examples"
    fi
fi

# Every option of a command-line program's --help is an item of its manual
# page's option lists (the window takes Qt's options and has no --help).
for page in "${pages[@]}"; do
    program=${page%.1}
    [ "$program" = korvex ] && continue
    items=$(gzip -dc "$prefix/share/man/man1/$page.gz" | awk 'previous == ".TP" { print } { previous = $0 }' |
            sed 's/\\-/-/g' | grep -o -- '--[a-z][a-z-]*' | sort -u)
    help=$("$prefix/bin/$program" --help) || fail "$program --help"
    for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
        grep -qx -- "$option" <<<"$items" || fail "$page does not describe $option"
    done
done

for page in "$prefix"/share/man/man1/*.1.gz; do
    gzip -dc "$page" | grep -q "^\.TH .*\"Korvex $version\"" || fail "$(basename "$page") does not say $version"
    if have man; then
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$(basename "$page") renders with warnings: $warnings"
    fi
done

if [ $window = yes ]; then
    metainfo=$prefix/share/metainfo/$id.metainfo.xml
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
    if have desktop-file-validate; then
        desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
    fi
    if have appstreamcli; then
        appstreamcli validate --no-net "$metainfo" >"$prefix/validate.log" 2>&1 ||
            { cat "$prefix/validate.log"; fail "appstreamcli validate --no-net"; }
    fi
fi

if [ $failures -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
if [ -n "$missing" ]; then
    echo "Skipped: not found:$missing (the other checks passed)"
    exit 77
fi
echo "The installed tree is complete and valid"
