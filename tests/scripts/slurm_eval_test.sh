#!/usr/bin/env bash
# The Slurm script, run through a stand-in sbatch: three shards over four
# images merge into the CSV of one eval over them, stage times aside.
# Usage: slurm_eval_test.sh FILAMORPH_PROGRAM SOURCE_DIR
set -euo pipefail
program=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

images=("$source"/tests/data/images/bmpsuite/g/{pal8gs,rgb24,pal8,pal8topdown}.bmp)
for image in "${images[@]}"; do [ -f "$image" ] || { echo "missing test image $image" >&2; exit 1; }; done

FILAMORPH=$program PATH="$source/tests/scripts/fake-slurm:$PATH" \
  "$source/scripts/slurm-eval.sh" 3 "$work/results" "${images[@]}" -- --keep 8
"$program" eval -q --keep 8 --csv "$work/single.csv" "${images[@]}" >/dev/null

results=$(find "$work/results/shards" -name '*.result' | wc -l)
[ "$results" -eq 4 ] || { echo "expected four result files, found $results" >&2; cat "$work"/results/logs/* >&2; exit 1; }
without_times() { cut -d, -f1-16,24-26,28- "$1"; }
if ! diff <(without_times "$work/single.csv") <(without_times "$work/results/results.csv"); then
  echo "the merged shards differ from one run" >&2
  cat "$work"/results/logs/* >&2
  exit 1
fi
[ -s "$work/results/report/report.html" ]
echo "three shards merged equal one run"
