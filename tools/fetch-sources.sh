#!/usr/bin/env bash
# Fetches the source the static Windows build compiles in that no MinGW package carries: pugixml, the
# XML parser quillctl reads WS-Discovery with, as Debian 12 ships it (the upstream tarball of Debian's
# source package pugixml 1.13-0.2, from Debian's archive). The tarball is checked against the SHA-256
# that Debian's .dsc gives for it, so a changed or tampered file is never built. Idempotent.
# Usage: tools/fetch-sources.sh [FOLDER]   (default: build/sources)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DEST=${1:-$ROOT/build/sources}
readonly NAME=pugixml_1.13.orig.tar.gz
readonly SHA256=5c5ad5d7caeb791420408042a7d88c2c6180781bf218feca259fd9d840a888e1
readonly URL=http://deb.debian.org/debian/pool/main/p/pugixml/$NAME

verified() { [[ -f $1 ]] && echo "$SHA256  $1" | sha256sum --quiet -c - 2>/dev/null; }

mkdir -p "$DEST"
verified "$DEST/$NAME" && exit 0
# Downloaded into a fresh folder of our own beside the destination, moved in only once it checks.
partial=$(mktemp -d "$DEST/.fetch.XXXXXX")
trap 'rm -rf "$partial"' EXIT
curl -sSf --retry 3 -o "$partial/$NAME" "$URL"
if ! verified "$partial/$NAME"; then
    echo "fetch-sources: $URL does not have the SHA-256 Debian gives for it; not used" >&2
    exit 1
fi
mv "$partial/$NAME" "$DEST/$NAME"
echo "fetch-sources: $NAME checked and stored in $DEST" >&2
