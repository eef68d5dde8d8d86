#!/usr/bin/env bash
# Runs the README's two archive recipes on the real engines, on this machine
# only: the Slurm job array on a single-node Slurm brought up from Debian's
# packages (a munge key of its own, slurmctld and slurmd with a private
# configuration, ports and spool), and the GNU parallel line on localhost
# (-S :). Each is run as written on a list of pages; one task is cancelled
# while it works, the recipe is run again, and then every page must be
# written exactly once, identical to a plain run, every report line whole and
# no partial or temporary file left.
#
# Needs root (it starts the daemons). Anything that keeps a check from
# running is a failure, never a skip. The CI test run calls it after the
# tests; PIXMEND_CLI names the pixmend-cli to use.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
preset="${PIXMEND_TEST_PRESET:-ci}"
cli="$(realpath -m "${PIXMEND_CLI:-build/$preset/cli/pixmend-cli}")"

fail() {
  echo "check-recipes: FAILED: $*" >&2
  exit 1
}
say() { echo "check-recipes: $*"; }

if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || fail "needs root to start munged, slurmctld and slurmd"
  exec sudo -E PIXMEND_CLI="$cli" bash "$0" "$@"
fi
[ -x "$cli" ] || fail "no pixmend-cli at $cli (build it first)"
PIXMEND_RECIPES=1 bash scripts/install-deps.sh
for tool in munged mungekey slurmctld slurmd sbatch squeue scancel sinfo parallel python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

