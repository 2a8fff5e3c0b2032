#!/usr/bin/env bash
# Regenerates resources/images/*.ico from Debian's public-domain Tango icon theme.
# Each toolbar image and glyph carries 16, 24 and 32 pixel frames (96, 144 and 192 DPI);
# the application icon adds 48 and a PNG-compressed 256 for the shell's large views.
# Usage: scripts/make-images.sh [--sheet FILE.png]
#   --sheet also writes a contact sheet of every frame, enlarged, to check the artwork by eye.
# The outputs are committed; run this only when the artwork changes. Reruns give identical bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh

sheet=
while [ $# -gt 0 ]; do
  case "$1" in
    --sheet) sheet=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: $0 [--sheet FILE.png]" >&2; exit 2 ;;
  esac
done

tavrelo_need_packages tango-icon-theme librsvg2-bin icoutils imagemagick

# /usr/local/bin may hold a convert that is not ImageMagick.
IM=/usr/bin/convert
TANGO=/usr/share/icons/Tango
OUT=resources/images
SIZES=(16 24 32)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes PNGs without timestamps or other metadata, so reruns are byte-identical.
finish() { local out=${*: -1}; set -- "${@:1:$#-1}"; "$IM" "$@" -strip -define png:exclude-chunks=date,time "PNG32:$out"; }

# tango NAME SIZE OUT: Tango's hand-tuned bitmap at that size, else its SVG rendered at that size.
tango() {
  local name=$1 size=$2 out=$3 png svg
  png=$(ls "$TANGO/${size}x${size}"/*/"$name.png" 2>/dev/null | head -n1 || true)
  if [ -n "$png" ]; then
    finish "$png" -background none "$out"
  else
    svg=$(ls "$TANGO/scalable"/*/"$name.svg" | head -n1)
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/svg.png"
    finish "$work/svg.png" "$out"
  fi
}

# svg_art SVG SIZE OUT: renders one of our own small drawings below.
svg_art() { rsvg-convert -w "$2" -h "$2" "$1" -o "$work/svg.png"; finish "$work/svg.png" "$3"; }

# hue PNG DEGREES BRIGHTNESS,SATURATION: turns Tango's greyish blue round the colour wheel into a
# clear yellow or green (percentages as ImageMagick's -modulate takes them).
hue() { "$IM" "$1" -modulate "$3,$(( 100 + $2 * 100 / 180 ))" "$work/hue.png"; finish "$work/hue.png" "$1"; }

# badge BASE OVERLAY SIZE SHARE: scales the overlay to SHARE percent of the frame and puts it in
# the lower right corner of the base.
badge() {
  local base=$1 over=$2 size=$3 share=$4 s
  s=$(( (size * share + 50) / 100 ))
  "$IM" "$base" \( "$over" -filter Lanczos -resize "${s}x${s}" \) -gravity southeast -compose over -composite "$work/badge.png"
  finish "$work/badge.png" "$base"
}

# Tango has no plain check mark or cross, so these two glyphs are drawn here in its palette.
cat >"$work/check.svg" <<'EOF'
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
    <stop offset="0" stop-color="#8ae234"/><stop offset="1" stop-color="#4e9a06"/></linearGradient></defs>
  <path d="M3.5 16.5 L8.5 11.5 L13 16 L23.5 5.5 L28.5 10.5 L13 26 Z"
        fill="url(#g)" stroke="#376b04" stroke-width="2" stroke-linejoin="round"/>
</svg>
EOF
cat >"$work/cross.svg" <<'EOF'
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
    <stop offset="0" stop-color="#ef2929"/><stop offset="1" stop-color="#cc0000"/></linearGradient></defs>
  <path d="M5 9.5 L9.5 5 L16 11.5 L22.5 5 L27 9.5 L20.5 16 L27 22.5 L22.5 27 L16 20.5 L9.5 27 L5 22.5 L11.5 16 Z"
        fill="url(#g)" stroke="#a40000" stroke-width="2" stroke-linejoin="round"/>
