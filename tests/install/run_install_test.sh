#!/usr/bin/env bash
# What a user's system gets: installs the build into a temporary DESTDIR under /usr and checks the tree (the
# program, the desktop entry, the icons at each size, the metainfo, the licence, the manual page, the
# changelog), validates the desktop entry with desktop-file-validate and the metainfo with appstreamcli, then
# builds the Debian package with cpack, checks its contents and dependencies with dpkg-deb and has lintian
# look at it (any error or warning fails).
# Usage: run_install_test.sh BUILD_DIR. Exits 77 (skipped) when one of those tools is missing.
set -euo pipefail
build=$1
source=$(cd "$(dirname "$0")/../.." && pwd)
id=com.example.glintview
for tool in desktop-file-validate appstreamcli cpack dpkg-deb lintian; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# The PNG's width and height from its header, as "WxH".
png_size() {
  local bytes
  bytes=$(od -An -tx1 -j0 -N24 "$1" | tr -d ' \n')
  [ "${bytes:0:16}" = 89504e470d0a1a0a ] || { echo "not a PNG"; return; }
  echo "$((16#${bytes:32:8}))x$((16#${bytes:40:8}))"
}

echo "== cmake --install into a temporary DESTDIR"
DESTDIR="$work/root" cmake --install "$build" --prefix /usr > "$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; exit 1; }
usr=$work/root/usr
[ -x "$usr/bin/glview3" ] || fail "no executable usr/bin/glview3"
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml
for file in "$desktop" "$metainfo" "$usr/share/icons/hicolor/scalable/apps/$id.svg" \
  "$usr/share/doc/glview3/copyright" "$usr/share/man/man1/glview3.1.gz" "$usr/share/doc/glview3/changelog.gz"; do
  [ -s "$file" ] || fail "missing or empty: ${file#"$work/root"}"
done
for size in 16 22 24 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x$size/apps/$id.png
  if [ -f "$png" ]; then
    got=$(png_size "$png")
    [ "$got" = "${size}x$size" ] || fail "${png#"$work/root"} is $got"
  else
    fail "missing icon ${png#"$work/root"}"
  fi
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/$id.svg" 2> /dev/null || fail "the scalable icon is no SVG"
# The licence in Debian's machine-readable form: LICENSE's MIT licence, which Debian calls Expat, word for word.
copyright=$usr/share/doc/glview3/copyright
if [ -f "$copyright" ]; then
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
    fail "copyright is not in the machine-readable format"
  grep -qxE 'Copyright: [0-9]{4}(-[0-9]{4})? The Glintview developers' "$copyright" || fail "copyright names no holder"
  sed -n '/^Permission/,$p' "$source/LICENSE" > "$work/licence.txt"
  # The text below the stand-alone "License: Expat" paragraph's first line, its continuation marks taken off.
  awk 'text { sub(/^ /, ""); sub(/^\.$/, ""); print } /^License: Expat$/ && ++seen == 2 { text = 1 }' \
    "$copyright" > "$work/copyright-licence.txt"
  cmp -s "$work/licence.txt" "$work/copyright-licence.txt" || fail "copyright's licence text is not LICENSE's"
fi
gzip -dc "$usr/share/man/man1/glview3.1.gz" 2> /dev/null | grep -q '^\.TH GLVIEW3 1' || fail "no manual page"
gzip -dc "$usr/share/doc/glview3/changelog.gz" 2> /dev/null | head -1 | grep -q '^glview3 (3\.0) ' ||
  fail "the changelog does not start with this version"
# Nothing outside bin and share, and no path of the build tree left in the program.
outside=$(cd "$work/root" && find . -mindepth 1 -path ./usr -prune -o -print)
[ -z "$outside" ] || fail "installed outside /usr: $outside"
strays=$(cd "$usr" && find . -mindepth 1 -maxdepth 1 ! -name bin ! -name share)
[ -z "$strays" ] || fail "installed outside usr/bin and usr/share: $strays"
if command -v readelf > /dev/null && readelf -d "$usr/bin/glview3" | grep -E 'RPATH|RUNPATH'; then
  fail "the installed program keeps a run path"
fi

