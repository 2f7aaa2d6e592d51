#!/usr/bin/env bash
# The front end under load and in a hostile file system, each case checked
# and timed (wall time; peak resident memory, of the largest process of
# the run, the front end or its driver):
#   - 200 concurrent runs sharing one TEMP, five rounds: every run succeeds,
#     every driver gets its own arguments, TEMP is empty afterwards;
#   - an @ file of 1,000,000 arguments, all of which reach the driver;
#   - command files nested 2,000 deep, all 2,000 arguments in order;
#   - both runs of the two-pass mode appending to one error file;
#   - a full file system under TEMP, and under the error file (a 64 KB
#     tmpfs; skipped, with the reason, where none can be mounted): the run
#     ends with status 0 or 1 (1 with a message), never a crash or a hang.
# Uses a temporary installation: vq4 in <dir>/vq4/v1/bin, the drivers in
# <dir>/vq4/v1/lum/bin (the end-to-end recording driver, which records
# what it received in the file VQ4_E2E_RECORD names).
#
#   bench/stress.sh [build directory]     (default: build)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
vq4=$build/frontend/vq4
recorder=$build/tests/e2e/e2e_recording_driver
for f in "$vq4" "$recorder"; do
    [ -x "$f" ] || { echo "stress.sh: no $f; build first (make stress)" >&2; exit 2; }
done

work=$(mktemp -d)
full=$work/full
cleanup_work() {
    mountpoint -q "$full" 2>/dev/null && umount "$full"
    rm -rf "$work"
}
trap cleanup_work EXIT
mkdir -p "$work/vq4/v1/bin" "$work/vq4/v1/lum/bin" "$work/tmp" "$work/rec"
cp "$vq4" "$work/vq4/v1/bin/vq4"
for driver in lumc lumc18 lumcd lumc18d; do cp "$recorder" "$work/vq4/v1/lum/bin/$driver"; done
front="$work/vq4/v1/bin/vq4"
export TEMP="$work/tmp"
unset TMP
failures=0

# One result line: the case, its wall time, the front end's peak memory and
# the verdict with its reason.
report() { # label seconds megabytes problem-or-empty
    local verdict=ok
    [ -n "$4" ] && { verdict="FAILED: $4"; failures=$((failures + 1)); }
    printf '%-44s %9s s %8s MB  %s\n' "$1" "$2" "$3" "$verdict"
}

now() { date +%s%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }

# Runs the front end under /usr/bin/time; the peak memory in KB lands in
# file $1, the rest of the command line follows.
timed_front() {
    local kb=$1; shift
    /usr/bin/time -o "$kb" -f %M "$front" "$@"
}
max_mb() { cat "$@" | sort -n | tail -1 | awk '{printf "%.1f", $1 / 1024}'; }
temp_left() { find "$TEMP" -mindepth 1 | head -3 | tr '\n' ' '; }

