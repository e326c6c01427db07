#!/bin/bash
# A Korvex batch run over several machines of a Slurm cluster: one MPI rank
# per machine, each splitting its share of every dataset over all the cores
# Slurm gives it. The results file is written by rank 0 and is the same,
# processing times aside, as a one-machine run with the same --seed.
#
#   sbatch examples/slurm.sh datasets.txt results.txt
#
# Adjust the node count, the cores per node and the time to your cluster.
#SBATCH --job-name=korvex
#SBATCH --nodes=4
#SBATCH --ntasks-per-node=1
#SBATCH --cpus-per-task=32
#SBATCH --time=02:00:00
#SBATCH --output=korvex-%j.log

set -euo pipefail
data=${1:?usage: sbatch slurm.sh DATAFILE RESULTSFILE}
results=${2:?usage: sbatch slurm.sh DATAFILE RESULTSFILE}

# The ranks exchange a few hundred bytes per round: Open MPI's plain layer
# (ob1) serves that as well as the fast-network one and starts much sooner.
export OMPI_MCA_pml="${OMPI_MCA_pml:-ob1}"

# Debian's Open MPI starts under srun through PMIx; where srun was built
# without it, use "mpirun korvex-batch-mpi ..." inside the allocation instead.
srun --mpi=pmix korvex-batch-mpi --seed 4357 --threads "${SLURM_CPUS_PER_TASK}" --quiet \
    "$data" "$results"
