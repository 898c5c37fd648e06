#!/usr/bin/env bash
# The main job: builds what is missing, then copies a web site with the terminal front end.
# Until the terminal front end exists it builds and says what it will do.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps
scripts/build default

echo "Velloquin is built under build/default."
echo "The terminal front end (velloquin-cli) is not built yet: once it is, this command serves"
echo "the bundled demo site on a loopback port, copies it with 'velloquin-cli mirror' and prints"
echo "where the copy and its report are. Pass a web address to copy that site instead."