concurrent_rounds() {
    local start problem="" round i pids
    start=$(now)
    for round in 1 2 3 4 5; do
        rm -f "$work"/rec/*
        pids=()
        for i in $(seq 1 200); do
            VQ4_E2E_RECORD="$work/rec/$i" timed_front "$work/rec/$i.kb" -q "own-$round-$i" "x y $i" \
                >"$work/rec/$i.out" 2>&1 &
            pids+=($!)
        done
        for i in $(seq 1 200); do
            wait "${pids[$((i - 1))]}" || problem+="round $round run $i failed; "
        done
        for i in $(seq 1 200); do
            grep -qx "parsed own-$round-$i" "$work/rec/$i" && grep -qx "parsed x y $i" "$work/rec/$i" ||
                problem+="round $round run $i got other arguments; "
        done
        [ -z "$(temp_left)" ] || problem+="round $round left $(temp_left)in TEMP; "
        mb=$(max_mb "$work"/rec/*.kb)
    done
    report "200 concurrent runs x 5 rounds, one TEMP" "$(seconds_since "$start")" "$mb" "${problem:0:300}"
}

million_arguments() {
    local start problem="" count
    seq -f 'arg%.0f' 0 999999 >"$work/million"
    rm -f "$work/rec/m"
    start=$(now)
    VQ4_E2E_RECORD="$work/rec/m" timed_front "$work/m.kb" -q "@$work/million" >/dev/null 2>&1 ||
        problem="exit status $?"
    local took=$(seconds_since "$start")
    count=$(grep -c '^parsed arg' "$work/rec/m")
    [ "$count" = 1000000 ] || problem+=" driver got $count arguments"
    [ -z "$(temp_left)" ] || problem+=" TEMP holds $(temp_left)"
    report "@ file of 1,000,000 arguments" "$took" "$(max_mb "$work/m.kb")" "$problem"
}

nested_files() {
    local start problem="" i
    mkdir -p "$work/nest"
    for i in $(seq 0 1999); do
        if [ "$i" -lt 1999 ]; then echo "deep$i @n$((i + 1)).cmd"; else echo "deep$i"; fi >"$work/nest/n$i.cmd"
    done
    rm -f "$work/rec/n"
    start=$(now)
    (cd "$work/nest" && VQ4_E2E_RECORD="$work/rec/n" timed_front "$work/n.kb" -q @n0.cmd >/dev/null 2>&1) ||
        problem="exit status $?"
    local took=$(seconds_since "$start")
    seq -f 'parsed deep%.0f' 0 1999 >"$work/nest/expected"
    grep '^parsed deep' "$work/rec/n" | cmp -s - "$work/nest/expected" || problem+=" arguments lost or out of order"
    report "command files nested 2,000 deep" "$took" "$(max_mb "$work/n.kb")" "$problem"
}

two_pass_error_file() {
    local start problem="" lines
    rm -f "$work/rec/t" "$work/errors.txt"
    start=$(now)
    VQ4_E2E_RECORD="$work/rec/t" VQ4_E2E_DRIVER_ERRLINE="driver line" \
        timed_front "$work/t.kb" --wubtoxna "-E$work/errors.txt" a.c >/dev/null 2>&1 || problem="exit status $?"
    local took=$(seconds_since "$start")
    lines=$(grep -c '^driver line$' "$work/errors.txt" 2>/dev/null)
    [ "$lines" = 2 ] || problem+=" error file holds ${lines:-no} driver lines, not 2"
    [ "$(grep -c '^run ' "$work/rec/t")" = 2 ] || problem+=" driver not run twice"
    [ -z "$(temp_left)" ] || problem+=" TEMP holds $(temp_left)"
    report "two-pass mode, both runs into one error file" "$took" "$(max_mb "$work/t.kb")" "$problem"
}

# Fills the file system at $full to the last byte.
fill_up() {
    cat /dev/zero >"$full/filler" 2>/dev/null
    : >"$full/last" 2>/dev/null
    for i in $(seq 1 64); do echo x >"$full/inode$i" 2>/dev/null || break; done
}

# A run that must end with status 1 and a message, in time; $1 the label,
# $2 where its output goes, the rest the front end's arguments.
full_case() {
    local label=$1 out=$2 start problem="" status
    shift 2
    start=$(now)
    VQ4_E2E_RECORD="$work/rec/f" timeout 60 /usr/bin/time -o "$work/f.kb" -f %M "$front" "$@" >"$out" 2>&1
    status=$?
    local took=$(seconds_since "$start")
    case $status in
        0 | 1) ;;
        124) problem="hung (ended after 60 s)" ;;
        *) problem="exit status $status (a crash?)" ;;
    esac
    [ "$status" = 1 ] && ! grep -q . "$out" && problem+=" status 1 without a message"
    report "$label" "$took" "$(max_mb "$work/f.kb")" "$problem"
    echo "    status $status, output: $(head -c 160 "$out" | tr '\n' ' ')"
}

full_file_system() {
    mkdir -p "$full"
    if [ "$(id -u)" != 0 ] || ! mount -t tmpfs -o size=64k tmpfs "$full" 2>/dev/null; then
        printf '%-44s skipped: cannot mount a tmpfs here (%s)\n' "full file system" \
            "$([ "$(id -u)" != 0 ] && echo "not root" || echo "mount refused")"
        return
    fi
    mkdir -p "$full/tmp"
    fill_up
    TEMP="$full/tmp" full_case "full file system under TEMP" "$work/full-temp.out" a.c
    [ -z "$(find "$full/tmp" -mindepth 1 | head -1)" ] || report "full TEMP left empty" - - "TEMP holds files"
    rm -rf "${full:?}"/*
    : >"$full/errors.txt"
    fill_up
    VQ4_E2E_DRIVER_ERRLINE="driver line" full_case "full file system under the error file" \
        "$work/full-err.out" "-E$full/errors.txt" a.c
    full_case "fatal message, full error file" "$work/full-fatal.out" "-E$full/errors.txt" --ext=nosuch a.c
    grep -q 'unknown --EXT sub-option' "$work/full-fatal.out" ||
        report "fatal message kept on standard error" - - "the message was lost"
    umount "$full"
}

echo "== vq4 under stress ($(nproc) cores; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'))"
printf '%-44s %11s %11s  %s\n' case "wall time" "peak mem" verdict
concurrent_rounds
million_arguments
nested_files
two_pass_error_file
full_file_system
[ "$failures" = 0 ] || { echo "stress.sh: $failures case(s) failed" >&2; exit 1; }
