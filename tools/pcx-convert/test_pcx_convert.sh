#!/bin/sh
# Checks of pcx-convert, one case per run: test_pcx_convert.sh TOOL CASE
# Pictures are made with awk, turned into PCX files with netpbm's ppmtopcx
# and compared with netpbm's own decoding (pcxtoppm, pngtopnm, pamcut).
set -eu
tool=$1
case_name=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

need_netpbm() {
  for t in ppmtopcx pcxtoppm pngtopnm pamcut; do
    command -v "$t" >/dev/null 2>&1 || { echo "netpbm ($t) is missing: the case cannot run" >&2; exit 1; }
  done
}

# picture W H COLOURS FILE: a plain PPM with COLOURS distinct colours (0 = a
# gradient with many colours).
picture() {
  awk -v w="$1" -v h="$2" -v n="$3" 'BEGIN {
    print "P3"; print w, h; print 255
    for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
      if (n == 0) { r = int(x * 255 / (w - 1)); g = int(y * 255 / (h - 1)); b = (x * y * 7) % 256 }
      else { i = (x + 3 * y + int(x / 5)) % n; r = (i * 67 + 13) % 256; g = (i * 149 + 101) % 256; b = (i * 29 + 200) % 256 }
      print r, g, b
    }
  }' > "$4"
}

# status CMD...: runs CMD, stores its exit status in $rc and stderr in $dir/err
status() {
  rc=0
  "$@" 2>"$dir/err" >"$dir/out" || rc=$?
}

case "$case_name" in
usage)
  status "$tool" --help
  [ "$rc" -eq 0 ] || fail "--help exits with $rc"
  grep -q '^Usage: pcx-convert' "$dir/out" || fail "--help prints no usage"
  grep -q 'Exit status' "$dir/out" || fail "--help does not explain the exit status"
  status "$tool"
  [ "$rc" -eq 64 ] || fail "no arguments: exit $rc"
  grep -q 'INPUT and OUTPUT are needed' "$dir/err" || fail "no arguments: $(cat "$dir/err")"
  status "$tool" --bpp 12 a.pcx b.ppm
  [ "$rc" -eq 64 ] && grep -q -- "--bpp takes 8, 16, 24 or 32, not '12'" "$dir/err" || fail "--bpp 12: $rc $(cat "$dir/err")"
  status "$tool" --flags 16 a.pcx b.ppm
  [ "$rc" -eq 64 ] && grep -q -- "--flags takes" "$dir/err" || fail "--flags 16: $rc"
  status "$tool" --buffer 10 a.pcx b.ppm
  [ "$rc" -eq 64 ] && grep -q -- "--buffer takes WxH" "$dir/err" || fail "--buffer 10: $rc"
  status "$tool" --at 1 a.pcx b.ppm
  [ "$rc" -eq 64 ] && grep -q -- "--at takes X,Y" "$dir/err" || fail "--at 1: $rc"
  status "$tool" --bogus a.pcx b.ppm
  [ "$rc" -eq 64 ] && grep -q "unknown option '--bogus'" "$dir/err" || fail "--bogus: $rc"
  status "$tool" a.pcx b.bmp
  [ "$rc" -eq 64 ] && grep -q "OUTPUT must end in .raw, .ppm or .png" "$dir/err" || fail "b.bmp: $rc"
  status "$tool" a.pcx b.ppm c.ppm
  [ "$rc" -eq 64 ] && grep -q "too many file names" "$dir/err" || fail "three names: $rc"
  status "$tool" --palette-out
  [ "$rc" -eq 64 ] && grep -q -- "--palette-out needs a value" "$dir/err" || fail "--palette-out alone: $rc"
  ;;
