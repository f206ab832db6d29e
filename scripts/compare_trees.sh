#!/usr/bin/env bash
# Records what a build of the tool makes of a set of catalogs, so that two
# builds can be compared byte for byte: the import's output and log, the
# cache file, the dump loaded from the cache and the dump of a fresh import,
# the JSON outline, and decodes of a few payloads per operation.
#
#   scripts/compare_trees.sh record  MOSTFCAT DIR         writes DIR/xml (once) and DIR/out
#   scripts/compare_trees.sh compare MOSTFCAT REFDIR DIR  records into DIR with REFDIR's
#                                                         catalogs and compares with REFDIR
#
# The catalogs are the generator's (several seeds and sizes up to about 10 MB),
# the test fixtures and the bundled sample. Every run imports from the same
# folder with the same file times, so the caches' headers (checksum of the
# path, XML time) are comparable too.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
work=${COMPARE_WORK:-/tmp/mostfcat_compare_work}

usage() {
    echo "usage: $0 record MOSTFCAT DIR | compare MOSTFCAT REFDIR DIR" >&2
    exit 2
}

[ $# -ge 3 ] || usage
mode=$1
tool=$(realpath "$2")
case $mode in
record) ref= out=$3 ;;
compare) [ $# -ge 4 ] || usage; ref=$(realpath "$3") out=$4 ;;
*) usage ;;
esac
mkdir -p "$out"
out=$(realpath "$out")
xmldir=${ref:-$out}/xml

# The generated catalogs: seed:size pairs.
generated="1:20000 2:150000 3:600000 4:2000000 5:5000000 6:10000000 20240917:10000000"

if [ ! -d "$xmldir" ]; then
    mkdir -p "$xmldir"
    for pair in $generated; do
        seed=${pair%%:*} size=${pair##*:}
        "$tool" generate "$xmldir/gen_${seed}_${size}.xml" --seed "$seed" --size "$size" >/dev/null
    done
    cp "$here"/tests/fixtures/*.xml "$xmldir/"
    cp "$here"/examples/catalogs/sample_catalog.xml "$xmldir/"
fi

# Settings folders: the defaults (cache on), and the cache off.
rm -rf "$work"
mkdir -p "$work/cat" "$work/settings_cache" "$work/settings_nocache" "$out/out"
printf '[MOSTImport]\nImportOptim=0\n' >"$work/settings_nocache/Tarvex.ini"

# Decodes payloads made from a fixed sequence of bytes for (up to) 400
# operations spread over the catalog.
decode_input() {
    jq -r '.fblocks[]? | .id as $f | .instances[]? | .id as $i | .functions[]? | .id as $k
           | .operations[]? | [$f, $i, $k, .op_type] | @tsv' "$1" |
        awk 'BEGIN { srand(7) }
             { lines[NR] = $0 }
             END {
                 step = NR > 400 ? NR / 400 : 1
                 for (x = 1; x <= NR; x += step) {
                     split(lines[int(x)], c, "\t")
                     n = int(rand() * 20); hex = ""
                     for (b = 0; b < n; ++b) hex = hex sprintf("%02X", int(rand() * 256))
                     printf "%X.%X.%X.%X:%s\n", c[1], c[2], c[3], c[4], hex
                 }
             }'
}

status=0
for xml in "$xmldir"/*.xml; do
    name=$(basename "$xml" .xml)
    dst="$out/out/$name"
    rm -f "$work"/cat/*
    cp "$xml" "$work/cat/$name.xml"
    touch -d @1700000000 "$work/cat/$name.xml"
    cat="$work/cat/$name.xml"
    s=(--settings "$work/settings_cache")
    n=(--settings "$work/settings_nocache")
    # The first open imports and writes log and cache; the later ones load the cache.
    "$tool" "${s[@]}" import "$cat" >"$dst.import.txt" 2>&1 || echo "exit $?" >>"$dst.import.txt"
    sed -e 's/[0-9][0-9]:[0-9][0-9]:[0-9][0-9]/HH:MM:SS/g' "$work/cat/$name.log" >"$dst.log" 2>/dev/null ||
        : >"$dst.log"
    cp "$work/cat/$name.vfc" "$dst.vfc" 2>/dev/null || : >"$dst.vfc"
    "$tool" "${s[@]}" import "$cat" --no-log >"$dst.reload.txt" 2>&1 || echo "exit $?" >>"$dst.reload.txt"
    "$tool" "${s[@]}" dump "$cat" >"$dst.dump_cache.txt" 2>&1 || echo "exit $?" >>"$dst.dump_cache.txt"
    "$tool" "${n[@]}" dump "$cat" >"$dst.dump_xml.txt" 2>&1 || echo "exit $?" >>"$dst.dump_xml.txt"
    "$tool" "${s[@]}" list "$cat" --json >"$dst.list.json" 2>&1 || echo "exit $?" >>"$dst.list.json"
    "$tool" "${s[@]}" list "$cat" --verbose --all >"$dst.list.txt" 2>&1 || echo "exit $?" >>"$dst.list.txt"
    if jq -e . "$dst.list.json" >/dev/null 2>&1; then
        decode_input "$dst.list.json" >"$dst.decode_in.txt"
        "$tool" "${s[@]}" decode "$cat" --json <"$dst.decode_in.txt" >"$dst.decode.json" 2>&1 ||
            echo "exit $?" >>"$dst.decode.json"
    fi
done
rm -rf "$work"

if [ "$mode" = compare ]; then
    if diff -rq "$ref/out" "$out/out"; then
        echo "compare: $(ls "$out/out" | wc -l) files identical to $ref/out"
    else
        echo "compare: differences found (diff -r $ref/out $out/out)"
        status=1
    fi
else
    echo "recorded $(ls "$out/out" | wc -l) files in $out/out"
fi
exit $status
