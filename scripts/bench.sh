#!/usr/bin/env bash
# Builds the benchmarks in bench/ as an optimised release in build/bench and runs every one of
# them, then the live-timing benchmark. Extra arguments go to each benchmark (e.g.
# --benchmark_filter=Pitched).
#
# Live timing: the real program plays a 16-step closed hi-hat pattern at tempo 60 (240 ms steps)
# endlessly, through PortAudio into a private sound server's null sink (its monitor recorded)
# and through the WAV recorder, on a quiet machine and with four busy loops running beside it.
# Then a 20 ms sample roll through the null sink. For each it reports the share of steps exact to
# a frame, the worst step error, the underruns ALSA reported and the program's processor share
# while playing and idle (the stream stops after ten idle seconds), with the load average.
# Environment: GROOVANE_LIVE_SECONDS (default 300) and GROOVANE_LIVE_IDLE_SECONDS (default 30)
# set the durations; GROOVANE_LIVE_ONLY=1 runs only the live timing; GROOVANE_LIVE_SKIP=1 skips it;
# GROOVANE_LIVE_LOADS (any of "quiet busy roll", the default) chooses the cases: "roll" plays a
# 20 ms sample roll through the null sink on the quiet machine for GROOVANE_LIVE_ROLL_SECONDS
# (default 60), and every hit must sound on its frame.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DGROOVANE_BUILD_BENCH=ON -DGROOVANE_BUILD_TESTS=OFF
cmake --build build/bench -j "$(nproc 2>/dev/null || echo 2)" --target benchmarks

if [ "${GROOVANE_LIVE_ONLY:-0}" != 1 ]; then
  while read -r bench; do
    [ -n "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench" "$@"
  done < build/bench/bench/benchmarks.txt
fi
[ "${GROOVANE_LIVE_SKIP:-0}" = 1 ] && exit 0

# shellcheck source=sound-server.sh
source "$root/scripts/sound-server.sh"
player="$root/build/bench/bench/pattern_playback_bench"
seconds=${GROOVANE_LIVE_SECONDS:-300}
idle=${GROOVANE_LIVE_IDLE_SECONDS:-30}
roll_seconds=${GROOVANE_LIVE_ROLL_SECONDS:-60}
work=$(mktemp -d)
busy=()
stop_busy() {
  local pid
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null || true; done
  busy=()
}
trap 'stop_busy; sound_server_stop; rm -rf "$work"' EXIT

# One case: $1 the load ("quiet" or "4 busy loops"), $2 the path ("null sink" or "wav"), and
# optionally $3 "roll": sample slot 1 on every step at tempo position 10 (20 ms steps) instead
# of the hi-hat, for $roll_seconds.
live_case() {
  local log="$work/run.log" tempo=120 play=$seconds sample_roll=0 what="hi-hat"
  if [ "${3:-}" = roll ]; then
    tempo=10 play=$roll_seconds sample_roll=1 what="20 ms sample roll"
  fi
  echo "== live timing, $what, $2, $1, ${play} s playing, ${idle} s idle"
  if [ "$2" = "null sink" ]; then
    sound_server_start "$work/server"
    sound_server_record "$work/monitor.raw"
    GROOVANE_BENCH_MONITOR="$work/monitor.raw" GROOVANE_BENCH_TEMPO_POSITION=$tempo \
      GROOVANE_BENCH_SAMPLE_ROLL=$sample_roll GROOVANE_BENCH_PLAY_SECONDS="$play" GROOVANE_BENCH_IDLE_SECONDS="$idle" \
      "$player" --benchmark_counters_tabular=true </dev/null 2>"$log" | grep -v "^$" | tail -n 3 || true
    sound_server_stop
    rm -f "$work/monitor.raw"
  else
    GROOVANE_BENCH_TEMPO_POSITION=$tempo GROOVANE_BENCH_SAMPLE_ROLL=$sample_roll \
      GROOVANE_BENCH_PLAY_SECONDS="$play" GROOVANE_BENCH_IDLE_SECONDS="$idle" \
      "$player" --benchmark_counters_tabular=true </dev/null 2>"$log" | grep -v "^$" | tail -n 3 || true
  fi
  echo "underruns reported: $(grep -c -i 'underrun' "$log" || true)"
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
}

for load in ${GROOVANE_LIVE_LOADS:-quiet busy roll}; do
  if [ "$load" = roll ]; then
    live_case quiet "null sink" roll
    continue
  fi
  [ "$load" = busy ] && load="4 busy loops"
  if [ "$load" != quiet ]; then
    for _ in 1 2 3 4; do
      bash -c 'while :; do :; done' &
      busy+=($!)
    done
  fi
  live_case "$load" "null sink"
  live_case "$load" "wav"
  stop_busy
done
