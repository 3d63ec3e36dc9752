#!/usr/bin/env bash
# The editor support in editors/vscode/: the grammar in the tree is the one
# porukana-grammar writes from the registry table, the extension's manifest names
# files that exist, its problem matcher reads the run-time's real error lines, and
# vscode-textmate (from npm, installed once into the build tree) tokenizes the
# examples and the script tests with the grammar (tests/editor/tokenize.js).
#   grammar.sh BIN_FOLDER
set -u
bin=$(cd "${1:?usage: grammar.sh BIN_FOLDER}" && pwd)
build=$(dirname "$bin")
src=${PORUKANA_SOURCE_DIR:?}
ext=$src/editors/vscode
grammar=$ext/syntaxes/porukana.tmLanguage.json
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {   # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then echo "FAILED: $what"; fail=1; fi
}

"$bin/porukana-grammar" > "$work/grammar.json"
check "the grammar in the tree is the generated one (run: make -C build grammar)" \
    cmp -s "$work/grammar.json" "$grammar"
if ! command -v node > /dev/null; then
    echo "SKIP: node is not installed (nodejs, npm): the grammar was compared only"
    exit $((fail ? 1 : 77))
fi

# The manifest and what it points at.
check "extension manifest" node -e '
const fs = require("fs"), path = require("path");
const dir = process.argv[1];
const pkg = JSON.parse(fs.readFileSync(path.join(dir, "package.json"), "utf8"));
const c = pkg.contributes;
const ok = [
  c.languages[0].extensions.includes(".prk"),
  fs.existsSync(path.join(dir, c.languages[0].configuration)),
  JSON.parse(fs.readFileSync(path.join(dir, c.languages[0].configuration), "utf8")).comments !== undefined,
  c.grammars[0].scopeName === JSON.parse(fs.readFileSync(path.join(dir, c.grammars[0].path), "utf8")).scopeName,
  fs.existsSync(path.join(dir, pkg.main)),
  c.configurationDefaults["[porukana]"]["files.encoding"] === "shiftjis",
  c.commands.some((x) => x.command === "porukana.run"),
];
process.exit(ok.every(Boolean) ? 0 : 1);' "$ext"
check "extension code parses" node --check "$ext/extension.js"

# The problem matcher against the run-time's own error lines, from the script and
# from an included file.
printf '「部品」を、取り込む\n' | iconv -f UTF-8 -t CP932 > "$work/main.prk"
printf '「一行目」と、表示\n未定義の命令する\n' | iconv -f UTF-8 -t CP932 > "$work/部品"
(cd "$work" && "$bin/porukana-cli" main.prk > /dev/null 2> "$work/err.txt")
check "problem matcher reads the error line ($(cat "$work/err.txt"))" node -e '
const fs = require("fs");
const m = JSON.parse(fs.readFileSync(process.argv[1], "utf8")).contributes.problemMatchers[0].pattern;
const line = fs.readFileSync(process.argv[2], "utf8").split("\n")[0];
const r = new RegExp(m.regexp).exec(line);
process.exit(r && r[m.file] === "部品" && r[m.line] === "2" && r[m.message].includes("未定義の命令する") ? 0 : 1);' \
    "$ext/package.json" "$work/err.txt"

# vscode-textmate and its regular expression engine, pinned by tests/editor's lock.
modules=$build/editor-test
if ! cmp -s "$src/tests/editor/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules" ]; then
    rm -rf "$modules" && mkdir -p "$modules"
    cp "$src/tests/editor/package.json" "$src/tests/editor/package-lock.json" "$modules/"
    if ! (cd "$modules" && timeout 180 npm ci --no-audit --no-fund > "$work/npm.log" 2>&1); then
        rm -rf "$modules"
        echo "SKIP: vscode-textmate could not be installed from npm ($(tail -2 "$work/npm.log" | tr '\n' ' ')); the grammar and the manifest were checked only"
        exit $((fail ? 1 : 77))
    fi
fi
NODE_PATH=$modules/node_modules node "$src/tests/editor/tokenize.js" "$grammar" "$src/examples" "$src/tests/scripts"
check "tokenizing with vscode-textmate" test $? = 0
exit $fail
