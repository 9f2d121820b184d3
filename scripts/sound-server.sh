#!/usr/bin/env bash
# A private PulseAudio server with one null sink, for the tests and benchmarks that play through
# the real sound path (PortAudio -> ALSA -> the server). Source this file, then:
#   sound_server_start DIR   starts the server with its runtime folder below DIR (made private),
#                            exports XDG_RUNTIME_DIR, PULSE_SERVER and PULSE_SINK for the
#                            programs started afterwards, and waits until it answers
#   sound_server_record FILE records the null sink's monitor (16-bit stereo 44100 Hz, raw) in
#                            the background; its process id is in SOUND_SERVER_RECORDER
#   sound_server_stop        stops the recorder and the server (safe to call twice)
# Works as root and as a user; needs no display and no standard input.

SOUND_SERVER_PID=""
SOUND_SERVER_RECORDER=""

sound_server_start() {
  local dir=$1
  mkdir -p "$dir/run" "$dir/home"
  chmod 700 "$dir/run"
  export XDG_RUNTIME_DIR="$dir/run"
  export PULSE_RUNTIME_PATH="$dir/run/pulse"
  export PULSE_STATE_PATH="$dir/home/state"
  export PULSE_SERVER="unix:$dir/run/pulse/native"
  export PULSE_SINK=groovane_null
  cat > "$dir/server.pa" <<PA
load-module module-native-protocol-unix
load-module module-null-sink sink_name=groovane_null rate=44100 channels=2 format=s16le
set-default-sink groovane_null
PA
  # -n: only the configuration above; real-time scheduling where the system grants it.
  HOME="$dir/home" pulseaudio -n -F "$dir/server.pa" --daemonize=no --exit-idle-time=-1 \
    --realtime=true --high-priority=true --disable-shm=true --log-target=file:"$dir/server.log" \
    </dev/null >/dev/null 2>&1 &
  SOUND_SERVER_PID=$!
  local i
  for i in $(seq 1 100); do
    if pactl info >/dev/null 2>&1; then
      return 0
    fi
    if ! kill -0 "$SOUND_SERVER_PID" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  echo "sound-server: the server did not start; its log:" >&2
  cat "$dir/server.log" >&2 2>/dev/null || true
  return 1
}

sound_server_record() {
  parec -d groovane_null.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=20 \
    >"$1" </dev/null 2>/dev/null &
  SOUND_SERVER_RECORDER=$!
}

sound_server_stop() {
  if [ -n "$SOUND_SERVER_RECORDER" ]; then
    kill "$SOUND_SERVER_RECORDER" 2>/dev/null || true
    wait "$SOUND_SERVER_RECORDER" 2>/dev/null || true
    SOUND_SERVER_RECORDER=""
  fi
  if [ -n "$SOUND_SERVER_PID" ]; then
    kill "$SOUND_SERVER_PID" 2>/dev/null || true
    wait "$SOUND_SERVER_PID" 2>/dev/null || true
    SOUND_SERVER_PID=""
  fi
}