failures)
  need_netpbm
  status "$tool" "$dir/none.pcx" "$dir/out.ppm"
  [ "$rc" -eq 1 ] || fail "missing file: exit $rc"
  [ "$(cat "$dir/err")" = "pcx-convert: $dir/none.pcx: cannot open the file (result 1)" ] || fail "missing file: $(cat "$dir/err")"
  echo "just some text, long enough to fill a whole header of one hundred and twenty-eight bytes........................" > "$dir/text.pcx"
  status "$tool" "$dir/text.pcx" "$dir/out.ppm"
  [ "$rc" -eq 2 ] || fail "text file: exit $rc"
  [ "$(cat "$dir/err")" = "pcx-convert: $dir/text.pcx: not a PCX file (result 2)" ] || fail "text file: $(cat "$dir/err")"
  [ ! -e "$dir/out.ppm" ] || fail "an output was written for a failed read"
  # Damaged and hostile files, made from a good one: patch FILE OFFSET BYTES...
  patch() { f=$1; at=$2; shift 2; printf "$@" | dd of="$f" bs=1 seek="$at" conv=notrunc 2>/dev/null; }
  picture 37 13 200 "$dir/good.ppm"
  ppmtopcx "$dir/good.ppm" > "$dir/good.pcx" 2>/dev/null
  cp "$dir/good.pcx" "$dir/planes9.pcx"; patch "$dir/planes9.pcx" 65 '\011'
  cp "$dir/good.pcx" "$dir/bits2.pcx"; patch "$dir/bits2.pcx" 3 '\002'
  cp "$dir/good.pcx" "$dir/xmin.pcx"; patch "$dir/xmin.pcx" 4 '\377\000'
  cp "$dir/good.pcx" "$dir/huge.pcx"; patch "$dir/huge.pcx" 8 '\177\076\177\076'
  picture 45 17 0 "$dir/gradient.ppm"
  ppmtopcx "$dir/gradient.ppm" > "$dir/gradient.pcx" 2>/dev/null
  head -c 600 "$dir/gradient.pcx" > "$dir/cut.pcx"
  # name, exit status, what stderr says, whether an output is written
  while read -r name want says written; do
    rm -f "$dir/out.ppm"
    status "$tool" "$dir/$name.pcx" "$dir/out.ppm"
    [ "$rc" -eq "$want" ] || fail "$name: exit $rc, not $want: $(cat "$dir/err")"
    grep -q "$(echo "$says" | tr _ ' ')" "$dir/err" || fail "$name: $(cat "$dir/err")"
    if [ "$written" = yes ]; then [ -s "$dir/out.ppm" ] || fail "$name: no output"
    else [ ! -e "$dir/out.ppm" ] || fail "$name: an output was written"; fi
  done <<TABLE
planes9 3 (result_3) no
bits2 3 (result_3) no
xmin 3 (result_3) no
huge 65 more_than_the_limit no
cut 5 ends_before.*rows_that_were_read_are_written yes
TABLE
  # The rows that were read of the cut file are the good file's.
  pcxtoppm "$dir/gradient.pcx" 2>/dev/null | pamcut -top 0 -height 1 | pnmtoplainpnm > "$dir/want.txt"
  pamcut -top 0 -height 1 "$dir/out.ppm" | pnmtoplainpnm > "$dir/got.txt"
  cmp -s "$dir/got.txt" "$dir/want.txt" || fail "the first row of a cut file differs"
  # The limit counts the buffer's pixels (37 x 13 = 481) and can be set.
  status "$tool" --max-pixels 480 "$dir/good.pcx" "$dir/out.ppm"
  [ "$rc" -eq 65 ] || fail "481 pixels over a limit of 480: exit $rc"
  "$tool" --max-pixels=481 "$dir/good.pcx" "$dir/out.ppm" || fail "481 pixels within a limit of 481"
  status "$tool" --flags 6 "$dir/none.pcx" "$dir/out.ppm"
  [ "$rc" -eq 1 ] || fail "missing file in memory mode: exit $rc"
  ;;
ppm)
  need_netpbm
  picture 45 17 0 "$dir/gradient.ppm"
  picture 37 13 200 "$dir/many.ppm"
  picture 37 13 16 "$dir/sixteen.ppm"
  for name in gradient many sixteen; do
    ppmtopcx "$dir/$name.ppm" > "$dir/$name.pcx" 2>/dev/null
    pcxtoppm "$dir/$name.pcx" > "$dir/$name.want.ppm" 2>/dev/null
    for bpp in 24 32; do
      "$tool" --bpp $bpp "$dir/$name.pcx" "$dir/$name.$bpp.ppm" || fail "$name at $bpp: exit $?"
      cmp -s "$dir/$name.$bpp.ppm" "$dir/$name.want.ppm" || fail "$name at $bpp bits differs from pcxtoppm"
    done
    # The default depth is 32, and memory mode reads the same.
    "$tool" --flags 6 "$dir/$name.pcx" "$dir/$name.mem.ppm" || fail "$name from memory: exit $?"
    cmp -s "$dir/$name.mem.ppm" "$dir/$name.want.ppm" || fail "$name from memory differs from pcxtoppm"
  done
  # At 8 bits the palette images show the same colours (200 colours fit
  # the 236 slots without merging).
  for name in many sixteen; do
    "$tool" --bpp 8 "$dir/$name.pcx" "$dir/$name.8.ppm" || fail "$name at 8: exit $?"
    cmp -s "$dir/$name.8.ppm" "$dir/$name.want.ppm" || fail "$name at 8 bits differs from pcxtoppm"
  done
  # At 16 bits each colour is cut to 5-6-5 and widened again by replication.
  "$tool" --bpp 16 "$dir/gradient.pcx" "$dir/gradient.16.ppm" || fail "gradient at 16: exit $?"
  python3 - "$dir/gradient.16.ppm" "$dir/gradient.want.ppm" <<'EOF' || fail "gradient at 16 bits"
