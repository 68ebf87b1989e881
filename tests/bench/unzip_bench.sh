#!/usr/bin/env bash
# Unpacking throughput: a 20 MB archive made by Info-ZIP zip, unpacked by Info-ZIP unzip
# (natively) and by UnzipAll (unzip_bench.exe under Wine), same archive, same machine, same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
work=$(mktemp -d /tmp/calorix-unzip-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
# 5 MB that does not compress and 28 MB of text-like lines that do: about 20 MB zipped.
python3 - "$work/files" <<'PY'
import os, random, sys
from pathlib import Path
out = Path(sys.argv[1]); out.mkdir()
random.seed(1)
words = [bytes(random.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(random.randint(2, 9)))
         for _ in range(5000)]
for i in range(5):
    (out / f"random{i}.bin").write_bytes(os.urandom(1 << 20))
for i in range(28):
    lines = (b" ".join(random.choices(words, k=12)) + b"\n" for _ in range(20000))
    (out / f"text{i}.txt").write_bytes(b"".join(lines)[:1 << 20])
PY
(cd "$work/files" && zip -q -r "$work/bench.zip" .)
bytes=$(du -sb --apparent-size "$work/files" | cut -f1)
echo "archive: $(stat -c %s "$work/bench.zip") bytes, $bytes bytes uncompressed, $(ls "$work/files" | wc -l) files"
for run in 1 2 3; do
  rm -rf "$work/native"
  start=$(date +%s.%N)
  unzip -q "$work/bench.zip" -d "$work/native"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v b="$bytes" \
    'BEGIN { printf "Info-ZIP unzip (native): %.3f s, %.1f MB/s uncompressed\n", e - s, b / 1e6 / (e - s) }'
done
# The program times UnzipAll itself; the wall time around it adds Wine's process start.
for run in 1 2 3; do
  rm -rf "$work/wine"
  start=$(date +%s.%N)
  wine "$root/build/win32/bin/unzip_bench.exe" "Z:${work//\//\\}\\bench.zip" \
    "Z:${work//\//\\}\\wine" "$bytes" | tr -d '\r'
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "  (wine process wall time %.3f s)\n", e - s }'
  cmp -s "$work/files/text0.txt" "$work/wine/text0.txt" || echo "  unpacked file differs!"
done
