#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Groovane Pro need.
# Idempotent: installs only what is missing, and touches nothing when all is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-multimedia-dev
  fonts-dejavu-core # the windows' texts are fitted to DejaVu Sans at the designed positions
  portaudio19-dev
  fluid-soundfont-gm libfluidsynth-dev # the drum kits are played from this sound font at build time
  libgtest-dev libgmock-dev
  libbenchmark-dev
  clang libclang-rt-14-dev # the libFuzzer harnesses of the file readers (scripts/fuzz.sh)
  clang-format # the source format scripts/check-format.sh holds the tree to
  # the install and the Debian package: their checks and the package's dependencies
  desktop-file-utils appstream dpkg-dev file shared-mime-info # update-mime-database checks the song type
  # the real sound path in a test and the live-timing benchmark: a private sound server with a
  # null sink, reached by PortAudio through ALSA's plug-in, its monitor recorded with parec
  pulseaudio pulseaudio-utils libasound2-plugins
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
