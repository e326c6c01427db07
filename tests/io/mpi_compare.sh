#!/bin/sh
# korvex-batch-mpi on two ranks against korvex-batch in one process: the
# example datasets, made large enough to be split, must give the same results
# file apart from the processing times.
# Usage: mpi_compare.sh KORVEX_BATCH KORVEX_BATCH_MPI EXAMPLE_DATAFILE
set -eu
if ! command -v mpirun >/dev/null 2>&1; then
    echo "mpirun not found: the MPI comparison is skipped"
    exit 77
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
sed 's|^1E6 |2500001.5 |' "$3" > "$dir/data.txt"
grep -q '^2500001.5 ' "$dir/data.txt"
root=""
[ "$(id -u)" -eq 0 ] && root="--allow-run-as-root"
"$1" --quiet --seed 20240601 --threads 1 "$dir/data.txt" "$dir/one.txt"
mpirun $root --oversubscribe -n 2 "$2" --quiet --seed 20240601 --threads 2 "$dir/data.txt" "$dir/mpi.txt"
strip() { sed 's|Processing time = [^\r]* s|Processing time|' "$1"; }
strip "$dir/one.txt" > "$dir/one.cmp"
strip "$dir/mpi.txt" > "$dir/mpi.cmp"
grep -q 'Emissions from source = 2500002 ' "$dir/one.cmp"
cmp "$dir/one.cmp" "$dir/mpi.cmp"
echo "same results on 2 ranks as in one process"
