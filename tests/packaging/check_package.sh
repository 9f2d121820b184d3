#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made: it depends on the runtime packages of
# Qt 6 and PortAudio (and not on FluidSynth or its sound font), and unpacked into a temporary
# folder it holds a complete program that starts from its desktop entry and renders the demo
# song (check_installed.sh).
#   check_package.sh PACKAGE DATA
# DATA is the package build's folder of shipped files.
set -euo pipefail
package=$1
data=$2
fail() {
  echo "check_package: $*" >&2
  exit 1
}

depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6multimedia6 libportaudio2; do
  [[ $depends == *"$library "* || $depends == *"$library," ]] || fail "the package does not depend on $library: $depends"
done
# The drum kits are played from the sound font when the program is built; the package carries
# them and needs neither the font nor FluidSynth.
[[ $depends != *fluid* ]] || fail "the package depends on the build's sound font or synthesizer: $depends"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$package" "$unpacked"
bash "$(dirname "$0")/check_installed.sh" "$unpacked/usr" "$data"
echo "check_package: $(basename "$package") is complete"
