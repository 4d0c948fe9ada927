# LMMS 1.2 (sourced by run-hosts.sh): renders a project whose track plays a
# noise file through the 32-bit tolvar.dll (LMMS's VST effect, hosted by its
# RemoteVstPlugin under wine) on a virtual display, and compares the render
# with `tolvar render`. LMMS does not compensate latency: its render is set
# against the reference shifted by the latency the plug-in reports.
# Needs: work, win32_vst (folder with tolvar.dll and tolvar/), tolvar_cli,
# compare, here.

lmms_rate=44100
lmms_seconds=4
# As for Ardour: table value and number of steps; LMMS stores value / steps.
lmms_settings=(
  "0 InputMode 1 4"   # Mic Pre
  "2 HPF 3 5"         # 82 Hz
  "3 LShelfF 1 4"     # 56 Hz
  "4 LShelfG 15 25"   # +3 dB
  "7 Band1G 9 25"     # -3 dB at the default 820 Hz
  "9 Band2F 6 9"      # 2700 Hz
  "10 Band2G 8 25"    # -4 dB
  "11 Band2HQ 1 1"    # Hi-Q on
  "12 HShelfF 3 4"    # 10 kHz
  "13 HShelfG 14 25"  # +2 dB
)

lmms_project() {
  local input=$1 plugin=$2 out=$3
  local params="" render_names=() entry index name value steps n=0
  for entry in "${lmms_settings[@]}"; do
    read -r index name value steps <<<"$entry"
    params+="param$n=\"$index:$name:$(normalised "$value" "$steps")\" "
    n=$((n + 1))
  done
  # The note lasts the input and two seconds of ring-out; the song a bar more.
  local note_ticks=$(( (lmms_seconds + 2) * 96 ))
  local bars_ticks=$(( (note_ticks / 192 + 2) * 192 ))
  sed -e "s|@INPUT@|$input|g" -e "s|@PLUGIN@|$plugin|g" -e "s|@NUMPARAMS@|$n|" -e "s|@PARAMS@|$params|" \
      -e "s|@NOTE_TICKS@|$note_ticks|" -e "s|@BARS_TICKS@|$bars_ticks|" "$here/lmms/project.mmp.in" >"$out"
}

lmms_render_settings() {
  local entry index name value steps
  for entry in "${lmms_settings[@]}"; do
    read -r index name value steps <<<"$entry"
    [ "$name" = InputMode ] && name="Input Mode"
    printf '%s\n' --set "$name=#$value"  # table values
  done
}

# A wine prefix made before LMMS runs, with its server kept up: LMMS gives its
# VST server only so long to answer, and a first start of wine on a loaded
# machine (the prefix being made) can take longer.
lmms_prepare_wine() {
  bounded 300 "$work/wineboot.log" wineboot --init || return 1
  bounded 60 "$work/wineboot.log" wineserver --wait
  wineserver -p 120 >/dev/null 2>&1
}

# One render into work/render.wav; sets lmms_outcome to "rendered",
# "no-instance" (the plug-in's entry gave nothing: final) or "trouble" (LMMS
# or wine failed on their own: worth another try, which is reported).
lmms_render_once() {
  local log=$1 status
  rm -f "$work/render.wav"
  # The render runs offline with LMMS's own oversampling off (-x 1), so the
  # plug-in runs at the project's rate, and writes 32-bit float (-a).
  bounded 300 "$log" xvfb-run -a lmms --allowroot render "$work/project.mmp" -o "$work/render.wav" \
    -f wav -a -x 1 -s "$lmms_rate"
  status=$?
  if grep -q 'returned NULL' "$log"; then
    lmms_outcome=no-instance
  elif grep -q 'could not be loaded' "$log" || ! grep -q '^Done' "$log" || [ ! -s "$work/render.wav" ]; then
    note "lmms: render attempt $2: LMMS $(status_text $status) without a render with the plug-in" \
      "(\"$( (grep -m1 -E 'rror|could not' "$log" || tail -n1 "$log") | tr -d '\n')\")"
    lmms_outcome=trouble
  else
    [ $status -eq 0 ] || note "lmms: LMMS $(status_text $status) after it had finished the render"
    lmms_outcome=rendered
  fi
}

run_lmms() {
  work=$work_root/lmms
  mkdir -p "$work/home"
  stage "LMMS: render with tolvar.dll (wine, virtual display), comparison"
  export HOME=$work/home WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset XDG_CONFIG_HOME XDG_CACHE_HOME
  "$compare" noise "$work/input.wav" --rate "$lmms_rate" --seconds "$lmms_seconds"
  lmms_project "$work/input.wav" "$win32_vst/tolvar.dll" "$work/project.mmp"
  lmms_prepare_wine || { fail lmms-render "wine could not make its prefix"; log_tail "$work/wineboot.log"; return 0; }
  local attempt log
  for attempt in 1 2 3; do
    log=$work/render.$attempt.log
    lmms_render_once "$log" "$attempt"
    [ "$lmms_outcome" = trouble ] || break
  done
  wineserver -k >/dev/null 2>&1
  grep -E 'RemotePlugin|VST|unique ID|NULL|rror' "$log" | sed 's/^/    lmms: /' | head -n 12
  case $lmms_outcome in
    no-instance) fail lmms-render "LMMS could not make an instance: the plug-in's entry returned NULL"; return 0 ;;
    trouble) fail lmms-render "LMMS failed three times"; log_tail "$log"; return 0 ;;
  esac
  mapfile -t render_settings < <(lmms_render_settings)
  if ! "$tolvar_cli" render "$work/input.wav" "$work/reference.wav" --float "${render_settings[@]}" \
      >"$work/reference.log" 2>&1; then
    fail lmms-render "tolvar render failed"
    log_tail "$work/reference.log"
    return 0
  fi
  local latency
  latency=$("$tolvar_cli" info --rate "$lmms_rate" "${render_settings[@]}" | sed -n 's/^latency *\([0-9]*\) frames.*/\1/p')
  say "    tolvar: latency $latency frames at $lmms_rate Hz with these settings"
  # LMMS's sample player leaves out the file's last frame, and an aligned
  # output frame depends on input a few frames later (the rate conversion's
  # delay is part of the latency): the last 256 frames are not compared.
  local frames=$((lmms_rate * lmms_seconds - 256)) result
  if result=$("$compare" residual "$work/render.wav" "$work/reference.wav" --shift "$latency" --to "$frames"); then
    pass lmms-render "$result"
  else
    fail lmms-render "$result"
    local unshifted
    unshifted=$("$compare" residual "$work/render.wav" "$work/reference.wav" --to "$frames" --max-db 0)
    say "    without the shift: $unshifted"
  fi
}
