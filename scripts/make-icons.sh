#!/usr/bin/env bash
# Renders packaging/icons/tessaly.svg into the hicolor PNG sizes and the Windows
# tessaly.ico. The outputs are kept in the tree, so a build needs no SVG
# renderer; run this again only after changing the SVG.
#
# Needs rsvg-convert (Debian: librsvg2-bin), icotool (icoutils) and python3.
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in rsvg-convert icotool python3; do
  command -v "$tool" >/dev/null || { echo "make-icons.sh: $tool is not installed" >&2; exit 1; }
done

icons=packaging/icons
svg=$icons/tessaly.svg

for size in 16 24 32 48 64 128 256; do
  dir=$icons/hicolor/${size}x${size}
  mkdir -p "$dir"
  rsvg-convert --width "$size" --height "$size" --format png "$svg" --output "$dir/tessaly.png"
done

# Time stamps and text chunks would make each run differ from the committed
# files although nothing changed; some rsvg/cairo versions write them.
python3 - "$icons"/hicolor/*/tessaly.png <<'PY'
import struct, sys
volatile = {b"tIME", b"tEXt", b"zTXt", b"iTXt"}
for path in sys.argv[1:]:
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    out, pos = [data[:8]], 8
    while pos < len(data):
        if pos + 12 > len(data):
            sys.exit(f"{path}: truncated chunk")
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        end = pos + 12 + length
        if end > len(data):
            sys.exit(f"{path}: truncated chunk")
        if kind not in volatile:
            out.append(data[pos:end])
        pos = end
    with open(path, "wb") as f:
        f.write(b"".join(out))
PY

# Windows shows 16 to 48 in lists and the explorer, 256 for large views; the 256
# entry stays PNG-compressed (-r) as Vista and later expect.
h=$icons/hicolor
icotool --create --output "$icons/tessaly.ico" \
  "$h/16x16/tessaly.png" "$h/24x24/tessaly.png" "$h/32x32/tessaly.png" "$h/48x48/tessaly.png" \
  --raw="$h/256x256/tessaly.png"

echo "Wrote $h/*/tessaly.png and $icons/tessaly.ico"
