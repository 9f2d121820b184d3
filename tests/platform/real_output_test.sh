#!/usr/bin/env bash
# Sound reaches the real path: a private sound server with a null sink is started, the probe
# plays eight clicks through PortAudio (ALSA, the server's plug-in), the last four after a gap
# long enough for the output to stop its idle stream, the sink's monitor is recorded, and the
# recording must hold the eight clicks, the fifth within 20 ms of its time: the stopped stream
# started again in time. Exact timing is the benchmark's business.
# The server and the recorder are stopped at the end, also when the test fails.
set -euo pipefail
probe=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/sound-server.sh
source "$root/scripts/sound-server.sh"

work=$(mktemp -d)
trap 'sound_server_stop; rm -rf "$work"' EXIT
sound_server_start "$work"
sound_server_record "$work/monitor.raw"
sleep 0.3
gap_ms=12000
GROOVANE_AUDIO=portaudio "$probe" play 8 150 "$gap_ms" </dev/null
sleep 0.3
sound_server_stop
result=$("$probe" count "$work/monitor.raw")
echo "clicks recorded and frames between them: $result"
read -r -a counts <<<"$result"
[ "${counts[0]}" = 8 ]
due=$(((150 + gap_ms) * 441 / 10))
off=$((counts[4] - due))
echo "the first click after the gap: ${off} frames from its time"
[ "${off#-}" -le 882 ]
