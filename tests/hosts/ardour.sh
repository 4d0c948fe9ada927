# Ardour 7 (sourced by run-hosts.sh): its VST scanner on tolvar.so, then a
# session built and exported headlessly by its Lua session tool on the Dummy
# backend, compared with `tolvar render` of the recorded take.
#
# Needs: work (this host's folder), linux_vst (folder with tolvar.so and
# tolvar/), tolvar_cli, compare, here (this folder).

ardour_rate=48000
ardour_seconds=6      # recorded take
ardour_lead_in=0.5    # silence before the take: the export's declick falls there
ardour_tail=0.5
ardour_change_at=3.5  # session time of the automated step
# Settings as the plug-in's table values (what `tolvar params` calls display),
# with the number of steps of each parameter: Ardour gets value / steps.
ardour_settings=(
  "2 HPF 3 5"         # 82 Hz: a long composite, so a latency to compensate
  "4 LShelfG 15 25"   # +3 dB
  "6 Band1F 4 9"      # 1200 Hz
  "9 Band2F 6 9"      # 2700 Hz
  "10 Band2G 8 25"    # -4 dB
  "11 Band2HQ 1 1"    # Hi-Q on
  "12 HShelfF 3 4"    # 10 kHz
  "13 HShelfG 14 25"  # +2 dB
)
# Band1G steps from +6 dB to -6 dB at ardour_change_at.
ardour_automated=(7 Band1G 18 6 25)
# How Ardour should draw the fifteen parameters: lists with their number of
# choices, and switches.
ardour_kinds=("5 steps" "6 steps" "6 steps" "5 steps" "26 steps" switch "10 steps" "26 steps" switch
              "10 steps" "26 steps" switch "5 steps" "26 steps" switch)

ardour_env() {
  export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
  export LXVST_PATH=$linux_vst
  mkdir -p "$HOME" "$XDG_CONFIG_HOME/ardour7/export" "$XDG_CACHE_HOME"
  cp "$here/ardour/tolvar-float.preset" "$XDG_CONFIG_HOME/ardour7/export/"
}