work=$(mktemp -d /tmp/pixmend-recipes.XXXXXX)
chmod 0755 "$work"
daemons=()
cleanup() {
  local status=$?
  for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${daemons[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  if [ "$status" -ne 0 ]; then
    for log in "$work"/*.log; do
      [ -f "$log" ] && { echo "--- $log (last lines)" >&2; tail -n 25 "$log" >&2; }
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The pages: the sample at four times its size, so that a page takes a few
# seconds and a task can be cancelled while it works on one.
pages=6
mkdir -p "$work/data/in" "$work/data/filters" "$work/data/cleaned" "$work/data/reports"
"$cli" resize -q samples/halftone.bmp -o "$work/data/in/page0.png" --mode percent --value 400
for i in $(seq 1 $((pages - 1))); do cp "$work/data/in/page0.png" "$work/data/in/page$i.png"; done
cp samples/halftone.flt "$work/data/filters/halftone.flt"
ls "$work"/data/in/*.png >"$work/data/pages.txt"
mkdir -p "$work/reference"
"$cli" apply -q samples/halftone.flt --files-from "$work/data/pages.txt" -o "$work/reference" \
  --jobs 2

# A recipe's command lines as the README shows them (the indented block that
# starts with the given line), without the indentation.
recipe() {
  awk -v first="$1" '
    { line = $0; sub(/^    /, "", line) }
    index(line, first) == 1 { on = 1 }
    on && $0 == "" { exit }
    on { print line }' "$root/README.md"
}

# Checks a recipe's results in $1 (a copy of data/ after its runs).
check_results() {
  local dir=$1 name=$2
  [ -z "$(find "$dir/cleaned" -name '.pixmend-*')" ] || fail "$name: temporary files are left"
  local written
  written=$(find "$dir/cleaned" -type f | wc -l)
  [ "$written" -eq "$pages" ] || fail "$name: $written files in cleaned/, expected $pages"
  for i in $(seq 0 $((pages - 1))); do
    cmp -s "$dir/cleaned/page$i.png" "$work/reference/page$i.png" ||
      fail "$name: cleaned/page$i.png differs from a plain run"
  done
  python3 - "$dir" "$pages" "$name" <<'EOF'
import glob, json, sys
folder, pages, name = sys.argv[1], int(sys.argv[2]), sys.argv[3]
done = {}
for report in glob.glob(folder + "/reports/*.jsonl"):
    with open(report, "rb") as f:
        for number, raw in enumerate(f, 1):
            try:
                line = json.loads(raw.decode("utf-8"))
            except ValueError:
                sys.exit(f"{name}: {report} line {number} is not a whole JSON line: {raw[:80]!r}")
            if line["status"] == "done":
                done[line["input"]] = done.get(line["input"], 0) + 1
            elif line["status"] != "skipped":
                sys.exit(f"{name}: {report} line {number}: {line['status']}: {line['message']}")
if len(done) != pages or any(n != 1 for n in done.values()):
    sys.exit(f"{name}: pages done (each must be once): {done}")
EOF
}

# ---------------------------------------------------------------- Slurm
say "starting munged, slurmctld and slurmd (private configuration in $work)"
host=$(hostname -s)
mkdir -p "$work/munge" "$work/slurm/state" "$work/slurm/spool"
chmod 0700 "$work/munge"
mungekey --create --keyfile="$work/munge/munge.key" --force >/dev/null 2>&1 ||
  dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 0400 "$work/munge/munge.key"
munged --force --socket="$work/munge/socket" --key-file="$work/munge/munge.key" \
  --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/seed" \
  --log-file="$work/munged.log" || fail "munged did not start"
daemons+=("$(cat "$work/munge/munged.pid")")

export SLURM_CONF="$work/slurm/slurm.conf"
cat >"$SLURM_CONF" <<EOF
ClusterName=pixmendcheck
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
SlurmctldPort=26817
SlurmdPort=26818
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/socket
StateSaveLocation=$work/slurm/state
SlurmdSpoolDir=$work/slurm/spool
SlurmctldPidFile=$work/slurm/slurmctld.pid
SlurmdPidFile=$work/slurm/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
ReturnToService=2
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MaxArraySize=1000
KillWait=10
NodeName=$host CPUs=8 State=UNKNOWN
PartitionName=check Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -f "$SLURM_CONF" -i || fail "slurmctld did not start"
slurmd -f "$SLURM_CONF" || fail "slurmd did not start"
for _ in $(seq 100); do [ -s "$work/slurm/slurmctld.pid" ] && [ -s "$work/slurm/slurmd.pid" ] && break; sleep 0.2; done
daemons+=("$(cat "$work/slurm/slurmd.pid")" "$(cat "$work/slurm/slurmctld.pid")")
for _ in $(seq 120); do
  [ "$(sinfo -h -n "$host" -o %t 2>/dev/null)" = idle ] && break
  sleep 0.5
done
[ "$(sinfo -h -n "$host" -o %t 2>/dev/null)" = idle ] ||
  fail "the Slurm node did not become idle: $(sinfo 2>&1 | tr '\n' ' ')"

cp -r "$work/data" "$work/slurm-run"
recipe '#!/bin/bash' >"$work/slurm-run/descreen.sh"
grep -q -- '--array=0-99' "$work/slurm-run/descreen.sh" || fail "the README's Slurm recipe was not found"
export PATH="$(dirname "$cli"):$PATH"

# Waits until the job has no task left in the queue (at most $2 seconds).
wait_job() {
  local job=$1 limit=$2
  for _ in $(seq $((limit * 2))); do
    [ -z "$(squeue -h -j "$job" 2>/dev/null)" ] && return 0
    sleep 0.5
  done
  fail "Slurm job $job still runs after $limit s: $(squeue -j "$job" | tr '\n' ' ')"
}

cd "$work/slurm-run"
job=$(sbatch --parsable -o "$work/slurm-run/task-%a.log" descreen.sh) || fail "sbatch refused the recipe"
say "submitted the job array $job; waiting for a task that works on a page"
victim=""
for _ in $(seq 240); do
  victim=$(squeue -h -j "$job" -t R -o %K | awk '$1 < '"$pages"' { print; exit }')
  [ -n "$victim" ] && break
  sleep 0.25
done
[ -n "$victim" ] || fail "no task of job $job ever ran: $(squeue -j "$job" | tr '\n' ' ')"
sleep 1
[ ! -e "cleaned/page$victim.png" ] || fail "task $victim finished before it could be cancelled"
scancel "${job}_${victim}"
say "cancelled task $victim mid-run"
wait_job "$job" 600
[ ! -e "cleaned/page$victim.png" ] || fail "the cancelled task $victim wrote its page"
job=$(sbatch --parsable -o "$work/slurm-run/again-%a.log" descreen.sh) || fail "sbatch refused the recipe again"
say "submitted it again as $job"
wait_job "$job" 600
cd "$root"
check_results "$work/slurm-run" "Slurm"
say "Slurm: $pages of $pages pages written once, reports whole, nothing partial"

# ---------------------------------------------------------------- GNU parallel
cp -r "$work/data" "$work/parallel-run"
line=$(recipe 'seq 0 7 | parallel' | sed 's/-S host1,host2/-S :/' | tr -d '\\\n')
[ -n "$line" ] || fail "the README's GNU parallel recipe was not found"
cd "$work/parallel-run"
bash -c "$line" >"$work/parallel-first.log" 2>&1 &
first=$!
victim=""
for _ in $(seq 240); do
  victim=$(pgrep -f -- "--shard [0-$((pages - 1))]/8 .*reports" | head -n 1 || true)
  [ -n "$victim" ] && break
  sleep 0.25
done
[ -n "$victim" ] || fail "GNU parallel started no pixmend-cli"
sleep 1
kill -TERM "$victim"
say "stopped one shard (process $victim) mid-run"
wait "$first" || true
bash -c "$line" >"$work/parallel-again.log" 2>&1 || fail "the GNU parallel recipe failed on the second run"
cd "$root"
check_results "$work/parallel-run" "GNU parallel"
say "GNU parallel: $pages of $pages pages written once, reports whole, nothing partial"
