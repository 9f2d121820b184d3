#!/usr/bin/env bash
# Checks an installed Groovane Pro as a user meets it: every file in place, the manual pages and
# changelog compressed, the copyright file machine-readable, the desktop entry, the song files'
# MIME type and the AppStream metadata valid, the icons of the sizes they claim; then the program started the
# way the desktop entry starts it, in a fresh home, makes ~/Groovane with every shipped file and
# the demo song and ends normally when asked; and groovane-render renders the demo song there.
#   check_installed.sh TREE DATA
# TREE is the install prefix as it lies on disk (a temporary prefix, or usr/ of an unpacked
# package); DATA the build's folder of shipped files, which the tree's share/groovane must match.
set -euo pipefail
tree=$(cd "$1" && pwd)
data=$2
id=internal.groovane.Groovane
fail() {
  echo "check_installed: $*" >&2
  exit 1
}

# The files.
for f in bin/groovane bin/groovane-render; do
  [ -x "$tree/$f" ] || fail "$f is missing or not a program"
done
for f in share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg \
  share/mime/packages/$id.xml share/doc/groovane/copyright; do
  [ -s "$tree/$f" ] || fail "$f is missing"
done
# Manual pages and the changelog lie compressed, as a Debian system keeps them, and still read.
for f in share/man/man1/groovane.1.gz share/man/man1/groovane-render.1.gz share/doc/groovane/changelog.gz; do
  gzip -t "$tree/$f" 2>/dev/null || fail "$f is missing or not compressed"
done
[ ! -e "$tree/share/man/man1/groovane.1" ] || fail "share/man/man1/groovane.1 lies uncompressed beside its .gz"
[[ $(zcat "$tree/share/man/man1/groovane.1.gz" | sed -n 1p) == ".TH GROOVANE 1 "* ]] || fail "groovane.1.gz is no manual page"
[[ $(zcat "$tree/share/doc/groovane/changelog.gz" | sed -n 1p) == "groovane (4.0) "* ]] ||
  fail "the changelog does not start with this version"
# The copyright file is machine-readable and credits the sound font the kits are made from.
head -1 "$tree/share/doc/groovane/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -q 'FluidR3' "$tree/share/doc/groovane/copyright" || fail "the copyright file does not credit the kits' sound font"
! grep -rIl 'example\.org' "$tree/share/applications" "$tree/share/metainfo" "$tree/share/doc" ||
  fail "a placeholder address is left in the metadata"
for size in 48 128 256; do
  icon=$tree/share/icons/hicolor/${size}x$size/apps/$id.png
  file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is not a $size x $size PNG"
done
shipped=$(cd "$tree/share/groovane" && ls)
[ "$shipped" = "$(cd "$data" && ls)" ] || fail "share/groovane holds $(echo $shipped), the build made $(cd "$data" && echo *)"
for f in Rock_kit.dxg Blank.wav Panning.dat groovane.html Demo.sng; do
  [ -s "$tree/share/groovane/$f" ] || fail "share/groovane/$f is missing"
done
[ "$(cd "$tree/share/groovane" && ls ./*.pat | wc -l)" -eq 8 ] || fail "share/groovane lacks demo patterns"
[ "$(cd "$tree/share/groovane" && ls ./*_kit.dxg | wc -l)" -ge 8 ] || fail "share/groovane lacks the kit library"

desktop-file-validate "$tree/share/applications/$id.desktop" || fail "the desktop entry is not valid"
# Songs open in the program: the MIME type builds into a MIME database without complaint, names
# *.sng, and the desktop entry takes it with a file argument; the window's class is the entry's.
mime=$(mktemp -d)
mkdir -p "$mime/mime/packages"
cp "$tree/share/mime/packages/$id.xml" "$mime/mime/packages/"
complaints=$(XDG_DATA_DIRS=$mime update-mime-database "$mime/mime" 2>&1) || fail "update-mime-database failed: $complaints"
[ -z "$complaints" ] || fail "update-mime-database complains: $complaints"
grep -q '^application/x-groovane-song:\*\.sng$' "$mime/mime/globs" || fail "the MIME type does not claim *.sng"
rm -rf "$mime"
grep -qx 'MimeType=application/x-groovane-song;' "$tree/share/applications/$id.desktop" || fail "the desktop entry takes no songs"
grep -q '^Exec=.* %f$' "$tree/share/applications/$id.desktop" || fail "the desktop entry passes no file"
grep -qx "StartupWMClass=$id" "$tree/share/applications/$id.desktop" || fail "the desktop entry names another window class"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$tree/share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "the AppStream metadata is not valid: $(appstreamcli validate --no-net "$tree/share/metainfo/$id.metainfo.xml")"
fi

# The program as the desktop starts it. The entry's Exec line quotes as a shell does for what it
# holds (a plain word and a double-quoted one) and expands nothing, so "~" reaches the program.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# Without a file to open the launcher drops the %f.
exec_line=$(sed -n 's/^Exec=//p' "$tree/share/applications/$id.desktop" | sed 's/ %f$//')
eval "args=($exec_line)"
[ "${args[0]}" = groovane ] || fail "the desktop entry starts ${args[0]}"
args[0]=$tree/bin/groovane
(cd / && HOME=$home QT_QPA_PLATFORM=offscreen GROOVANE_AUDIO=null exec "${args[@]}" 2>"$home/program.log") &
pid=$!
# It is up once it catches SIGTERM (which closes its main window); the limit only keeps a broken
# program from hanging the run.
catches_termination() {
  local mask
  mask=$(sed -n 's/^SigCgt:\s*//p' "/proc/$pid/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}
for _ in $(seq 1200); do
  catches_termination && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
catches_termination || fail "the program did not come up from its desktop entry: $(cat "$home/program.log")"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with $status: $(cat "$home/program.log")"
# The terminal shows the program's own lines and nothing of its libraries' chatter.
chatter=$(grep -v '^groovane: ' "$home/program.log" || true)
[ -z "$chatter" ] || fail "the program wrote more than its own lines on stderr: $chatter"
work=$home/Groovane
[ -d "$work/temp" ] || fail "~/Groovane/temp was not made"
for f in "$tree"/share/groovane/*; do
  cmp -s "$f" "$work/$(basename "$f")" || fail "~/Groovane/$(basename "$f") is not the shipped file"
done

# The renderer, in the working folder the program made.
version=$("$tree/bin/groovane-render" --version)
[[ $version == *4.0* ]] || fail "groovane-render --version says: $version"
(cd "$work" && "$tree/bin/groovane-render" --quiet Demo.sng demo.wav) || fail "groovane-render failed on the demo song"
size=$(stat -c %s "$work/demo.wav")
[ "$(head -c 4 "$work/demo.wav")" = RIFF ] && [ "$size" -gt $((44 + 50 * 44100 * 4)) ] ||
  fail "the demo song rendered to $size bytes"
echo "check_installed: $tree is complete, starts from its desktop entry and renders the demo song"
