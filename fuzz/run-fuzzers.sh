#!/usr/bin/env bash
# Runs every fuzzer side by side for a bounded time, each from its committed
# seeds (fuzz/corpus/<name>/, only read) plus the corpus that earlier runs grew
# in the build directory, and prints each one's executions and coverage. Fails
# when any fuzzer finds a fault; its input is kept under
# <build>/fuzz/<name>_fuzzer/artifacts/ and the end of its log is printed.
#
# Usage: fuzz/run-fuzzers.sh <build directory> <seconds per fuzzer>
set -euo pipefail

build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
fuzzers=(ir_folder dispatcher)
# The dispatcher's inputs are call sequences: let them reach the length of the
# longest sequence it runs (64 calls) at once instead of growing slowly.
declare -A options=([ir_folder]="" [dispatcher]="-max_len=320 -len_control=0")
# No display: the editor's opcodes then answer at once instead of connecting to
# an X server on every call, and the fuzzers spend their time on the plug-in.
unset DISPLAY

pids=()
for name in "${fuzzers[@]}"; do
  work="$build/fuzz/${name}_fuzzer"
  mkdir -p "$work/corpus" "$work/artifacts"
  # A single input that holds the plug-in for 30 s is a fault of its own.
  # shellcheck disable=SC2086
  "$work/${name}_fuzzer" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 ${options[$name]} \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$root/fuzz/corpus/$name" \
    >"$work/run.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!fuzzers[@]}"; do
  name=${fuzzers[$i]}
  log="$build/fuzz/${name}_fuzzer/run.log"
  if wait "${pids[$i]}"; then result=passed; else result=FAILED; status=1; fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n 1 || true)
  echo "fuzz ${name}: ${result}, ${runs:-?} executions in ${seconds} s, ${coverage:-no coverage line}"
  if [ "$result" = FAILED ]; then
    tail -n 60 "$log"
  fi
done
exit $status
