#!/bin/sh
# korvex-batch-mpi on two ranks when things go wrong: a stop from the rank
# that does not write (during a split dataset, and while it waits between
# datasets), a signal to mpirun, a rank given a bad --threads, and a rank
# killed midway. Every job must end, soon, with the stated status.
# Usage: mpi_failures.sh KORVEX_BATCH_MPI
set -u
if ! command -v mpirun >/dev/null 2>&1; then
    echo "mpirun not found: the MPI failure paths are skipped"
    exit 77
fi
program=$(realpath "$1")
dir=$(mktemp -d)
trap 'exec 3>&-; rm -rf "$dir"' EXIT
cd "$dir" || exit 1
if [ "$(id -u)" -eq 0 ]; then
    export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
fi
mpirun="mpirun --oversubscribe"
failures=0

# A disc over a sphere; emissions as given.
dataset() {
    printf 'true\nfalse\nfalse\nfalse\ntrue\n0\n0\n1\n0\n0\n0\n5\n0\n0\n0\n0\n10\n0\n0\n0\n%s\nfalse\n*\n' "$1"
}

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# The pid of rank 1 among the children of mpirun $1.
rank1() {
    for pid in $(pgrep -P "$1"); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx OMPI_COMM_WORLD_RANK=1; then
            echo "$pid"
            return
        fi
    done
}

# Waits for mpirun $1 to end, at most $2 seconds (then it is killed as hung);
# sets status.
finish() {
    i=0
    while kill -0 "$1" 2>/dev/null && [ $i -lt $(($2 * 10)) ]; do
        sleep 0.1
        i=$((i + 1))
    done
    if kill -0 "$1" 2>/dev/null; then
        kill -KILL "$1"
        wait "$1"
        status=hung
    else
        wait "$1"
        status=$?
    fi
}

# Waits until file $1 holds text $2; false after 20 seconds.
waitfor() {
    i=0
    until grep -q "$2" "$1" 2>/dev/null; do
        [ $i -ge 200 ] && return 1
        sleep 0.1
        i=$((i + 1))
    done
}

dataset 1E12 >big.txt

# A signal to rank 1 during a split dataset stops it everywhere: the aborted
# report, and korvex-batch's status for that signal.
$mpirun -n 2 "$program" --seed 5 --threads 1 big.txt results.txt 2>err.txt &
mp=$!
waitfor err.txt "Dataset 1 from file" || fail "SIGTERM to rank 1: no dataset started"
sleep 0.5
kill -TERM "$(rank1 $mp)"
finish $mp 30
[ "$status" = 143 ] || fail "SIGTERM to rank 1 during a dataset: status $status, not 143"
grep -q "Results up to time when simulation aborted:" results.txt ||
    fail "SIGTERM to rank 1: no aborted report"

# A signal to rank 1 while rank 0 waits for the next dataset (data from a
# FIFO): heard at once, not at the next split dataset.
rm -f results.txt
mkfifo data.fifo
$mpirun -n 2 "$program" --seed 5 --threads 1 data.fifo results.txt 2>err.txt &
mp=$!
exec 3<>data.fifo  # read and write: never waits for the other end
dataset 100 >&3
waitfor results.txt "Processing time" || fail "between datasets: the first dataset did not run"
kill -TERM "$(rank1 $mp)"
finish $mp 20
exec 3>&-
[ "$status" = 143 ] || fail "SIGTERM to rank 1 between datasets: status $status, not 143"
grep -qx "Done." err.txt || fail "SIGTERM to rank 1 between datasets: no Done."

# A signal to mpirun: it passes SIGTERM on to every rank, the aborted report
# is written, and mpirun itself (Open MPI) then exits with 1.
rm -f results.txt
$mpirun -n 2 "$program" --seed 5 --threads 1 big.txt results.txt 2>err.txt &
mp=$!
waitfor err.txt "Dataset 1 from file" || fail "SIGINT to mpirun: no dataset started"
sleep 0.5
kill -INT $mp
finish $mp 30
[ "$status" = 1 ] || fail "SIGINT to mpirun: status $status, not 1"
grep -q "Results up to time when simulation aborted:" results.txt ||
    fail "SIGINT to mpirun: no aborted report"

# Rank 1 given a --threads it cannot use: a usage error before any dataset.
rm -f results.txt
$mpirun -n 1 "$program" --threads 1 big.txt results.txt : \
    -n 1 "$program" --threads 0x big.txt results.txt 2>err.txt &
finish $! 30
[ "$status" = 2 ] || fail "bad --threads on rank 1: status $status, not 2"
grep -q "rank 1: --threads takes a whole number from 1 to 65536, not '0x'" err.txt ||
    fail "bad --threads on rank 1: no message"
[ -e results.txt ] && fail "bad --threads on rank 1: a dataset ran"

# Rank 1 killed midway: the job ends, with a failure, instead of waiting.
rm -f results.txt
$mpirun -n 2 "$program" --seed 5 --threads 1 big.txt results.txt 2>err.txt &
mp=$!
waitfor err.txt "Dataset 1 from file" || fail "killed rank: no dataset started"
sleep 0.5
kill -KILL "$(rank1 $mp)"
finish $mp 30
case $status in
    0 | hung) fail "rank 1 killed: status $status" ;;
esac

[ $failures -eq 0 ] || exit 1
echo "every MPI failure path ends as stated"