# The scanner writes the cache that Ardour's plug-in list is read from.
ardour_scan() {
  local log=$work/scan.log status
  rm -rf "$XDG_CACHE_HOME/ardour7/vst"
  LD_LIBRARY_PATH=/usr/lib/ardour7 bounded 60 "$log" /usr/lib/ardour7/ardour-vst-scanner -v -f "$linux_vst/tolvar.so"
  status=$?
  local info
  info=$(grep -h '<VST2Info ' "$XDG_CACHE_HOME"/ardour7/vst/*.v2i 2>/dev/null)
  if [ $status -ne 0 ] || [ -z "$info" ]; then
    fail ardour-scan "the scanner $(status_text $status) and cached no plug-in"
    log_tail "$log"
    return 1
  fi
  local name ins outs editor
  name=$(sed -n 's/.* name="\([^"]*\)".*/\1/p' <<<"$info")
  ins=$(sed -n 's/.* n_inputs="\([0-9]*\)".*/\1/p' <<<"$info")
  outs=$(sed -n 's/.* n_outputs="\([0-9]*\)".*/\1/p' <<<"$info")
  editor=$(sed -n 's/.* has_editor="\([0-9]*\)".*/\1/p' <<<"$info")
  local seen="name \"$name\", $ins in / $outs out, editor $editor"
  if [ "$name" = Tolvar ] && [ "$ins" = 2 ] && [ "$outs" = 2 ]; then
    pass ardour-scan "$seen"
  else
    fail ardour-scan "$seen; wanted name \"Tolvar\", 2 in / 2 out"
    log_tail "$log"
    return 1
  fi
}

# ardour_lua NAME MARKER TIMEOUT FRESH SCRIPT ARGS...: runs a Lua session
# script, after removing FRESH (what an earlier attempt may have left).
# Ardour 7.3's session tool dies now and then inside Ardour itself (an abort
# in the export or at teardown, with or without any plug-in), and on a loaded
# machine its real-time recording may not start: a run that died, or that
# stopped on such trouble ("host-trouble:"), is tried again, up to three
# times, and the retry is reported. A script's own error ("Error:") is not.
ardour_lua() {
  local name=$1 marker=$2 seconds=$3 fresh=$4 script=$5
  shift 5
  local attempt status log
  for attempt in 1 2 3; do
    rm -rf "$fresh"
    log=$work/$name.$attempt.log
    bounded "$seconds" "$log" ardour7-lua "$here/ardour/$script" "$@"
    status=$?
    grep -q "^$marker\$" "$log" && return 0
    if grep -q '^Error:' "$log"; then
      fail "$name" "the Lua script stopped: $(grep -m1 '^Error:' "$log")"
      log_tail "$log"
      return 1
    fi
    note "ardour: $name attempt $attempt: ardour7-lua $(status_text $status) before it finished" \
      "(\"$( (grep -m1 '^host-trouble: ' "$log" || grep -v '^$' "$log" | tail -n1) | sed 's/^host-trouble: //')\");" \
      "$( [ $attempt -lt 3 ] && echo 'trying again' || echo 'giving up')"
  done
  fail "$name" "ardour7-lua died three times in a row"
  log_tail "$log"
  return 1
}

ardour_report() { sed -n 's/^host-report: //p' "$1"; }

# Builds the session; checks what Ardour makes of the plug-in.
ardour_build() {
  local settings=() entry index name value steps
  for entry in "${ardour_settings[@]}"; do
    read -r index name value steps <<<"$entry"
    settings+=("$index=$(normalised "$value" "$steps")")
  done
  local a_index a_name a_before a_after a_steps
  read -r a_index a_name a_before a_after a_steps <<<"${ardour_automated[*]}"

  ardour_lua ardour-session build-ok 180 "$work_session" build_session.lua "$work_session" Tolvar "$ardour_rate" "$ardour_seconds" \
    "$ardour_lead_in" "$ardour_tail" "$a_index" "$(normalised "$a_before" "$a_steps")" \
    "$(normalised "$a_after" "$a_steps")" "$ardour_change_at" "${settings[@]}" || return 1
  local build_log
  build_log=$(ls -t "$work"/ardour-session.*.log | head -n1)
  ardour_report "$build_log" | grep -v '^parameter ' | sed 's/^/    ardour: /'
  ardour_report "$build_log" | grep '^parameter ' | sed 's/^/    ardour: /'
  local parameters latency
  parameters=$(ardour_report "$build_log" | sed -n 's/^parameters //p')
  latency=$(ardour_report "$build_log" | sed -n 's/^latency \([0-9]*\) frames/\1/p')
  if [ "$parameters" = 15 ]; then
    pass ardour-instance "Ardour made an instance with 15 parameters, latency $latency frames at $ardour_rate Hz"
  else
    fail ardour-instance "Ardour reports ${parameters:-no} parameters; wanted 15"
  fi
  local i kind wrong=""
  for i in "${!ardour_kinds[@]}"; do
    kind=$(ardour_report "$build_log" | sed -n "s/^parameter $i .* range 0\.\.1 \(.*\)\$/\1/p")
    [ "$kind" = "${ardour_kinds[$i]}" ] || wrong+=" $i (${kind:-missing}, wanted ${ardour_kinds[$i]})"
  done
  if [ -z "$wrong" ]; then
    pass ardour-parameters "every parameter ranges 0..1; the lists have their number of steps, the switches are switches"
  else
    fail ardour-parameters "Ardour draws parameters differently:$wrong"
  fi
}

# Reloads the session and exports it; compares the export with tolvar render
# of the take at the automated parameter's two settings.
ardour_export_and_compare() {
  local render_settings=() entry name value
  for entry in "${ardour_settings[@]}"; do
    read -r _ name value _ <<<"$entry"
    render_settings+=(--set "$name=#$value")  # table values
  done
  local a_name a_before a_after
  read -r _ a_name a_before a_after _ <<<"${ardour_automated[*]}"

  ardour_lua ardour-export export-ok 180 "$work_session/export" export_session.lua "$work_session" automated || return 1
  local export_log
  export_log=$(ls -t "$work"/ardour-export.*.log | head -n1)
  ardour_report "$export_log" | sed 's/^/    ardour: /'
  local exported=$work_session/export/export.wav
  if [ ! -f "$exported" ]; then
    fail ardour-export "Ardour reported an export but wrote no $exported"
    return 1
  fi

  # The take as one stereo file, and the references rendered from it.
  local takes=("$work_session"/interchange/*/audiofiles/*%L.wav)
  "$compare" join "${takes[0]}" "${takes[0]/\%L/%R}" "$work/take.wav" || { fail ardour-render "cannot read the take"; return 1; }
  "$tolvar_cli" render "$work/take.wav" "$work/before.wav" --float "${render_settings[@]}" --set "$a_name=#$a_before" \
    >"$work/render-before.log" 2>&1 && \
  "$tolvar_cli" render "$work/take.wav" "$work/after.wav" --float "${render_settings[@]}" --set "$a_name=#$a_after" \
    >"$work/render-after.log" 2>&1 || { fail ardour-render "tolvar render failed"; log_tail "$work/render-before.log"; return 1; }
  local cli_latency
  cli_latency=$(sed -n 's/.*latency \([0-9]*\) frames.*/\1/p' "$work/render-before.log")
  say "    tolvar render: latency $cli_latency frames at $ardour_rate Hz (removed, as Ardour's compensation does)"
  local track_latency
  track_latency=$(ardour_report "$export_log" | sed -n 's/.*track latency \([0-9]*\) frames.*/\1/p')
  if [ "$track_latency" = "$cli_latency" ]; then
    pass ardour-latency "the reloaded track's latency, which Ardour compensates, is $track_latency frames, as tolvar reports"
  else
    fail ardour-latency "the reloaded track's latency is ${track_latency:-unknown} frames, tolvar reports ${cli_latency:-none}"
  fi

  # Ardour compensates the latency: take frame n is session frame lead-in + n.
  local shift change guard
  shift=$(awk -v s="$ardour_lead_in" -v r="$ardour_rate" 'BEGIN { printf "%d", s * r + 0.5 }')
  change=$(awk -v s="$ardour_change_at" -v l="$ardour_lead_in" -v r="$ardour_rate" 'BEGIN { printf "%d", (s - l) * r + 0.5 }')
  guard=$((${cli_latency:-0} + 2048))
  local result
  if result=$("$compare" residual "$exported" "$work/before.wav" --shift "$shift" --to $((change - guard))); then
    pass ardour-render "$a_name at its first setting, take frames 0..$((change - guard)): $result"
  else
    fail ardour-render "$result"
  fi
  if result=$("$compare" residual "$exported" "$work/after.wav" --shift "$shift" --from $((change + guard))); then
    pass ardour-automation "after the step of $a_name, take frames $((change + guard))..end: $result"
  else
    fail ardour-automation "after the step of $a_name: $result"
  fi
  # Where the export leaves the first setting's render: at the automated step.
  local departure
  departure=$("$compare" departure "$exported" "$work/before.wav" --shift "$shift" --threshold-db -60)
  if [[ $departure =~ ^[0-9]+$ ]] && [ "$departure" -ge $((change - guard)) ] && [ "$departure" -le $((change + guard)) ]; then
    pass ardour-automation-place "the export leaves the first setting at take frame $departure, $((departure - change)) frames" \
      "($(awk -v f=$((departure - change)) -v r="$ardour_rate" 'BEGIN { printf "%.1f", 1000 * f / r }') ms) after the step"
  else
    fail ardour-automation-place "the export leaves the first setting at take frame $departure; the step is at $change (tolerance $guard)"
  fi
}

run_ardour() {
  work=$work_root/ardour
  mkdir -p "$work"
  ardour_env
  stage "Ardour: VST scanner"
  ardour_scan || return 0
  stage "Ardour: session with Tolvar (Dummy backend), export, comparison"
  work_session=$work/session
  ardour_build && ardour_export_and_compare
}
