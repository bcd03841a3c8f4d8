#!/bin/bash
# A Slurm cluster of this one machine for the tests, all its state in DIR:
# its own munge key and socket, slurm.conf, spool, logs and pid files.
#   single-node-slurm.sh start DIR   starts munged, slurmctld and slurmd; waits until the node is idle
#   single-node-slurm.sh stop DIR    stops the three by their pid files
# Clients find the cluster through SLURM_CONF=DIR/slurm.conf. Runs as root.
set -euo pipefail
action=${1:?start or stop}
dir=$(cd "${2:?names the folder}" && pwd)

stop_pid() {
  local file=$1 pid
  [ -f "$file" ] || return 0
  pid=$(cat "$file")
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
}

if [ "$action" = stop ]; then
  stop_pid "$dir/slurmd.pid"
  stop_pid "$dir/slurmctld.pid"
  stop_pid "$dir/munge/munged.pid"
  exit 0
fi

host=$(hostname -s)
mkdir -p "$dir/munge" "$dir/state" "$dir/spool"
chmod 700 "$dir/munge"
mungekey --create --keyfile="$dir/munge/munge.key" --force 2>/dev/null || dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 2>/dev/null
chmod 600 "$dir/munge/munge.key"
munged --force --socket="$dir/munge/munge.socket" --key-file="$dir/munge/munge.key" \
       --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" --seed-file="$dir/munge/munged.seed"
# Ports of our own, so that a cluster the machine runs already is left alone.
base=$((20000 + RANDOM % 20000))
cat > "$dir/slurm.conf" <<CONF
ClusterName=corvixtest
SlurmctldHost=$host
SlurmctldPort=$base
SlurmdPort=$((base + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=corvix Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$dir/slurm.conf
slurmctld -i
slurmd
for _ in $(seq 300); do
  state=$(sinfo -h -o %T 2>/dev/null || true)
  [ "$state" = idle ] && exit 0
  sleep 0.1
done
echo "the node did not become idle (state: ${state:-none}); see $dir/*.log" >&2
exit 1
