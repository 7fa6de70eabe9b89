#!/bin/sh
# Renders the icon sources into the PNGs and the Windows .ico beside them.
# Needs rsvg-convert (Debian: librsvg2-bin) and ImageMagick's convert; ImageMagick's
# built-in SVG reader draws strokes and arcs wrongly, so librsvg does the rasterising.
set -eu
cd "$(dirname "$0")/.."
for svg in src/*.svg; do
  name=$(basename "$svg" .svg)
  rsvg-convert -w 16 -h 16 "$svg" -o "$name.png.tmp"
  convert "$name.png.tmp" -strip "PNG32:$name.png"
  rm -f "$name.png.tmp"
done
# The application icon: the pixel-grid drawing at 16, the large drawing above that.
cp pdf-document.png quenlith-16.png
for size in 32 48 256; do
  rsvg-convert -w "$size" -h "$size" quenlith.svg -o "quenlith-$size.png.tmp"
  convert "quenlith-$size.png.tmp" -strip "PNG32:quenlith-$size.png"
  rm -f "quenlith-$size.png.tmp"
done
# Windows icon group: the 16 x 16 picture in 256 colours and in 32-bit colour.
python3 src/make-ico.py quenlith.ico --palette pdf-document.png
