#!/usr/bin/env bash
# The demo: generates a test signal, renders it through the plug-in with a few
# settings, measures and draws the equaliser's response, and says what it did.
# Run by `make demo` after the build; usage: scripts/demo.sh BUILD_DIR
set -euo pipefail

build=${1:-build}
tolvar="$build/bin/tolvar"
out=demo
rate=48000
settings=(
  --set "HPF=82 Hz"            # high-pass at 82 Hz
  --set "LShelfF=100 Hz" --set "LShelfG=+3 dB"     # low shelf +3 dB at 100 Hz
  --set "Band2F=2700 Hz" --set "Band2G=-4 dB" --set "Band2HQ=on"  # band 2 -4 dB at 2700 Hz, Hi-Q
  --set "HShelfF=10 kHz" --set "HShelfG=+2 dB"     # high shelf +2 dB at 10 kHz
)

mkdir -p "$out"
echo "== The plug-in"
"$tolvar" info --rate "$rate" "${settings[@]}"
echo
echo "== A test signal: drum-like noise bursts, a bass line, then a sweep from 20 Hz to 20 kHz"
"$build/bin/tolvar-demo-signal" "$out/in.wav"
echo "wrote $out/in.wav"
echo
echo "== Rendered through the plug-in"
"$tolvar" render "$out/in.wav" "$out/out.wav" "${settings[@]}"
echo
echo "== The equaliser's response"
"$tolvar" response --rate "$rate" "${settings[@]}" --csv "$out/response.csv" --plot "$out/response.png"
echo
echo "Listen to $out/in.wav and $out/out.wav; the response is drawn in $out/response.png."
echo "Render your own file: $tolvar render IN.wav OUT.wav --set NAME=VALUE ...  (see $tolvar render --help)"