import sys
def pixels(path):
    data = open(path, 'rb').read()
    fields = data.split(maxsplit=4)
    return fields[1], fields[2], fields[4]
got, want = pixels(sys.argv[1]), pixels(sys.argv[2])
assert got[:2] == want[:2], (got[:2], want[:2])
for i, (g, w) in enumerate(zip(got[2], want[2])):
    bits = 6 if i % 3 == 1 else 5
    top = w >> (8 - bits)
    wide = (top << (8 - bits)) | (top >> (2 * bits - 8))
    assert g == wide, (i, g, w, wide)
EOF
  ;;
png)
  need_netpbm
  picture 45 17 0 "$dir/gradient.ppm"
  ppmtopcx "$dir/gradient.ppm" > "$dir/gradient.pcx" 2>/dev/null
  pcxtoppm "$dir/gradient.pcx" > "$dir/want.ppm" 2>/dev/null
  for bpp in 8 24 32; do
    status "$tool" --bpp $bpp "$dir/gradient.pcx" "$dir/out.png"
    if [ $bpp -eq 8 ]; then
      [ "$rc" -eq 3 ] || fail "true colour at 8 bits: exit $rc"
      continue
    fi
    [ "$rc" -eq 0 ] || fail "png at $bpp: exit $rc"
    pngtopnm "$dir/out.png" > "$dir/got.ppm"
    cmp -s "$dir/got.ppm" "$dir/want.ppm" || fail "png at $bpp bits differs from pcxtoppm"
  done
  ;;
raw)
  need_netpbm
  picture 13 5 0 "$dir/tc.ppm"
  ppmtopcx "$dir/tc.ppm" > "$dir/tc.pcx" 2>/dev/null
  # 13 pixels become a padded width of 16.
  for bpp in 16 24 32; do
    "$tool" --bpp $bpp "$dir/tc.pcx" "$dir/out.raw" || fail "raw at $bpp: exit $?"
    size=$(wc -c < "$dir/out.raw")
    [ "$size" -eq $((16 * 5 * bpp / 8)) ] || fail "raw at $bpp: $size bytes"
  done
  # Top row first, pixel (1, 0) is (21, 0, 0) in the picture: bytes blue, green, red, pad.
  "$tool" --bpp 32 "$dir/tc.pcx" "$dir/out.raw"
  [ "$(od -An -tx1 -j4 -N4 "$dir/out.raw" | tr -d ' ')" = "00001500" ] || fail "raw pixel (1, 0) at 32 bits"
  # Row 1 starts one padded row in: pixel (0, 1) is (0, 63, 0).
  [ "$(od -An -tx1 -j64 -N4 "$dir/out.raw" | tr -d ' ')" = "003f0000" ] || fail "raw pixel (0, 1) at 32 bits"
  "$tool" --bpp 16 "$dir/tc.pcx" "$dir/out.raw"
  # (21, 0, 0) in 5-6-5 is 0x1000, stored little-endian.
  [ "$(od -An -tx1 -j2 -N2 "$dir/out.raw" | tr -d ' ')" = "0010" ] || fail "raw pixel (1, 0) at 16 bits"
  ;;
palette)
  need_netpbm
  picture 37 13 200 "$dir/many.ppm"
  ppmtopcx "$dir/many.ppm" > "$dir/many.pcx" 2>/dev/null
  "$tool" --palette-out "$dir/pal.bin" "$dir/many.pcx" "$dir/out.ppm" || fail "palette-out: exit $?"
  tail -c 768 "$dir/many.pcx" > "$dir/want.bin"
  cmp -s "$dir/pal.bin" "$dir/want.bin" || fail "at 32 bits the palette is not the file's"
  # Keeping the palette leaves the default one: entry 1 is (128, 0, 0), entry 30 (0, 0, 255).
  "$tool" --flags 3 --palette-out "$dir/pal.bin" "$dir/many.pcx" "$dir/out.ppm"
  [ "$(od -An -tx1 -N6 "$dir/pal.bin" | tr -d ' ')" = "000000800000" ] || fail "kept palette, entries 0 and 1"
  [ "$(od -An -tx1 -j90 -N3 "$dir/pal.bin" | tr -d ' ')" = "0000ff" ] || fail "kept palette, entry 30"
  # At 8 bits without reduction, slots 10 to 245 hold the file's colours 10 to 245.
  "$tool" --bpp 8 --flags 10 --palette-out "$dir/pal.bin" "$dir/many.pcx" "$dir/out.ppm"
  tail -c 768 "$dir/many.pcx" | head -c 738 | tail -c 708 > "$dir/want.bin"
  head -c 738 "$dir/pal.bin" | tail -c 708 > "$dir/got.bin"
  cmp -s "$dir/got.bin" "$dir/want.bin" || fail "8-bit palette slots 10 to 245"
  ;;
