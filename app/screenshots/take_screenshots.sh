#!/bin/sh
# Saves screenshots of the desktop program's windows into BUILD/screenshots: runs
# clipgif-screenshots on a sample clip under Xvfb at 1024x768.
#   app/screenshots/take_screenshots.sh [BUILD]
set -eu
build=${1:-build}
out="$build/screenshots"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clip="$work/sample-clip.mp4"
portrait="$work/phone-clip.mp4"
sound="$work/voice-memo.wav"
ffmpeg -y -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 40 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$clip"
ffmpeg -y -loglevel error -f lavfi -i testsrc2=size=1080x1920:rate=30 -t 20 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p "$portrait"
ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=2 "$sound"
xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/clipgif-screenshots" \
  "$clip" "$portrait" "$sound" "$out"
ls -1 "$out"
