#!/usr/bin/env bash
# Draws the installer's side picture (welcome and finish pages, 164 x 314) from the client's icon,
# in the colours of its windows. Run by hand after changing it; the picture is committed and the
# build only uses it. Needs ImageMagick and the WenQuanYi font (both installed by scripts/setup).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
font=$(fc-match -f '%{file}' 'WenQuanYi Micro Hei')
convert -size 164x314 gradient:'#1f5fa8'-'#7cc4f0' \
  \( "$here/../client/resources/Quillon.ico[0]" -filter point -resize 64x64 \) -gravity north -geometry +0+56 -composite \
  -font "$font" -fill white -pointsize 17 -gravity north -annotate +0+146 '远岸宽带' \
  -pointsize 14 -annotate +0+172 '拨号客户端' \
  -type TrueColor "BMP3:$here/Wizard.bmp"
