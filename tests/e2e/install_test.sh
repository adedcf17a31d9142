#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the desktop
# integration: programs, desktop entry, icons, MIME package, thumbnailer.
# Usage (from ctest): install_test.sh BUILD_FOLDER
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# Both programs, the metainfo's newest release and the package's changelog
# carry the project's version.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for program in abmmaker abmtool; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program missing"
  [ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$program" --version)" = "$program $version" ] \
    || fail "$program --version does not say $version"
done
grep -q "^abmmaker ($version-[0-9.]*) " "$(dirname "$0")/../../debian/changelog" \
  || fail "debian/changelog does not begin with version $version"

# The manual pages, installed where man finds them, and rendered.
for page in abmtool abmmaker; do
  file=$prefix/share/man/man1/$page.1
  [ -f "$file" ] || fail "manual page $page.1 missing"
  MANWIDTH=80 man -l "$file" 2>&1 | grep -q "^NAME" || fail "manual page $page.1 does not render"
  # On the terminal and on groff's default device, PostScript, whose fonts
  # lack Cyrillic.
  warnings=$({ LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" && man --warnings -Tps -l "$file"; } 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "manual page $page.1 warns: $warnings"
  [ "$(MANPATH=$prefix/share/man man -w "$page")" = "$file" ] || fail "man does not find $page"
done

desktop=$prefix/share/applications/org.abmmaker.abmmaker.desktop
[ -f "$desktop" ] || fail "desktop entry missing"
desktop-file-validate "$desktop" || fail "desktop entry not valid"
grep -qx 'Exec=abmmaker %F' "$desktop" || fail "desktop entry does not start abmmaker with the files"
grep -qx 'Icon=abmmaker' "$desktop" || fail "desktop entry icon"
# ABM files only: claiming image types would make abmmaker every photo's opener.
grep -qx 'MimeType=application/x-abmfile;' "$desktop" || fail "desktop entry MIME type"

# The AppStream entry names the desktop entry, and both are valid.
metainfo=$prefix/share/metainfo/org.abmmaker.abmmaker.metainfo.xml
[ -f "$metainfo" ] || fail "AppStream metainfo missing"
report=$(appstreamcli validate --pedantic --no-net "$metainfo") || fail "AppStream metainfo not valid: $report"
! grep -q '^ *[EWIP]:' <<<"$report" || fail "AppStream metainfo has remarks: $report"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" \
  || fail "metainfo does not launch the desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"

# The licence and the user guide the options dialog opens.
grep -q '^MIT License' "$prefix/share/doc/abmmaker/LICENSE" || fail "LICENSE not installed"
grep -q '<html lang="ru">' "$prefix/share/doc/abmmaker/guide.html" || fail "user guide not installed"

for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/abmmaker.png
  [ -f "$png" ] || fail "icon ${size}x${size} missing"
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "icon ${size}x${size} has the wrong size"
done
svg=$prefix/share/icons/hicolor/scalable/apps/abmmaker.svg
[ -f "$svg" ] || fail "scalable icon missing"
grep -q '<svg' "$svg" || fail "scalable icon is not SVG"

# The MIME package works: .abm files are application/x-abmfile.
xml=$prefix/share/mime/packages/abmmaker.xml
[ -f "$xml" ] || fail "MIME package missing"
update-mime-database "$prefix/share/mime"
sample=$prefix/sample.abm
printf 'x' >"$sample"
[ "$(XDG_DATA_HOME=$prefix/share XDG_DATA_DIRS=$prefix/share mimetype --brief "$sample")" = application/x-abmfile ] \
  || fail "*.abm is not application/x-abmfile"

# The thumbnailer, run the way a file manager runs it: the Exec line split
# into words, each field code replaced by one whole argument, no shell.
entry=$prefix/share/thumbnailers/abmmaker.thumbnailer
[ -f "$entry" ] || fail "thumbnailer entry missing"
grep -qx 'MimeType=application/x-abmfile;' "$entry" || fail "thumbnailer MIME type"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "$exec_line" = 'abmtool thumbnail -s %s %i %o' ] || fail "thumbnailer Exec is '$exec_line'"

folder="$prefix/odd folder"
mkdir -p "$folder"
input="$folder/my \"frame\" it's; \$(touch pwned) & more.abm"
output="$folder/thumb nail.png"
# One 2 × 2 frame: 72-byte header, then four white 16-bit pixels.
{
  printf '\x02\x00\x02\x00\x10\x00\x01\x00\x00\x00\x00\x00\x08\x00\x00\x00\x00\x00\x00\x00'
  printf 'Created by PLIX'
  head -c 37 /dev/zero
  printf '\xff\xff\xff\xff\xff\xff\xff\xff'
} >"$input"
read -r -a words <<<"$exec_line"
argv=()
for word in "${words[@]}"; do
  case $word in
    %s) argv+=(128) ;;
    %i) argv+=("$input") ;;
    %o) argv+=("$output") ;;
    *) argv+=("$word") ;;
  esac
done
argv[0]=$prefix/bin/${argv[0]}
(cd "$folder" && "${argv[@]}") || fail "the thumbnailer command failed"
[ "$(head -c 8 "$output" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG written"
[ ! -e "$folder/pwned" ] || fail "a shell ran part of the file name"
echo "PASS: installed into a temporary prefix"
