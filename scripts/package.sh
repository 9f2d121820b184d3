#!/usr/bin/env bash
# Makes the Debian package of Groovane Pro: a Release build of the programs and the files they
# ship in build/package (no tests, no sanitizers), packed by CPack into
# build/package/groovane_<version>_<arch>.deb. The package depends on the Debian packages of the
# libraries the programs link (Qt 6, PortAudio, ...). Standard output is the package's path
# alone; the build reports on standard error.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DGROOVANE_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build/package -j "$jobs" >&2
rm -f build/package/groovane_*.deb
(cd build/package && cpack -G DEB) >&2
ls "$(pwd)"/build/package/groovane_*.deb
