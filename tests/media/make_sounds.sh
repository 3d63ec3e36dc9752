#!/usr/bin/env bash
# Writes the short sound files of the media tests (committed; run again only to
# change them). Needs gst-launch-1.0 (gstreamer1.0-tools) with the plugins base,
# good and libav, and python3.
set -euo pipefail
cd "$(dirname "$0")"
tone() {   # tone FREQUENCY BUFFERS ENCODER... -- a sine of 1470-sample buffers at 44.1 kHz
  local freq=$1 buffers=$2
  shift 2
  gst-launch-1.0 -q audiotestsrc num-buffers="$buffers" samplesperbuffer=1470 wave=sine freq="$freq" volume=0.5 \
    ! audio/x-raw,rate=44100,channels=1 ! audioconvert ! "$@"
}
# half a second of 660 Hz, 16-bit mono PCM at 22.05 kHz
gst-launch-1.0 -q audiotestsrc num-buffers=15 samplesperbuffer=735 wave=sine freq=660 volume=0.5 \
  ! audio/x-raw,rate=22050,channels=1,format=S16LE ! wavenc ! filesink location=chime.wav
# one second each
tone 440 30 lamemp3enc bitrate=32 ! xingmux ! filesink location=tone.mp3
tone 523 30 vorbisenc quality=0.1 ! oggmux ! filesink location=tone.ogg
tone 330 30 avenc_aac bitrate=32000 ! mp4mux ! filesink location=tone.mp4
# four piano notes, one second
python3 make_midi.py tune.mid
