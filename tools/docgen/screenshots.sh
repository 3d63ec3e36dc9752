#!/usr/bin/env bash
# The screenshots of the README and the guide: each example of the gallery runs in a
# virtual X server (xvfb-run) while a second program captures the screen with
# 窓キャプチャー and saves it with イメージ保存. Without xvfb-run it says so and
# leaves the pictures as they are.
#   screenshots.sh BIN_DIR OUT_DIR
set -u
bin=$1 out=$2
if ! command -v xvfb-run > /dev/null; then
  echo "screenshots: xvfb-run is not installed; the pictures in $out are kept as they are"
  exit 0
fi
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
status=0
for example in draw form kakeibo mole; do
  # A program whose text holds 母艦浮上 starts without showing its main window, so
  # the capturing program does not cover the example.
  cat > "$work/capture.prk" <<PRK
見せない=「母艦浮上」
4秒、待つ
写しイメージを、作る
写しイメージの、幅は、800
写しイメージの、高さは、600
写しイメージへ、「デスクトップ」を、窓キャプチャー
写しイメージを、「$work/$example.png」へ、イメージ保存
終わり
PRK
  (cd "$src/examples" && timeout 60 xvfb-run -a -s "-screen 0 800x600x24" \
    sh -c "'$bin/porukana' '$example.prk' & p=\$!; '$bin/porukana' '$work/capture.prk'; kill \$p" > /dev/null 2>&1)
  if [ -s "$work/$example.png" ]; then
    cp "$work/$example.png" "$out/$example.png"
    echo "screenshots: $out/$example.png"
  else
    echo "screenshots: $example.prk could not be captured"
    status=1
  fi
done
exit $status
