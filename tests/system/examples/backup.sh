#!/usr/bin/env bash
# The backup example, three runs over one settings file: the first takes every
# matching file (the others are left out), the second finds nothing new, the third
# takes only the file written since. Each run's archive holds what that run chose,
# and the settings file keeps the time of the last run.
source "$PORUKANA_SOURCE_DIR/tests/system/net/_lib.sh" "$1"

SRC="$WORK/文書"
DEST="$WORK/保管"
mkdir -p "$SRC/sub" "$DEST"
echo a > "$SRC/a.txt"
echo b > "$SRC/sub/b.csv"
echo c > "$SRC/c.log"
echo d > "$SRC/sub/深い.txt"
INI="$WORK/backup.ini"
printf '[設定]\r\n元=%s\r\n先=%s\r\n対象=*.txt;*.csv\r\n[記録]\r\n前回=2000/01/01 00:00:00\r\n' "$SRC" "$DEST" |
    iconv -t CP932 > "$INI"

backup() {
    (cd "$WORK" && timeout 60 "$CLI" -security low "$PORUKANA_SOURCE_DIR/examples/backup.prk" "$INI" \
        < /dev/null > run.out 2> run.err)
    RC=$?
    # the file times and the archive's name vary from run to run
    OUT=$(sed -E 's/\([0-9/]{10} [0-9:]{8}\)/(日時)/; s/backup_[0-9]{8}_[0-9]{6}\.zip/backup_(日時).zip/' "$WORK/run.out")
    ERR=$(cat "$WORK/run.err")
}
archives() {
    ls "$DEST" | grep -c '^backup_.*\.zip$'
}
newest_names() {
    "$PY" -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' \
        "$DEST/$(ls "$DEST" | grep '^backup_' | sort | tail -1)"
}
last_run() {
    iconv -f CP932 -t UTF-8 "$INI" | tr -d '\r' | sed -n 's/^前回=//p'
}

backup
expect_eq "$RC|$OUT" "0|  a.txt (日時)
  sub/深い.txt (日時)
  sub/b.csv (日時)
3件 (6バイト) を $DEST/backup_(日時).zip にまとめました。" "first run"
expect_eq "$(newest_names)" "a.txt
sub/b.csv
sub/深い.txt" "first archive"
first=$(last_run)
expect_true "the time of the run is kept" test -n "$first"

sleep 1.1   # the next archive gets a later name
backup
expect_eq "$RC|$OUT" "0|前回(日時)から変わったファイルはありません。" "nothing new"
expect_eq "$(grep -o '前回([^)]*)' "$WORK/run.out")" "前回($first)" "the last run's time is the one read"
expect_eq "$(archives)" "1" "no archive without changes"

sleep 2.1   # file times have a resolution of two seconds
echo more >> "$SRC/sub/b.csv"
backup
expect_eq "$RC|$OUT" "0|  sub/b.csv (日時)
1件 (7バイト) を $DEST/backup_(日時).zip にまとめました。" "only the changed file"
expect_eq "$(archives)" "2" "a new archive beside the first"
expect_eq "$(newest_names)" "b.csv" "the second archive holds the changed file"
finish