echo "== the desktop entry"
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" > "$work/desktop.log" 2>&1 || fail "desktop-file-validate failed"
  if grep -E 'error|warning' "$work/desktop.log"; then fail "desktop-file-validate complains"; fi
  value() { sed -n "s/^$1=//p" "$desktop"; }
  # The files a file manager opens with it follow the program's name.
  [ "$(value Exec)" = "glview3 %F" ] || fail "Exec is not glview3 %F"
  [ "$(value Icon)" = "$id" ] || fail "Icon is not $id"
  [ -n "$(value 'Name\[zh_TW\]')" ] || fail "no Name[zh_TW]"
  if [ -z "$(value Comment)" ] || [ -z "$(value 'Comment\[zh_TW\]')" ]; then fail "no Comment in both languages"; fi
  [ -n "$(value Categories)" ] || fail "no Categories"
  mime=";$(value MimeType)"
  for type in image/bmp image/vnd.microsoft.icon image/x-win-bitmap image/wmf image/jpeg image/gif image/png \
    image/webp image/tiff image/svg+xml image/heif image/avif image/jxl audio/x-wav \
    audio/midi video/x-msvideo video/quicktime video/mpeg; do
    [[ $mime == *";$type;"* ]] || fail "MimeType lacks $type"
  done
fi

echo "== the metainfo"
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" > "$work/metainfo.log" 2>&1 ||
    { cat "$work/metainfo.log"; fail "appstreamcli validate failed"; }
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
  grep -q '<image[^>]*>https://' "$metainfo" || fail "the metainfo has no https screenshot"
  # The installed tree as a software centre reads it: metainfo, desktop entry and icon together.
  appstreamcli validate-tree --no-net "$work/root" > "$work/tree.log" 2>&1 ||
    { cat "$work/tree.log"; fail "appstreamcli validate-tree failed"; }
fi

echo "== the Debian package"
if cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" > "$work/cpack.log" 2>&1; then
  debs=("$work"/package/*.deb)
  if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no single .deb: ${debs[*]}"
  else
    dpkg-deb -I "${debs[0]}" > "$work/info.txt"
    depends=$(sed -n 's/^ Depends: //p' "$work/info.txt")
    echo "Depends: $depends"
    [ "$(sed -n 's/^ Package: //p' "$work/info.txt")" = glview3 ] || fail "the package is not called glview3"
    for need in libqt6core6 libqt6gui6 libqt6widgets6 libgstreamer1.0-0 gstreamer1.0-plugins-base \
      gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav \
      'gstreamer1.0-alsa | gstreamer1.0-pulseaudio' libcdio 'timgm6mb-soundfont | fluid-soundfont-gm' \
      fonts-noto-cjk libqt6dbus6 qt6-translations-l10n; do
      [[ ", $depends" == *", $need"* ]] || fail "the package does not depend on $need"
    done
    dpkg-deb -c "${debs[0]}" | awk '{print $NF}' > "$work/contents.txt"
    for path in ./usr/bin/glview3 "./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml" \
      "./usr/share/icons/hicolor/48x48/apps/$id.png" "./usr/share/icons/hicolor/scalable/apps/$id.svg" \
      ./usr/share/doc/glview3/copyright ./usr/share/doc/glview3/changelog.gz ./usr/share/man/man1/glview3.1.gz; do
      grep -qxF "$path" "$work/contents.txt" || fail "the package lacks $path"
    done
    # Every tag shown, the informational and pedantic ones too; an error or a warning fails, and so does a
    # program built without the hardening flags (an informational tag) where the build asked for them (the
    # sanitizer and fuzzing builds do not).
    lintian -I --pedantic --fail-on error,warning "${debs[0]}" > "$work/lintian.log" 2>&1 ||
      fail "lintian: errors or warnings"
    cat "$work/lintian.log"
    cache="$build/CMakeCache.txt"
    if grep -qx 'GLV_HARDEN:BOOL=ON' "$cache" && ! grep -qE '^GLV_(SANITIZE|TSAN|FUZZ):BOOL=ON$' "$cache" &&
      grep -qE '^I: .* hardening-' "$work/lintian.log"; then
      fail "built without the hardening flags"
    fi
  fi
else
  cat "$work/cpack.log"
  fail "cpack -G DEB failed"
fi

[ "$failed" -eq 0 ] && echo "install tree, desktop entry, metainfo and package are right"
exit "$failed"
