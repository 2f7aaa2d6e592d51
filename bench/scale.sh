#!/usr/bin/env bash
# The front end at scale, measured side by side in one run:
#   - an @ file of 1,000,000 short arguments and one of 1,000,000 realistic
#     ones (include options, defines and Windows paths), each through
#     "vq4 -q" with a driver that does nothing, against "xargs -a FILE true"
#     on the same file (wall time; target: at most 2.5x), and the front
#     end's peak resident memory for the short file (target: 100 MB);
#   - command files nested 1,000 deep, one argument each, against one flat
#     command file of the same 1,000 arguments (target: at most 3x);
#   - how time and memory grow from 10,000 to 1,000,000 arguments.
# Times are medians of several runs.
#
#   bench/scale.sh [build directory]     (default: build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
vq4=$build/frontend/vq4
[ -x "$vq4" ] || { echo "scale.sh: no $vq4; build first (make bench)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/vq4/v1/bin" "$work/vq4/v1/lum/bin" "$work/tmp"
cp "$vq4" "$work/vq4/v1/bin/vq4"
for driver in lumc lumc18 lumcd lumc18d; do cp /bin/true "$work/vq4/v1/lum/bin/$driver"; done
front="$work/vq4/v1/bin/vq4"
export TEMP="$work/tmp"

# Median wall time in seconds of running "$@" $runs times.
median() {
    local runs=$1; shift
    for ((i = 0; i < runs; i++)); do
        local start=$(date +%s%N)
        "$@" >/dev/null
        echo $(( $(date +%s%N) - start ))
    done | sort -n | awk '{t[NR] = $1} END {printf "%.4f", t[int((NR + 1) / 2)] / 1e9}'
}

# Peak resident memory in MB of one run of "$@".
peak_mb() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.1f", $1 / 1024}'
}

# Prints a figure, its yardstick, the ratio and the verdict against a limit.
row() { # label ours yardstick-label yardstick limit
    awk -v l="$1" -v a="$2" -v yl="$3" -v b="$4" -v lim="$5" 'BEGIN {
        r = a / b; printf "%-34s %9.4f s   %-22s %9.4f s   %6.2fx  (target <= %sx) %s\n",
               l, a, yl, b, r, lim, (r <= lim ? "ok" : "MISSED") }'
}

seq -f 'a%.0f' 0 999999 >"$work/short"
python3 - "$work/real" <<'EOF'
import random, sys
random.seed(7)
parts = ['src', 'lib', 'include', 'drivers', 'hal', 'usb', 'net', 'fs', 'kernel', 'periph']
with open(sys.argv[1], 'w') as out:
    for i in range(1000000):
        path = '\\'.join('%s%02d' % (random.choice(parts), random.randint(0, 99))
                         for _ in range(random.randint(2, 6)))
        kind = i % 4
        if kind == 0:
            line = '-IC:\\work\\products\\controller\\' + path
        elif kind == 1:
            line = '-DCONFIG_%s_FEATURE_%d=%d' % (random.choice(parts).upper(), i, random.randint(0, 99999))
        else:
            line = 'C:\\work\\products\\controller\\%s\\module_%06d.c' % (path, i)
        out.write(line + '\n')
EOF
mkdir -p "$work/nest"
for i in $(seq 0 999); do
    if [ "$i" -lt 999 ]; then echo "arg$i @n$((i + 1)).cmd"; else echo "arg$i"; fi >"$work/nest/n$i.cmd"
done
seq -f 'arg%.0f' 0 999 >"$work/nest/flat.cmd"

echo "== vq4 at scale ($(nproc) cores; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'))"
for file in short real; do
    size=$(du -m "$work/$file" | cut -f1)
    ours=$(median 3 "$front" -q "@$work/$file")
    yard=$(median 3 xargs -a "$work/$file" true)
    row "1,000,000 $file args (${size} MB)" "$ours" "xargs -a FILE true" "$yard" 2.5
done
mem=$(peak_mb "$front" -q "@$work/short")
awk -v m="$mem" 'BEGIN { printf "%-34s %9.1f MB  (target <= 100 MB) %s\n",
                         "peak memory, 1,000,000 short args", m, (m <= 100 ? "ok" : "MISSED") }'
nested=$(cd "$work/nest" && median 21 "$front" -q @n0.cmd)
flat=$(cd "$work/nest" && median 21 "$front" -q @flat.cmd)
row "command files nested 1,000 deep" "$nested" "one flat command file" "$flat" 3

echo "== growth (short arguments)"
printf '%-12s %10s %14s %10s\n' arguments seconds "us/argument" MB
for n in 10000 100000 1000000; do
    head -n "$n" "$work/short" >"$work/grow"
    t=$(median 3 "$front" -q "@$work/grow")
    m=$(peak_mb "$front" -q "@$work/grow")
    awk -v n="$n" -v t="$t" -v m="$m" 'BEGIN { printf "%-12d %10.4f %14.3f %10.1f\n", n, t, t / n * 1e6, m }'
done
