# Run by scripts/fresh-check inside a fresh root holding the packages in
# /root/debs: installs them one at a time with apt-get, in the order a user
# would, shows what each pulled in and its size, and runs the programs there.
set -euo pipefail
cd /root/debs
apt-get update -qq

# Installs one package file; fails showing apt-get's output.
installdeb() {
    local deb=$1 log=/tmp/apt-$1.log
    if ! apt-get install -y ./"$deb" >"$log" 2>&1; then
        tail -n 30 "$log"
        echo "FAIL: apt-get install ./$deb"
        return 1
    fi
    echo "installed $deb: $(grep -o 'After this operation, .*' "$log" || echo 'nothing more')"
}

one() { ls "$1"_*.deb 2>/dev/null | head -n1 || true; }

first=$(one korvex-batch)
if [ -n "$first" ]; then
    installdeb "$first"
    # The command-line package is for machines without a display.
    if grep -E '^(Get|Setting up|Unpacking).*libqt6' "/tmp/apt-$first.log"; then
        echo "FAIL: $first pulls in Qt"
        exit 1
    fi
fi
mpi=$(one korvex-mpi)
main=$(one korvex)
if [ -z "$first" ]; then
    installdeb "$main"
fi
korvex-batch --version
korvex-batch --seed 1 /usr/share/doc/korvex*/examples/datasets.txt /tmp/results.txt >/dev/null
grep -q '^Average solid angle = ' /tmp/results.txt
echo "ok korvex-batch ran the example datasets"

if [ -n "$mpi" ]; then
    installdeb "$mpi"
    export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
    korvex-batch-mpi --version
    echo "ok korvex-batch-mpi"
fi
if [ -n "$first" ]; then
    installdeb "$main"
fi
test -x /usr/bin/korvex
echo "ok korvex installed"
py=$(one python3-korvex)
if [ -n "$py" ]; then
    installdeb "$py"
    python3 -c 'import korvex; print("ok python3 imports korvex", getattr(korvex, "__version__", ""))'
fi
for p in korvex-batch korvex korvex-mpi python3-korvex; do
    s=$(dpkg-query -W -f='${Installed-Size}' "$p" 2>/dev/null || true)
    [ -z "$s" ] || echo "size $p: $s KiB installed"
done
