# Shared by the host-test scripts (sourced): results, stage timings, bounded
# host runs. A check ends with `pass NAME DETAILS` or `fail NAME DETAILS`;
# `summary` closes the run with the counts.

passed=0
failed=0
notes=()

say() { printf '%s\n' "$*"; }

pass() {
  local name=$1; shift
  passed=$((passed + 1))
  say "PASS $name: $*"
}

fail() {
  local name=$1; shift
  failed=$((failed + 1))
  say "FAIL $name: $*"
}

# Something the reader should know that is not a failure (a retried host crash).
note() {
  notes+=("$*")
  say "NOTE $*"
}

stage_started=0
stage_name=""
stage_times=()

stage() {
  stage_end
  stage_name=$1
  stage_started=$(date +%s)
  say ""
  say "== $stage_name"
}

stage_end() {
  [ -n "$stage_name" ] || return 0
  stage_times+=("$stage_name: $(($(date +%s) - stage_started)) s")
  stage_name=""
}

summary() {
  stage_end
  say ""
  say "== Summary"
  local line
  for line in "${stage_times[@]}"; do say "time  $line"; done
  for line in "${notes[@]}"; do say "note  $line"; done
  say "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# bounded SECONDS LOG COMMAND...: runs the command with its output in LOG and
# ends it (and its children) after SECONDS. Returns the command's status; 124
# when it ran out of time.
bounded() {
  local seconds=$1 log=$2
  shift 2
  # The subshell keeps bash's own report of a command killed by a signal
  # out of the output; the status says it.
  (timeout --kill-after=10 "$seconds" "$@" >"$log" 2>&1 </dev/null; exit $?) 2>/dev/null
}

# The name of the signal a status above 128 stands for, or the status itself.
status_text() {
  local status=$1
  if [ "$status" -eq 124 ]; then
    echo "ran out of time"
  elif [ "$status" -gt 128 ]; then
    echo "died of SIG$(kill -l $((status - 128)) 2>/dev/null || echo $((status - 128)))"
  else
    echo "exited with status $status"
  fi
}

# The last lines of a host's log, indented, for a failure message.
log_tail() {
  tail -n "${2:-15}" "$1" | sed 's/^/    | /'
}

# A table value as the normalised value a host stores: value / steps.
normalised() { awk -v v="$1" -v n="$2" 'BEGIN { printf "%.9g", v / n }'; }
