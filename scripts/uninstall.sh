#!/usr/bin/env bash
# Removes exactly what install.sh installed under PREFIX (default ~/.local),
# as its manifest lists it: the files, then the folders it made when they
# are empty.
#   uninstall.sh [PREFIX]
set -euo pipefail
prefix=${1:-$HOME/.local}
manifest="$prefix/lib/vidlark-encoder/.installed-files"
if [ ! -f "$manifest" ]; then
  echo "Nothing to uninstall: $manifest not found."
  exit 0
fi
mapfile -t entries < "$manifest"
for entry in "${entries[@]}"; do
  [ "${entry:0:2}" = "F " ] && rm -f -- "${entry:2}"
done
made_by_us() { printf '%s\n' "${entries[@]}" | grep -qxF "D $1"; }
# The caches that update-mime-database and update-desktop-database wrote for
# us go with the folders we made; in folders that were there before, the
# caches are brought up to date instead.
mime="$prefix/share/mime"
if made_by_us "$mime"; then
  for f in aliases generic-icons globs globs2 icons magic mime.cache subclasses treemagic types version XMLnamespaces; do
    rm -f -- "$mime/$f"
  done
  rm -f -- "$mime/application/x-vidlark-profile.xml"
  rmdir -- "$mime/application" 2>/dev/null || true
elif [ -d "$mime/packages" ] && command -v update-mime-database >/dev/null 2>&1; then
  update-mime-database "$mime" >/dev/null 2>&1 || true
fi
apps="$prefix/share/applications"
if made_by_us "$apps"; then
  rm -f -- "$apps/mimeinfo.cache"
elif [ -d "$apps" ] && command -v update-desktop-database >/dev/null 2>&1; then
  update-desktop-database "$apps" >/dev/null 2>&1 || true
fi
for ((i=${#entries[@]}-1; i>=0; i--)); do
  entry=${entries[$i]}
  if [ "${entry:0:2}" = "D " ]; then rmdir -- "${entry:2}" 2>/dev/null || true; fi
done
echo "Uninstalled Vidlark Web Video Encoder from $prefix"
