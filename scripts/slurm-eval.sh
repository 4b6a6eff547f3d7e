#!/usr/bin/env bash
# Measures a corpus on a Slurm cluster: a job array with one eval shard per
# task, each writing its images' results into one shared folder, then a job
# that runs after the whole array and merges them with filamorph report.
#
#   scripts/slurm-eval.sh SHARDS RESULTS IMAGE... [-- EVAL_OPTIONS...]
#
# RESULTS receives shards/ (the per-image result files), logs/, results.csv
# and report/report.html. The image list, RESULTS and the program
# (FILAMORPH, default build/cli/filamorph) must be on a file system every
# node sees. Extra sbatch options (partition, time, account) go in
# SBATCH_OPTIONS, e.g. SBATCH_OPTIONS="--partition=short --time=2:00:00".
#SBATCH --job-name=filamorph-eval
#SBATCH --cpus-per-task=1
set -euo pipefail

# Inside a job Slurm runs a copy of this file, so the folder it came from is passed along.
here=${FILAMORPH_SCRIPTS:-$(cd "$(dirname "$0")" && pwd)}
program=${FILAMORPH:-$here/../build/cli/filamorph}

usage() {
  echo "usage: $0 SHARDS RESULTS IMAGE... [-- EVAL_OPTIONS...]" >&2
  exit 64
}

case "${1:-}" in
  --shard-task)  # SHARDS RESULTS: one array task
    results=$3
    mapfile -t images <"$results/images.txt"
    mapfile -t options <"$results/options.txt"
    exec "$program" eval -q --jobs "${SLURM_CPUS_PER_TASK:-1}" --shard "$SLURM_ARRAY_TASK_ID/$2" \
      --out "$results/shards" "${options[@]}" "${images[@]}"
    ;;
  --report-task)  # RESULTS: after every task, whatever its exit status
    exec "$program" report -q "$2/shards" --csv "$2/results.csv" --report "$2/report"
    ;;
esac

[ $# -ge 3 ] || usage
shards=$1
results=$2
shift 2
[[ "$shards" =~ ^[1-9][0-9]*$ ]] || usage
images=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  images+=("$(realpath -- "$1")")
  shift
done
[ $# -gt 0 ] && shift
[ ${#images[@]} -gt 0 ] || usage

mkdir -p "$results/shards" "$results/logs"
results=$(realpath -- "$results")
printf '%s\n' "${images[@]}" >"$results/images.txt"
printf '%s\n' "$@" >"$results/options.txt"
[ $# -gt 0 ] || : >"$results/options.txt"
program=$(realpath -- "$program")

# shellcheck disable=SC2086  # SBATCH_OPTIONS is a list of options
array=$(sbatch --parsable ${SBATCH_OPTIONS:-} --array=0-$((shards - 1)) --output="$results/logs/shard-%a.log" \
  --export=ALL,FILAMORPH="$program",FILAMORPH_SCRIPTS="$here" "$here/slurm-eval.sh" --shard-task "$shards" "$results")
array=${array%%;*}
# shellcheck disable=SC2086
merge=$(sbatch --parsable ${SBATCH_OPTIONS:-} --dependency=afterany:"$array" --output="$results/logs/report.log" \
  --export=ALL,FILAMORPH="$program",FILAMORPH_SCRIPTS="$here" "$here/slurm-eval.sh" --report-task "$results")
echo "array job $array ($shards shards), report job ${merge%%;*}: $results/results.csv and $results/report/report.html"
