#!/usr/bin/env bash
# Sound reaches the real path: a private sound server with a null sink is started, the probe
# plays eight clicks through PortAudio (ALSA, the server's plug-in), the sink's monitor is
# recorded, and the recording must hold the eight clicks. Timing is the benchmark's business.
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
GROOVANE_AUDIO=portaudio "$probe" play 8 150 </dev/null
sleep 0.3
sound_server_stop
result=$("$probe" count "$work/monitor.raw")
echo "clicks recorded and frames between them: $result"
[ "${result%% *}" = 8 ]
