#!/usr/bin/env bash
# The main job: installs what is missing, builds, serves the bundled demo site on a loopback port
# and copies it with the terminal front end, then says where the copy and its report are.
#   ./run.sh                      the demo site, copied into build/demo-copy (replaced each run)
#   ./run.sh URL [DIR] [OPTIONS]  that site instead, into DIR (default: the server's name);
#                                 OPTIONS go to 'velloquin-cli mirror' (--set KEY=VALUE, --speed)
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps
scripts/build default >/dev/null
cli="$PWD/build/default/cli/velloquin-cli"

if [ $# -gt 0 ]; then
    url=$1
    shift
    dir=()
    if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
        dir=(-o "$1")
        shift
    fi
    exec "$cli" mirror "$url" "${dir[@]}" "$@"
fi

out="$PWD/build/demo-copy"
port_file=$(mktemp)
python3 scripts/serve-demo.py desktop/resources/demo-site "$port_file" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -f "$port_file"' EXIT
for _ in $(seq 100); do
    [ -s "$port_file" ] && break
    sleep 0.1
done
port=$(cat "$port_file")
[ -n "$port" ] || { echo "The demo server did not start." >&2; exit 1; }

# The server's port changes from run to run, so each run makes a fresh copy.
rm -rf "$out"
echo "Copying the demo site served at http://127.0.0.1:$port/ into $out"
"$cli" mirror "http://127.0.0.1:$port/" -o "$out" --set VQ_REPORT=1
echo "Browse the copy's contents tree with: $cli tree $out/127.0.0.1.vqp"
