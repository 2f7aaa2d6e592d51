#!/usr/bin/env bash
# Every side-by-side benchmark of the project in one table: runs each
# Google Benchmark binary (JSON output) and each benchmark script, keeps
# their full output in <build>/bench-logs/, and prints per figure our time,
# the yardstick's, the ratio, the target and whether it was met ("MISSED"
# marks a figure outside its target; the run still succeeds, since a loaded
# machine can miss a target without a fault in the code).
#
#   bench/table.sh [build directory]     (default: build-bench, made by make bench)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
logs=$build/bench-logs
mkdir -p "$logs"
for b in "$build"/bench/*_bench; do
    [ -x "$b" ] || { echo "table.sh: no benchmarks in $build/bench; run make bench" >&2; exit 2; }
    name=$(basename "$b")
    echo "running $name" >&2
    "$b" --benchmark_format=json --benchmark_out="$logs/$name.json" --benchmark_out_format=json \
        >"$logs/$name.txt" 2>&1 || echo "table.sh: $name failed (see $logs/$name.txt)" >&2
done
for s in frontend_overhead sha_file scale; do
    echo "running $s.sh" >&2
    "bench/$s.sh" "$build" >"$logs/$s.txt" 2>&1 || echo "table.sh: $s.sh failed (see $logs/$s.txt)" >&2
done

python3 - "$logs" <<'PY'
import json, re, sys, os
logs = sys.argv[1]
scale = {'ns': 1, 'us': 1e3, 'ms': 1e6, 's': 1e9}

def bench(binary):
    path = os.path.join(logs, binary + '.json')
    try:
        data = json.load(open(path))
    except (OSError, ValueError):
        return {}
    out = {}
    for b in data.get('benchmarks', []):
        if b.get('error_occurred'):
            continue
        # Names lose their "/iterations:N", "/repeats:N" and "/real_time" parts.
        name = b['run_name'].split('/')[0] if 'run_name' in b else b['name'].split('/')[0]
        if b.get('run_type') == 'aggregate':
            name += '_' + b['aggregate_name']
        b['ns'] = b.get('real_time', 0) * scale.get(b.get('time_unit', 'ns'), 1)
        out.setdefault(name, b)
    return out

def text(script):
    try:
        return open(os.path.join(logs, script + '.txt')).read()
    except OSError:
        return ''

rows, missed = [], 0
def fmt_ns(ns):
    for unit, f in (('s', 1e9), ('ms', 1e6), ('us', 1e3)):
        if ns >= f:
            return '%.3g %s' % (ns / f, unit)
    return '%.3g ns' % ns

def row(figure, ours, yard_name, yard, ratio, target, ok):
    global missed
    if ratio is None:
        rows.append((figure, ours, yard_name, yard, '-', target, 'NOT MEASURED'))
        missed += 1
        return
    rows.append((figure, ours, yard_name, yard, '%.2fx' % ratio, target, 'ok' if ok else 'MISSED'))
    missed += 0 if ok else 1

def pair(binary, ours, yard, figure, yard_name, limit):
    b = bench(binary)
    if ours in b and yard in b and b[yard]['ns'] > 0:
        r = b[ours]['ns'] / b[yard]['ns']
        row(figure, fmt_ns(b[ours]['ns']), yard_name, fmt_ns(b[yard]['ns']), r, '<= %gx' % limit, r <= limit)
    else:
        row(figure, '-', yard_name, '-', None, '<= %gx' % limit, False)

pair('containers_bench', 'BM_VecAppend', 'BM_StdVectorPushBack', 'vec_append', 'std::vector::push_back', 1.5)
pair('containers_bench', 'BM_VecIterationProtocol', 'BM_StdVectorIndexLoop', 'vec iteration protocol', 'std::vector index loop', 3)
pair('containers_bench', 'BM_VecIterationProtocolLightBody', 'BM_StdVectorIndexLoopLightBody', 'vec iteration, light body', 'std::vector index loop', 3)
pair('containers_bench', 'BM_ScInternHit', 'BM_StdUnorderedSetFind', 'sc_intern hit', 'unordered_set::find', 1.5)

spawn = bench('spawn_bench')
ratio = spawn.get('BM_SpawnRatio_median', {}).get('ratio')
if ratio is not None:
    ours, yard = spawn.get('BM_OsSpawn', {}).get('ns'), spawn.get('BM_PosixSpawnWaitpid', {}).get('ns')
    row('os_spawn (median of alternating rounds)', fmt_ns(ours) if ours else '-', 'posix_spawn + waitpid',
        fmt_ns(yard) if yard else '-', ratio, '<= 1.15x', ratio <= 1.15)
else:
    pair('spawn_bench', 'BM_OsSpawn', 'BM_PosixSpawnWaitpid', 'os_spawn', 'posix_spawn + waitpid', 1.15)

m = re.search(r'\(a\) .*?median ([\d.]+) us.*?\(b\) .*?median ([\d.]+) us', text('frontend_overhead'), re.S)
r = re.search(r'ratio a/b: ([\d.]+) \(target', text('frontend_overhead'))
if r:
    a, b = (m.group(1) + ' us', m.group(2) + ' us') if m else ('-', '-')
    row('vq4 run (front end + no-op driver)', a, 'env + no-op driver', b, float(r.group(1)), '<= 1.5x', float(r.group(1)) <= 1.5)
else:
    row('vq4 run (front end + no-op driver)', '-', 'env + no-op driver', '-', None, '<= 1.5x', False)

pair('package_bench', 'db_package_add_1MiB_to_50', 'zip_command_1MiB_to_50', 'db_package_add, 1 MiB into 50', 'zip -6', 1.5)
pair('skiplist_bench', 'skiplist_lookup_1e5', 'map_lookup_1e5', 'skip list lookup, 1e5', 'std::map lookup', 3)
pair('uxml2_bench', 'BM_UxmlRead', 'BM_Tinyxml2Read', 'uxml_read', 'tinyxml2 parse', 2)

alert = bench('alert_init_bench').get('BM_AlertInitBuiltInCatalogue')
if alert:
    us = alert['ns'] / 1e3
    rows.append(('alert_init (built-in catalogue)', fmt_ns(alert['ns']), '(absolute)', '-', '-', '<= 300 us',
                 'ok' if us <= 300 else 'MISSED'))
    missed += 0 if us <= 300 else 1
else:
    row('alert_init (built-in catalogue)', '-', '(absolute)', '-', None, '<= 300 us', False)

sha = bench('shahash_bench')
for algo in ('Sha256', 'Sha1'):
    ours_name = 'BM_%sAccel' % algo if 'BM_%sAccel' % algo in sha else 'BM_%sPortable' % algo
    ossl = 'BM_%sOpenSSL' % algo
    if ours_name in sha and ossl in sha:
        thr = sha[ossl]['ns'] / sha[ours_name]['ns']
        label = sha[ours_name].get('label', '') or ours_name
        rows.append(('%s throughput (%s)' % (algo.upper(), label), fmt_ns(sha[ours_name]['ns']), 'OpenSSL',
                     fmt_ns(sha[ossl]['ns']), '%.2fx' % thr, '>= 0.9x', 'ok' if thr >= 0.9 else 'MISSED'))
        missed += 0 if thr >= 0.9 else 1
    else:
        row('%s throughput' % algo.upper(), '-', 'OpenSSL', '-', None, '>= 0.9x', False)

s = text('sha_file')
m = re.search(r'sha256_file.*?wall ([\d.]+) s.*?openssl dgst.*?wall ([\d.]+) s.*?ratio ours/openssl: wall ([\d.]+)', s, re.S)
if m:
    thr = float(m.group(3))
    rows.append(('sha256 of a 1 GiB file (vq4sum)', m.group(1) + ' s', 'openssl dgst -sha256', m.group(2) + ' s',
                 '%.2fx' % thr, '>= 0.9x', 'ok' if thr >= 0.9 else 'MISSED'))
    missed += 0 if thr >= 0.9 else 1
else:
    row('sha256 of a 1 GiB file (vq4sum)', '-', 'openssl dgst -sha256', '-', None, '>= 0.9x', False)

s = text('scale')
for label in ('1,000,000 short args', '1,000,000 real args', 'command files nested 1,000 deep'):
    m = re.search(re.escape(label) + r'.*?([\d.]+) s\s+(.+?)\s+([\d.]+) s\s+([\d.]+)x\s+\(target <= ([\d.]+)x\)', s)
    if m:
        r, lim = float(m.group(4)), float(m.group(5))
        row(label, m.group(1) + ' s', m.group(2).strip(), m.group(3) + ' s', r, '<= %gx' % lim, r <= lim)
    else:
        row(label, '-', '-', '-', None, '-', False)
m = re.search(r'peak memory, 1,000,000 short args\s+([\d.]+) MB', s)
if m:
    mb = float(m.group(1))
    rows.append(('peak memory, 1,000,000 args', '%.1f MB' % mb, '(absolute)', '-', '-', '<= 100 MB',
                 'ok' if mb <= 100 else 'MISSED'))
    missed += 0 if mb <= 100 else 1

cpu = next((l.split(':', 1)[1].strip() for l in open('/proc/cpuinfo') if l.startswith('model name')), '?')
print('== side-by-side benchmarks (%d cores; %s)' % (os.cpu_count(), cpu))
head = ('figure', 'ours', 'yardstick', 'theirs', 'ratio', 'target', 'verdict')
widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
for r in [head] + rows:
    print('  '.join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip())
print('%d of %d figures met their targets%s' % (len(rows) - missed, len(rows),
      '' if missed == 0 else '; full outputs in ' + logs))
PY