</svg>
EOF

# frame ID SIZE OUT: draws one frame of one image.
frame() {
  local id=$1 size=$2 out=$3
  case "$id" in
    open)
      tango document-open "$size" "$out"; hue "$out" -160 110,250
      tango go-next "$size" "$work/arrow.png"; badge "$out" "$work/arrow.png" "$size" 62 ;;
    save) tango media-floppy "$size" "$out" ;;
    delete) tango process-stop "$size" "$out" ;;
    find) tango system-search "$size" "$out" ;;
    reload)
      tango text-x-generic "$size" "$out"
      tango view-refresh "$size" "$work/arrows.png"; hue "$work/arrows.png" -120 80,250
      badge "$out" "$work/arrows.png" "$size" 75 ;;
    help)
      tango x-office-address-book "$size" "$out"
      tango go-next "$size" "$work/arrow.png"; badge "$out" "$work/arrow.png" "$size" 62 ;;
    new) tango document-new "$size" "$out" ;;
    glyph-help) tango help-browser "$size" "$out" ;;
    glyph-close) tango system-log-out "$size" "$out" ;;
    glyph-ok) svg_art "$work/check.svg" "$size" "$out" ;;
    glyph-cancel) svg_art "$work/cross.svg" "$size" "$out" ;;
    app)
      tango text-x-generic "$size" "$out"
      tango application-x-executable "$size" "$work/program.png"; hue "$work/program.png" 170 100,250
      badge "$out" "$work/program.png" "$size" 62 ;;
  esac
}

# icon NAME ID SIZE...: one .ico; frames up to 48 pixels are 32-bit bitmaps with alpha, 256 is PNG.
icon() {
  local name=$1 id=$2 size args=()
  shift 2
  for size in "$@"; do
    frame "$id" "$size" "$work/$name-$size.png"
    if [ "$size" -ge 256 ]; then args+=(--raw="$work/$name-$size.png"); else args+=("$work/$name-$size.png"); fi
  done
  icotool -c -b 32 -o "$OUT/$name.ico" "${args[@]}"
  echo ">> $OUT/$name.ico ($*)"
}

mkdir -p "$OUT"
icon open open "${SIZES[@]}"
icon save save "${SIZES[@]}"
icon delete delete "${SIZES[@]}"
icon find find "${SIZES[@]}"
icon reload reload "${SIZES[@]}"
icon help help "${SIZES[@]}"
icon new new "${SIZES[@]}"
icon glyph-help glyph-help "${SIZES[@]}"
icon glyph-close glyph-close "${SIZES[@]}"
icon glyph-ok glyph-ok "${SIZES[@]}"
icon glyph-cancel glyph-cancel "${SIZES[@]}"
icon app app 16 24 32 48 256

if [ -n "$sheet" ]; then
  # One row per icon in name order, each frame at its own size and again enlarged four times.
  rows=()
  for ico in "$OUT"/*.ico; do
    name=$(basename "$ico" .ico)
    mkdir -p "$work/x/$name"
    icotool -x -o "$work/x/$name" "$ico"
    cells=()
    for f in $(ls "$work/x/$name"/*.png | sort -t_ -k3 -n); do
      s=$(/usr/bin/identify -format %w "$f")
      [ "$s" -gt 48 ] && continue
      cells+=(\( "$f" -gravity center -extent 56x56 +repage \) \( "$f" -filter point -resize 400% -gravity center -extent 200x200 +repage \))
    done
    "$IM" -background '#d3d7cf' "${cells[@]}" +append +repage "$work/row-$name.png"
    rows+=("$work/row-$name.png")
  done
  "$IM" -background '#d3d7cf' "${rows[@]}" -append +repage -flatten "$sheet"
  echo ">> $sheet (rows: $(cd "$OUT" && echo *.ico))"
fi
