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
    printf '%s\n' --set "$name=$value"
  done
}

run_lmms() {
  work=$work_root/lmms
  mkdir -p "$work/home"
  stage "LMMS: render with tolvar.dll (wine, virtual display), comparison"
  export HOME=$work/home WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset XDG_CONFIG_HOME XDG_CACHE_HOME
  "$compare" noise "$work/input.wav" --rate "$lmms_rate" --seconds "$lmms_seconds"
  lmms_project "$work/input.wav" "$win32_vst/tolvar.dll" "$work/project.mmp"
  rm -f "$work/render.wav"
  local log=$work/render.log status
  # The render runs offline with LMMS's own oversampling off (-x 1), so the
  # plug-in runs at the project's rate, and writes 32-bit float (-a).
  bounded 300 "$log" xvfb-run -a lmms --allowroot render "$work/project.mmp" -o "$work/render.wav" \
    -f wav -a -x 1 -s "$lmms_rate"
  status=$?
  wineserver -k >/dev/null 2>&1
  grep -E 'RemotePlugin|VST|entry|NULL|rror' "$log" | sed 's/^/    lmms: /' | head -n 12
  if [ $status -ne 0 ] || [ ! -s "$work/render.wav" ]; then
    fail lmms-render "lmms render $(status_text $status) without a render"
    log_tail "$log"
    return 0
  fi
  if grep -q 'could not be loaded' "$log"; then
    fail lmms-render "LMMS could not load tolvar.dll and rendered without it"
    return 0
  fi
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
