#!/usr/bin/env bash
# The front end's cost per driver launch, measured side by side in one run:
#   (a) the installed vq4 launching a no-op driver through its command file;
#   (b) the same no-op driver launched through env (a minimal exec wrapper)
#       with an equivalent "@" command file.
# The two are interleaved, COUNT invocations each; the script prints the
# median wall time per invocation of each and the ratio a/b. On a shared
# machine wall time also holds the waits for a CPU (the front end's parent
# process waits for its child and must be scheduled again), so the script
# then prints the processor time (user + system, children included) per
# invocation of each kind, measured over COUNT more invocations of each.
#
# Usage: bench/frontend_overhead.sh [BUILD_DIR [COUNT]]
#   BUILD_DIR  a configured build tree (default build-bench, Release); vq4
#              and the stand-in driver are built there when missing.
#   COUNT      invocations of each kind (default 500).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
count=${2:-500}
export LC_ALL=C

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target vq4 lumc_standin >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/vq4/v$(cat "$build/version.txt")
cmake --install "$build" --prefix "$prefix" >/dev/null
# The no-op driver: a program that exits 0 at once.
cp "$(type -P true)" "$prefix/lum/bin/lumc"
mkdir "$work/temp" "$work/run"
printf 'blink.c\n' >"$work/run/args.cmd"
export TEMP=$work/temp
unset TMP
cd "$work/run"

vq4=$prefix/bin/vq4
driver=$prefix/lum/bin/lumc
for ((i = 0; i < count; i++)); do
    t0=$EPOCHREALTIME
    "$vq4" blink.c >/dev/null
    t1=$EPOCHREALTIME
    env "$driver" @args.cmd >/dev/null
    t2=$EPOCHREALTIME
    echo "$t0 $t1 $t2"
done >"$work/times"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
a=$(awk '{ printf "%.1f\n", ($2 - $1) * 1e6 }' "$work/times" | median)
b=$(awk '{ printf "%.1f\n", ($3 - $2) * 1e6 }' "$work/times" | median)
echo "invocations of each: $count"
echo "(a) vq4 + no-op driver:  median ${a} us"
echo "(b) env + no-op driver:  median ${b} us"
awk -v a="$a" -v b="$b" 'BEGIN { printf "ratio a/b: %.2f (target: at most 1.50)\n", a / b }'

# Processor time of COUNT invocations of one kind, in seconds.
cpu_seconds() {
    local TIMEFORMAT='%3U %3S'
    { time (for ((i = 0; i < count; i++)); do "$@" >/dev/null; done); } 2>&1 |
        awk '{ print $1 + $2 }'
}
ca=$(cpu_seconds "$vq4" blink.c)
cb=$(cpu_seconds env "$driver" @args.cmd)
awk -v a="$ca" -v b="$cb" -v n="$count" 'BEGIN {
    printf "processor time per invocation: (a) %.0f us, (b) %.0f us, ratio a/b: %.2f\n",
           a / n * 1e6, b / n * 1e6, a / b }'