placement)
  need_netpbm
  picture 37 13 16 "$dir/sixteen.ppm"
  ppmtopcx "$dir/sixteen.ppm" > "$dir/sixteen.pcx" 2>/dev/null
  pcxtoppm "$dir/sixteen.pcx" > "$dir/want.ppm" 2>/dev/null
  "$tool" --buffer 50x20 --at 5,3 "$dir/sixteen.pcx" "$dir/out.ppm" || fail "placement: exit $?"
  [ "$(head -c 12 "$dir/out.ppm" | tr '\n' ' ')" = "P6 50 20 255" ] || fail "placement: wrong size"
  pamcut -left 5 -top 3 -width 37 -height 13 "$dir/out.ppm" | pnmtoplainpnm > "$dir/got.txt"
  pnmtoplainpnm "$dir/want.ppm" > "$dir/want.txt"
  cmp -s "$dir/got.txt" "$dir/want.txt" || fail "placed image differs from pcxtoppm"
  pamcut -left 0 -top 0 -width 5 -height 3 "$dir/out.ppm" | pnmtoplainpnm | tail -n +4 | tr -s ' \n' '\n\n' | grep -qv '^0*$' \
    && fail "the zero fill around the image changed"
  # Clipped at the left and top edges.
  "$tool" --buffer 20x10 --at -4,-2 "$dir/sixteen.pcx" "$dir/clip.ppm" || fail "clipped: exit $?"
  pamcut -left 4 -top 2 -width 20 -height 10 "$dir/want.ppm" | pnmtoplainpnm > "$dir/want.txt"
  pnmtoplainpnm "$dir/clip.ppm" > "$dir/got.txt"
  cmp -s "$dir/got.txt" "$dir/want.txt" || fail "image clipped at the top left differs"
  ;;
safety)
  need_netpbm
  picture 37 13 16 "$dir/sixteen.ppm"
  ppmtopcx "$dir/sixteen.ppm" > "$dir/in.pcx" 2>/dev/null
  status "$tool" --version
  [ "$rc" -eq 0 ] && grep -q '^pcx-convert [0-9][0-9.]*$' "$dir/out" || fail "--version: $rc $(cat "$dir/out")"
  # One option syntax: --opt VALUE and --opt=VALUE, endings in any case, no option twice.
  "$tool" --bpp=24 "$dir/in.pcx" "$dir/a.PPM" || fail "--bpp=24 and .PPM"
  "$tool" --bpp 24 "$dir/in.pcx" "$dir/b.ppm" && cmp -s "$dir/a.PPM" "$dir/b.ppm" || fail "--bpp=24 differs"
  status "$tool" --bpp 24 --bpp=32 "$dir/in.pcx" "$dir/b.ppm"
  [ "$rc" -eq 64 ] && grep -q -- "--bpp is given twice" "$dir/err" || fail "repeated --bpp: $rc"
  # An output that is the input, also through a link, is refused and the input kept.
  cp "$dir/in.pcx" "$dir/in.ppm"; cp "$dir/in.pcx" "$dir/keep.pcx"
  ln -s "$dir/in.ppm" "$dir/link.ppm"
  for out in "$dir/in.ppm" "$dir/link.ppm"; do
    status "$tool" "$dir/in.ppm" "$out"
    [ "$rc" -eq 64 ] && grep -q "is the input file" "$dir/err" || fail "output $out is the input: $rc"
  done
  status "$tool" --palette-out "$dir/in.ppm" "$dir/in.ppm" "$dir/c.ppm"
  [ "$rc" -eq 64 ] || fail "--palette-out is the input: $rc"
  cmp -s "$dir/in.ppm" "$dir/keep.pcx" || fail "the input was changed"
  # A write that fails part-way (a file-size limit) keeps the old file,
  # leaves no temporary file and says why.
  for out in old.ppm old.png old.raw; do
    echo "the old contents" > "$dir/$out"
    status sh -c "ulimit -f 1; exec \"\$@\"" sh "$tool" --buffer 2000x2000 "$dir/in.pcx" "$dir/$out"
    [ "$rc" -eq 73 ] || fail "$out past the size limit: exit $rc"
    grep -q "cannot write the file: File too large" "$dir/err" || fail "$out: $(cat "$dir/err")"
    [ "$(cat "$dir/$out")" = "the old contents" ] || fail "$out was damaged"
  done
  [ "$(ls -A "$dir" | grep -c tmp)" -eq 0 ] || fail "temporary files were left: $(ls -A "$dir")"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok: $case_name"
