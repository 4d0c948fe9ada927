# Qtractor (sourced by run-hosts.sh): its plug-in scanner, as Qtractor runs it
# on every VST file it finds, on tolvar.so. Needs: work, linux_vst.

qtractor_scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan

run_qtractor() {
  work=$work_root/qtractor
  mkdir -p "$work/home"
  stage "Qtractor: plug-in scanner"
  local log=$work/scan.log status
  # The scanner reads "TYPE:PATH" lines and answers one line per plug-in:
  # VST|name|audio ins:outs|midi ins:outs|params:outputs|flags|path|index|id
  echo "VST:$linux_vst/tolvar.so" | HOME=$work/home timeout --kill-after=10 60 "$qtractor_scanner" >"$log" 2>&1
  status=$?
  local line
  line=$(grep -m1 '^VST|' "$log")
  if [ -z "$line" ]; then
    fail qtractor-scan "the scanner $(status_text $status) and listed nothing"
    log_tail "$log"
    return 0
  fi
  local name io params flags
  IFS='|' read -r _ name io _ params flags _ <<<"$line"
  local seen="name \"$name\", audio $io, parameters ${params%%:*}, flags $flags"
  if [ "$name" = Tolvar ] && [ "$io" = 2:2 ] && [ "${params%%:*}" = 15 ]; then
    pass qtractor-scan "$seen"
  else
    fail qtractor-scan "$seen; wanted \"Tolvar\", 2:2, 15 parameters"
    log_tail "$log"
  fi
}
