#!/usr/bin/env bash
# Puts hls.min.js from npm's hls.js package, at the version pinned here, in
# BUILD_DIR/hlsjs/ for the browser test (the HTML5 tag loads it where a
# browser cannot play HLS itself). The package is checked against its
# pinned sha512 before anything is taken from it; a file already there is
# kept.
#   fetch-hlsjs.sh BUILD_DIR
set -euo pipefail

VERSION=1.6.19
INTEGRITY=sha512-A//aZeaAgM5rgUCbTURD4gkfyw5Uag2/4Jky7CfDOukL/DN+P5DjbgK2BYteyP3/KnCkPfkGVkbLxQG2T0AbUQ==
URL="https://registry.npmjs.org/hls.js/-/hls.js-$VERSION.tgz"

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
dest="$1/hlsjs/hls.min.js"
if [ -f "$dest" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tgz="$work/hls.js-$VERSION.tgz"
if command -v npm >/dev/null 2>&1; then
  (cd "$work" && npm pack --silent "hls.js@$VERSION" >/dev/null)
elif command -v curl >/dev/null 2>&1; then
  curl -fsSL -o "$tgz" "$URL"
elif command -v wget >/dev/null 2>&1; then
  wget -q -O "$tgz" "$URL"
else
  echo "fetch-hlsjs.sh: neither npm, curl nor wget is installed" >&2
  exit 1
fi

want=$(printf '%s' "${INTEGRITY#sha512-}" | base64 -d | od -An -v -tx1 | tr -d ' \n')
got=$(sha512sum "$tgz" | cut -d' ' -f1)
if [ "$got" != "$want" ]; then
  echo "fetch-hlsjs.sh: hls.js-$VERSION.tgz does not match its pinned sha512" >&2
  echo "  expected $want" >&2
  echo "  got      $got" >&2
  exit 1
fi

tar -xzf "$tgz" -C "$work" package/dist/hls.min.js
mkdir -p "$(dirname "$dest")"
cp "$work/package/dist/hls.min.js" "$dest.part"
mv "$dest.part" "$dest"
echo "hls.js $VERSION: $dest"
