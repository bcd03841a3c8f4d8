#!/bin/bash
# Submits a capture split into PARTS parts to Slurm: a job array of the parts,
# then the merge, which starts once every part has ended, whatever its exit code
# (a part that failed or was killed is named by the merge as missing).
#   CORVIX_DATA=/shared/varnwick deploy/slurm/submit.sh [--wait] PARTS [corvix options of the parts]
# Prints the merge's job id; with --wait it waits for the merge and exits with
# its exit code (0 all priced, 1 some failed, 2 a part missing or unreadable).
# CORVIX_RUN names the run (default: the UTC time of submission), CORVIX_LOGS
# the folder of the jobs' output (default: the current one). Resources
# (--partition, --time, --mem ...) go into sbatch's SBATCH_* variables.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wait=()
if [ "${1:-}" = --wait ]; then wait=(--wait); shift; fi
parts=${1:?usage: submit.sh [--wait] PARTS [corvix options of the parts]}
shift
case $parts in ''|*[!0-9]*) echo "PARTS must be a whole number: $parts" >&2; exit 2 ;; esac
[ "$parts" -ge 1 ] || { echo "PARTS must be at least 1" >&2; exit 2; }
: "${CORVIX_DATA:?names the data root}"
export CORVIX_DATA CORVIX_PARTS=$parts
export CORVIX_RUN=${CORVIX_RUN:-$(date -u +%Y%m%d-%H%M%S)}
logs=${CORVIX_LOGS:-$PWD}
array=$(sbatch --parsable --array=0-$((parts - 1)) --output="$logs/corvix-part-%A_%a.log" "$here/corvix-part.sbatch" "$@")
array=${array%%;*}
echo "corvix: run $CORVIX_RUN, parts in job array $array" >&2
exec sbatch --parsable --dependency=afterany:"$array" --output="$logs/corvix-merge-%j.log" ${wait[@]+"${wait[@]}"} \
     "$here/corvix-merge.sbatch"
