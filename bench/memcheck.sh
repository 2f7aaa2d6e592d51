#!/usr/bin/env bash
# The front end and the example tools under valgrind's memcheck, each run
# directly on a representative case: no invalid read or write, no use of an
# uninitialised value, nothing definitely lost. The programs run from a
# temporary installation (vq4 and vq4each in <dir>/vq4/v1/bin, the
# end-to-end recording driver as every driver in <dir>/vq4/v1/lum/bin); the
# drivers themselves run natively. Each case must end with the status it
# ends with natively; memcheck's findings turn it into 99 and its report is
# printed. (Under valgrind a driver that is missing shows as one that exited
# with 127, not as one that could not be started: valgrind runs the launch
# as a plain fork; the status is 1 either way.)
#
#   bench/memcheck.sh [build directory]     (default: build)
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
for f in frontend/vq4 tools/vq4each tools/vq4kind tools/vq4sum tests/e2e/e2e_recording_driver; do
    [ -x "$build/$f" ] || { echo "memcheck.sh: no $build/$f; build first (make memcheck)" >&2; exit 2; }
done
command -v valgrind >/dev/null || { echo "memcheck.sh: valgrind is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin=$work/vq4/v1/bin
mkdir -p "$bin" "$work/vq4/v1/lum/bin" "$work/tmp" "$work/run/tree/sub"
cp "$build/frontend/vq4" "$build/tools/vq4each" "$build/tools/vq4kind" "$build/tools/vq4sum" "$bin/"
for d in lumc lumc18 lumcd; do cp "$build/tests/e2e/e2e_recording_driver" "$work/vq4/v1/lum/bin/$d"; done
export TEMP=$work/tmp VQ4_E2E_RECORD=$work/record
unset TMP
cd "$work/run"

# Inputs: sources, nested command files, a library, an ELF image, a tree.
printf 'int main(void) { return 0; }\n' >a.c
cp a.c b.c
printf -- '-DA=1 "-Iinc dir" @inner.cmd\n\\"quoted\\" tail\\ blank\n' >args.cmd
printf -- '--chip=18f452 inner.c\n' >inner.cmd
seq -f 'arg%.0f' 1 10000 >many.cmd
printf '\0\0\2\0\0\0\1\0\6\0\0\0\0\0\0\0a.obj\0\1sym\0\0\0\0\0\6\0\0\0\0\0\0\0b.obj\0\1sym\0\0\0\6\0\0\0\6' >x.lib
head -c 52 /dev/zero | sed 's/^\x00\x00\x00\x00\x00/\x7fELF\x01/' >img.elf
printf 'alpha\n' >tree/a.txt
printf 'beta\n' >tree/sub/b.txt

failures=0
# One case: label, expected status, then the program (in bin) and its
# arguments.
case_() {
    local label=$1 expected=$2 program=$3 status log="$work/vg.log"
    shift 3
    rm -f "$VQ4_E2E_RECORD"
    local start=$(date +%s%N)
    valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
        --show-leak-kinds=definite --log-file="$log" "$bin/$program" "$@" >"$work/out" 2>&1 </dev/null
    status=$?
    local took=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
    local verdict=ok
    if [ "$status" != "$expected" ] || [ -s "$log" ]; then
        verdict="FAILED (status $status, expected $expected)"
        failures=$((failures + 1))
    fi
    printf '%-58s %6s s  status %-3s %s\n' "$program $label" "$took" "$status" "$verdict"
    if [ "$verdict" != ok ]; then
        sed 's/^/    /' "$log" | head -40
        sed 's/^/    | /' "$work/out" | head -10
    fi
}

echo "== memcheck (valgrind $(valgrind --version | sed 's/valgrind-//'))"
case_ "a.c" 0 vq4 a.c
case_ "-v --chip=16f877 --bins=debug -DX=1 a.c" 0 vq4 -v --chip=16f877 --bins=debug -DX=1 a.c
case_ "--wubtoxna -Eerr.txt --memorysummary out a.c" 0 vq4 --wubtoxna -Eerr.txt --memorysummary out a.c
case_ "-E+err.txt --ext=ejm --ejm --std=c99 a.c" 0 vq4 -E+err.txt --ext=ejm --ejm --std=c99 a.c
case_ "--ext=iar --ejm a.c (fatal 1444)" 1 vq4 --ext=iar --ejm a.c
case_ "--ext=nosuch a.c (fatal 1443)" 1 vq4 --ext=nosuch a.c
case_ "-E/dev/full --ext=nosuch a.c (error file full)" 1 vq4 -E/dev/full --ext=nosuch a.c
case_ "@args.cmd (nested, quoted)" 0 vq4 @args.cmd
case_ "@many.cmd (10,000 arguments)" 0 vq4 -q @many.cmd
case_ "@missing.cmd (passed on, chip scan)" 0 vq4 @missing.cmd
case_ "--vqdebug=on,out:trace.out,zip:pkg.zip,assert:error a.c" 0 \
    vq4 --vqdebug=on,out:trace.out,zip:pkg.zip,assert:error a.c
case_ "--vqdebug=adt,alerts,on a.c (container reports)" 0 vq4 --vqdebug=adt,alerts,on a.c
VQ4_E2E_DRIVER_EXITS=3 case_ "a.c, driver fails (908)" 1 vq4 a.c
case_ "--chip=18f452 --bins=debug (no such driver)" 1 vq4 --chip=18f452 --bins=debug a.c
case_ "-q a.c b.c" 0 vq4each -q a.c b.c
case_ "-v -Eeach.txt @inner.cmd a.c" 0 vq4each -v -Eeach.txt @inner.cmd a.c
case_ "--help" 0 vq4each --help
case_ "a.c x.lib img.elf args.cmd missing.o" 0 vq4kind a.c x.lib img.elf args.cmd missing.o
case_ "--vqdebug=on @inner.cmd" 0 vq4kind --vqdebug=on @inner.cmd
case_ "(no file)" 1 vq4kind
case_ "--write tree list.sha" 0 vq4sum --write tree list.sha
case_ "--check list.sha" 0 vq4sum --check list.sha
printf 'gamma\n' >tree/a.txt
case_ "--check list.sha (a file changed)" 1 vq4sum --check list.sha
case_ "--bogus (usage)" 2 vq4sum --bogus
[ "$failures" = 0 ] || { echo "memcheck.sh: $failures case(s) failed" >&2; exit 1; }
echo "memcheck.sh: every case clean"
