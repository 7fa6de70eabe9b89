#!/bin/bash
# A Slurm job array that extracts one archive on 64 tasks: each task takes its share of the
# same document list, and all write into one output folder.
#   sbatch --array=0-63 docs/scale/slurm-extract.sh /archive/documents.txt /shared/out
#SBATCH --job-name=quenlith-extract
#SBATCH --cpus-per-task=2
#SBATCH --output=quenlith-%A-%a.log
set -euo pipefail
list=$1 out=$2
shards=${SLURM_ARRAY_TASK_COUNT:-64}
shard=$((SLURM_ARRAY_TASK_ID + 1)) # --shard counts from 1
quenlith-cli extract --files-from "$list" --shard "$shard/$shards" --jobs "$SLURM_CPUS_PER_TASK" \
  -o "$out" --report "$out/report-$shard.json"
