#!/bin/sh
# Runs the parts as an Indexed Job, waits until it has ended (complete or
# failed: a failed part is named by the merge), then runs the merge Job.
#   deploy/kubernetes/run.sh [RUN]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
run=${1:-$(date -u +%Y%m%d-%H%M%S)}
kubectl delete job corvix-parts corvix-merge --ignore-not-found
sed "s/RUN-NAME/$run/" "$here/corvix-parts-job.yaml" | kubectl apply -f -
kubectl wait --for=condition=complete job/corvix-parts --timeout=12h &
complete=$!
kubectl wait --for=condition=failed job/corvix-parts --timeout=12h &
failed=$!
while kill -0 "$complete" 2>/dev/null && kill -0 "$failed" 2>/dev/null; do sleep 10; done
kill "$complete" "$failed" 2>/dev/null || true
sed "s/RUN-NAME/$run/" "$here/corvix-merge-job.yaml" | kubectl apply -f -
kubectl wait --for=condition=complete job/corvix-merge --timeout=1h
kubectl logs job/corvix-merge
