#!/usr/bin/env bash
# Builds the Debian package from an already built tree and takes it apart again: its fields and
# files, lintian's verdict, and the programs, desktop entry and file types of the unpacked tree.
# Usage: check_package.sh CMAKE CPACK BINARY_DIR SOURCE_DIR WITH_EDITOR(0|1)
# Exits 77 (skipped) where dpkg-deb is missing.
set -euo pipefail

cmake=$1 cpack=$2 bin=$3 src=$4 with_editor=$5

if ! command -v dpkg-deb >/dev/null; then
  echo "SKIPPED: dpkg-deb not found, no Debian package to check"
  exit 77
fi
for tool in dpkg-shlibdeps lintian desktop-file-validate update-desktop-database \
  update-mime-database gio; do
  command -v "$tool" >/dev/null || { echo "$tool not found (scripts/setup installs it)"; exit 1; }
done

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/config XDG_CACHE_HOME=$tmp/home/cache
export XDG_DATA_HOME=$tmp/home/data XDG_RUNTIME_DIR=$tmp/home/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

"$cpack" --config "$bin/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; exit 1; }
version=$("$bin/src/vorna-cli" --version)
version=${version#vorna-cli }
deb=$tmp/out/vorna_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$tmp/out"; echo "FAIL: $deb not built"; exit 1; }

# Control fields: the CLI's version, and run-time dependencies only.
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "Version is not $version"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
case "$depends" in
  "") fail "Depends is empty" ;;
  *-dev[\ ,\(]* | *-dev) fail "Depends names a build-only package" ;;
esac

# Every file `cmake --install` puts in place is in the package, under /usr, and so are the
# files a desktop needs.
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\.\/usr\//, "", $6); print $6 }' |
  sort >"$tmp/packaged"
"$cmake" --install "$bin" --prefix "$tmp/installed" >/dev/null
(cd "$tmp/installed" && find . ! -type d | sed 's|^\./||' | sort) >"$tmp/installed.list"
missing=$(comm -13 "$tmp/packaged" "$tmp/installed.list")
[ -z "$missing" ] || fail "installed but not packaged: ${missing//$'\n'/ }"
required=(bin/vorna-cli share/mime/packages/vorna.xml share/thumbnailers/vorna.thumbnailer
  share/icons/hicolor/scalable/apps/vorna.svg share/doc/vorna/README.md
  share/doc/vorna/copyright share/doc/vorna/changelog.gz)
if [ "$with_editor" = 1 ]; then
  required+=(bin/vorna share/applications/vorna.desktop share/vorna/help/index.html)
fi
for file in "${required[@]}"; do
  grep -qx "$file" "$tmp/packaged" || fail "/usr/$file is not in the package"
done
# Where the import helper is built, the package holds it where the programs look for it and
# depends on the library it links.
helper=0
if [ -x "$bin/src/vorna-import" ]; then
  helper=1
  grep -qx libexec/vorna/vorna-import "$tmp/packaged" || fail "the import helper is not packaged"
  [[ $depends == *libassimp* ]] || fail "Depends names no import library: $depends"
fi
if [ -d "$src/tools/blender" ]; then
  grep -q '^share/vorna/blender/.' "$tmp/packaged" || fail "the Blender add-on is not packaged"
fi

# The Debian policy checks; warnings are listed, errors fail.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

# The unpacked programs run from where the package puts them; the thumbnailer entry's command
# line, run as a file manager would, draws the sample.
root=$tmp/root
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/vorna-cli" --version)" = "vorna-cli $version" ] || fail "unpacked --version"
# The other tools' library runs only inside the helper's process: no program of ours links it.
for program in "$root"/usr/bin/*; do
  if ldd "$program" | grep -q libassimp; then fail "${program##*/} links the import library"; fi
done
if [ "$helper" = 1 ]; then
  printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' >"$tmp/triangle.obj"
  "$root/usr/bin/vorna-cli" info "$tmp/triangle.obj" >/dev/null ||
    fail "the unpacked vorna-cli reads no OBJ through its helper"
fi
newest=$(gzip -dc "$root/usr/share/doc/vorna/changelog.gz" || true)
[[ ${newest%%$'\n'*} == "vorna ($version) "* ]] || fail "changelog's newest entry is not $version"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/thumbnailers/vorna.thumbnailer")
exec_line=${exec_line//%s/128}
exec_line=${exec_line//%i/$src/samples/character.vrn}
exec_line=${exec_line//%o/$tmp/thumbnail.png}
# shellcheck disable=SC2086 # the entry's command line is split into words as a desktop does
PATH=$root/usr/bin:/usr/bin:/bin $exec_line || fail "thumbnailer command: $exec_line"
[ "$(head -c 8 "$tmp/thumbnail.png" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "the thumbnailer wrote no PNG"

# The file types and the menu entry load into databases of their own, as the system's triggers
# would build them, and GIO reads those: the models are told apart by their leading bytes (names
# without an extension), other files are not taken for models, and the editor is offered for
# every type the thumbnailer and the menu entry name.
export XDG_DATA_DIRS=$root/usr/share PATH=$root/usr/bin:$PATH
update-mime-database "$root/usr/share/mime"
if [ "$with_editor" = 1 ]; then
  desktop-file-validate "$root/usr/share/applications/vorna.desktop" || fail "desktop entry"
  update-desktop-database "$root/usr/share/applications"
fi
mkdir "$tmp/files"
cp "$src/samples/character.vrn" "$tmp/files/vrn"
vorna-cli convert "$src/samples/walker.vrn" "$tmp/files/model.x" >/dev/null
mv "$tmp/files/model.x" "$tmp/files/x"
cp "$src/README.md" "$tmp/files/text"
for case in vrn:application/x-vorna-vrn x:model/x-directx text:text/plain; do
  file=${case%%:*} expected=${case#*:}
  type=$(gio info -a standard::content-type "$tmp/files/$file" |
    sed -n 's/^ *standard::content-type: //p')
  [ "$type" = "$expected" ] || fail "$file is taken for '$type', not $expected"
done
for entry in "$root/usr/share/thumbnailers/vorna.thumbnailer" \
  "$root/usr/share/applications/vorna.desktop"; do
  [ -f "$entry" ] || continue
  for type in $(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' '); do
    # Ours come with the package; other tools' formats are the system's own types.
    grep -qx "$type" "$root/usr/share/mime/types" /usr/share/mime/types ||
      fail "$entry names unknown type $type"
    if [ "$with_editor" = 1 ]; then
      offered=$(gio mime "$type")
      [[ $offered == "Default application for "*": vorna.desktop"* ]] ||
        fail "the editor is not offered for $type: $offered"
    fi
  done
done

[ "$failures" = 0 ] || exit 1
echo "package $(basename "$deb") checked"
