#!/usr/bin/env bash
# Sound through the real audio stack: a private PulseAudio server with a null sink,
# both executables playing WAV, MP3, OGG, MP4 and MIDI files into it, and a recorder
# on the sink's monitor that must hear each of them. The console must stay alive
# until the sound is over and write nothing to standard error.
#
#   playback.sh BIN_DIR      (exit 0 pass, 77 when no sound server can be started)
set -uo pipefail

bin=$(cd "${1:?usage: playback.sh BIN_DIR}" && pwd)
src=${PORUKANA_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
for tool in pulseaudio pactl pacat parec python3 iconv; do
  if ! command -v "$tool" > /dev/null; then
    echo "skipped: $tool is not installed (pulseaudio, pulseaudio-utils)"
    exit 77
  fi
done

tmp=$(mktemp -d /tmp/poru-sound-XXXXXX)
server_pid=
recorder_pid=
keeper_pid=
cleanup() {
  [ -n "$recorder_pid" ] && kill "$recorder_pid" 2> /dev/null
  [ -n "$keeper_pid" ] && kill "$keeper_pid" 2> /dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null && wait "$server_pid" 2> /dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# A server of our own: nothing of the machine's sound setup is used or changed.
mkdir -p "$tmp/run" "$tmp/home"
chmod 700 "$tmp/run"
export XDG_RUNTIME_DIR=$tmp/run HOME=$tmp/home PULSE_RUNTIME_PATH=$tmp/run/pulse PULSE_SINK=poru
unset PULSE_SERVER
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  --load="module-null-sink sink_name=poru rate=44100" --load=module-native-protocol-unix \
  --log-target=file:"$tmp/pulse.log" 2> /dev/null &
server_pid=$!
for _ in $(seq 50); do
  pactl info > /dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info > /dev/null 2>&1; then
  echo "skipped: a PulseAudio server could not be started here"
  tail -5 "$tmp/pulse.log" 2> /dev/null
  exit 77
fi
pactl set-default-sink poru
# An idle null sink renders in blocks of up to two seconds, so a new stream waits up to
# that long for its first read, and a player that keeps time by the system clock drops
# what it thinks is late meanwhile: a one-second sound is then cut short or lost. A
# stream of silence with a short latency keeps the sink rendering in small blocks, as a
# sound card does; it takes up to one old block to get going.
pacat --playback --latency-msec=20 -d poru --raw --format=s16le --rate=44100 --channels=1 < /dev/zero 2> /dev/null &
keeper_pid=$!
sleep 2.2

cp "$src"/tests/media/*.wav "$src"/tests/media/*.mp3 "$src"/tests/media/*.ogg "$src"/tests/media/*.mp4 \
  "$src"/tests/media/*.mid "$tmp/"

# rms FILE: the root mean square of 16-bit mono samples.
rms() {
  python3 -c '
import math, struct, sys
d = open(sys.argv[1], "rb").read()
n = len(d) // 2
s = struct.unpack("<%dh" % n, d[:2 * n])
print(int(math.sqrt(sum(x * x for x in s) / n)) if n else 0)' "$1"
}

failures=0
# play HOST FILE SCRIPT: runs the script (UTF-8) in the host while recording.
play() {
  local host=$1 file=$2 script=$3 least=800 loud=3000
  # chime.wav lasts half a second, the other sounds a second each. A sine at half
  # volume over the whole recording is far above 3000; a sound cut to a fraction of
  # itself is not. The synthesiser plays much more quietly.
  [ "$file" = chime.wav ] && least=400
  case $file in *.mid | mci) loud=50 ;; esac
  printf '%s\n' "$script" | iconv -f UTF-8 -t CP932 > "$tmp/play.prk"
  parec -d poru.monitor --format=s16le --channels=1 --rate=8000 --raw > "$tmp/rec.raw" 2> /dev/null &
  recorder_pid=$!
  sleep 0.3
  local start end code
  start=$(date +%s%N)
  if [ "$host" = cli ]; then
    (cd "$tmp" && timeout 30 "$bin/porukana-cli" play.prk > "$tmp/out" 2> "$tmp/err")
  else
    (cd "$tmp" && QT_QPA_PLATFORM=offscreen timeout 30 "$bin/porukana" play.prk > "$tmp/out" 2> "$tmp/err")
  fi
  code=$?
  end=$(date +%s%N)
  sleep 0.3
  kill "$recorder_pid" 2> /dev/null
  wait "$recorder_pid" 2> /dev/null
  recorder_pid=
  local ms=$(((end - start) / 1000000)) level
  level=$(rms "$tmp/rec.raw")
  echo "$host $file: exit $code, ${ms} ms, level $level, output: $(tr '\n' ' ' < "$tmp/out")"
  if [ "$code" -ne 0 ] || [ "$level" -lt "$loud" ]; then
    echo "FAIL: $host $file was not heard (exit $code, level $level)"
    cat "$tmp/err"
    failures=$((failures + 1))
  fi
  if [ "$host" = cli ]; then
    if [ -s "$tmp/err" ]; then
      echo "FAIL: cli $file wrote to standard error:"
      cat "$tmp/err"
      failures=$((failures + 1))
    fi
    if [ "$ms" -lt "$least" ]; then
      echo "FAIL: cli $file ended before its sound was over ($ms ms, at least $least ms)"
      failures=$((failures + 1))
    fi
  fi
}

# The console ends when the sound is over. The compressed files play twice: a sound
# lost now and then must show.
for f in chime.wav tone.mp3 tone.ogg tone.mp4 tune.mid tone.mp3 tone.ogg tone.mp4; do
  play cli "$f" "「$f」を、演奏する。
演奏状態。それを、表示する。"
done
# The window plays until the script closes it; the sound repeats, so that it is heard
# even when a busy machine takes its time to start it.
for f in chime.wav tone.mp3 tune.mid; do
  play gui "$f" "「$f」を、繰り返し演奏する。
3秒、待つ。
終わり。"
done
# An MCI device of the console.
play cli mci "「open tune.mid alias m」を、MCI送信。
「play m wait」を、MCI送信。
「status m position」を、MCI送信。それを、表示する。"
grep -qx 1000 "$tmp/out" || { echo "FAIL: status position after play wait"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "all sounds heard" || exit 1
