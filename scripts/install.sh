#!/usr/bin/env bash
# Installs the program for one user: the application folder in one writable
# place (the program keeps its lists there), a launcher, a desktop entry,
# icons and the MIME type of profiles. Every file and folder it makes is
# written to a manifest, which uninstall.sh reads.
#   install.sh APPDIR [PREFIX]    (PREFIX defaults to ~/.local)
set -euo pipefail

src_root=$(cd "$(dirname "$0")/.." && pwd)
appdir=${1:?usage: install.sh APPDIR [PREFIX]}
prefix=${2:-$HOME/.local}
appdir=$(cd "$appdir" && pwd)
case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac

if [ -e "$prefix/lib/vidlark-encoder/.installed-files" ]; then
  "$src_root/scripts/uninstall.sh" "$prefix" >/dev/null
fi

made=()
# Folders made here, so uninstall can remove them again when empty.
ensure_dir() {
  local d=$1 missing=()
  while [ ! -d "$d" ]; do missing+=("$d"); d=$(dirname "$d"); done
  for ((i=${#missing[@]}-1; i>=0; i--)); do mkdir "${missing[$i]}"; made+=("D ${missing[$i]}"); done
}
ensure_dir "$prefix"
prefix=$(cd "$prefix" && pwd)
target="$prefix/lib/vidlark-encoder"
manifest="$target/.installed-files"
put() { # put SOURCE DEST [MODE]
  ensure_dir "$(dirname "$2")"
  install -m "${3:-0644}" "$1" "$2"
  made+=("F $2")
}

ensure_dir "$target"
# The application folder: everything but the tool links is copied; the links
# to Debian's ffmpeg and qt-faststart stay links.
while IFS= read -r -d '' f; do
  rel=${f#"$appdir"/}
  if [ -L "$f" ]; then
    ensure_dir "$(dirname "$target/$rel")"
    ln -sfn "$(readlink -f "$f")" "$target/$rel"
    made+=("F $target/$rel")
  elif [ -d "$f" ]; then
    ensure_dir "$target/$rel"
  else
    mode=0644; [ -x "$f" ] && mode=0755
    put "$f" "$target/$rel" "$mode"
  fi
done < <(find "$appdir" -mindepth 1 -print0 | sort -z)

ensure_dir "$prefix/bin"
for program in vidlark-encoder vidlark-encode; do
  ln -sfn "$target/$program" "$prefix/bin/$program"
  made+=("F $prefix/bin/$program")
done

exec_path="$prefix/bin/vidlark-encoder"
case "$exec_path" in
  *[[:space:]\"\`\$\\]*) exec_line="\"$(printf '%s' "$exec_path" | sed -e 's/[\\"`$]/\\\\&/g')\"" ;;
  *) exec_line="$exec_path" ;;
esac
tmp=$(mktemp)
sed -e "s|@EXEC@|$(printf '%s' "$exec_line" | sed -e 's/[|&\\]/\\&/g')|" "$src_root/share/vidlark-encoder.desktop.in" > "$tmp"
put "$tmp" "$prefix/share/applications/vidlark-encoder.desktop"
rm -f "$tmp"

for size in 16 32 48 64 128 256; do
  put "$src_root/resources/icon-$size.png" "$prefix/share/icons/hicolor/${size}x${size}/apps/vidlark-encoder.png"
done
put "$src_root/share/vidlark-encoder-mime.xml" "$prefix/share/mime/packages/vidlark-encoder.xml"

printf '%s\n' "${made[@]}" > "$manifest"
echo "F $manifest" >> "$manifest"

if command -v update-mime-database >/dev/null 2>&1; then
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || true
fi
if command -v update-desktop-database >/dev/null 2>&1; then
  update-desktop-database "$prefix/share/applications" >/dev/null 2>&1 || true
fi
echo "Installed Vidlark Web Video Encoder in $target (start it with $exec_path)"
