#!/usr/bin/env bash
# SHA-256 of one 1 GiB file through the library's file digest against
# `openssl dgst -sha256`, side by side in one run. The library's side is
# vq4sum writing the checksum list of a directory that holds only that file
# (so it is sha256_file plus a one-line list). The file lies in the page
# cache (it is read once first) and the two runs are interleaved, ROUNDS
# times each; the script prints the median wall and processor time (user +
# system) of each, and the throughput ratio openssl/ours (at least 0.9 is the
# target on a CPU with SHA instructions). The digests are compared as well.
#
# Usage: bench/sha_file.sh [BUILD_DIR [ROUNDS]]
#   BUILD_DIR  a configured build tree (default build-bench, Release);
#              vq4sum is built there when missing.
#   ROUNDS     runs of each kind (default 7).
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
build=${1:-build-bench} rounds=${2:-7}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vq4sum >/dev/null
vq4sum=$(cd "$build/tools" && pwd)/vq4sum

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/data" "$work/temp"
export TEMP=$work/temp
head -c 1073741824 /dev/urandom >"$work/data/big"
cat "$work/data/big" >/dev/null
cd "$work"

# Runs the command; prints "wall cpu" in seconds.
measure() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{print $1, $2 + $3}'
}

median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

: >ours.txt
: >openssl.txt
for _ in $(seq "$rounds"); do
    measure "$vq4sum" --write data list.sha >>ours.txt
    measure openssl dgst -sha256 data/big >>openssl.txt
done

ours_hash=$(cut -d' ' -f1 list.sha)
openssl_hash=$(openssl dgst -sha256 -r data/big | cut -d' ' -f1)
[ "$ours_hash" = "$openssl_hash" ] || { echo "digests differ: $ours_hash $openssl_hash"; exit 1; }

ours_wall=$(cut -d' ' -f1 ours.txt | median)
ours_cpu=$(cut -d' ' -f2 ours.txt | median)
ssl_wall=$(cut -d' ' -f1 openssl.txt | median)
ssl_cpu=$(cut -d' ' -f2 openssl.txt | median)
printf 'sha256 of 1 GiB, median of %d runs each (digests agree)\n' "$rounds"
printf '  sha256_file (vq4sum --write): wall %.3f s  cpu %.3f s\n' "$ours_wall" "$ours_cpu"
printf '  openssl dgst -sha256:         wall %.3f s  cpu %.3f s\n' "$ssl_wall" "$ssl_cpu"
awk -v sw="$ssl_wall" -v ow="$ours_wall" -v sc="$ssl_cpu" -v oc="$ours_cpu" 'BEGIN {
    printf "  throughput ratio ours/openssl: wall %.2f  cpu %.2f (target >= 0.9)\n", sw / ow, sc / oc
}'
