// Tokenizes .prk files with the editor grammar through vscode-textmate, the engine
// the editor itself uses:
//   node tokenize.js GRAMMAR SCRIPT_FOLDER...
// 1. Every .prk below the folders is read as the loader reads it (UTF-8 when valid
//    and multi-byte, Shift_JIS otherwise) and tokenized; a script the loader accepts
//    must leave no string, embedding or comment block open at its end.
// 2. Lines covering every construct are checked token by token.
// Prints "N passed, N failed" and exits 1 on any failure.
'use strict';
const fs = require('fs');
const path = require('path');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const [grammarPath, ...folders] = process.argv.slice(2);
let passed = 0, failed = 0;
function check(ok, what) {
    if (ok) { ++passed; return; }
    ++failed;
    console.log('FAILED: ' + what);
}

function decode(bytes) {
    const multiByte = bytes.some((b) => b >= 0x80);
    if (multiByte) {
        try { return new TextDecoder('utf-8', { fatal: true, ignoreBOM: false }).decode(bytes); } catch (e) { /* Shift_JIS */ }
    }
    return new TextDecoder('shift_jis').decode(bytes);
}

function scriptsBelow(dir) {
    const out = [];
    for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
        const p = path.join(dir, e.name);
        if (e.isDirectory()) out.push(...scriptsBelow(p));
        else if (e.name.endsWith('.prk')) out.push(p);
    }
    return out.sort();
}

// The loader refuses a script whose strings or comment blocks are unbalanced; the
// expected error output of such a script test says so.
function loaderRefuses(prk) {
    const err = prk.replace(/\.prk$/, '.err');
    return fs.existsSync(err) && /対応していません/.test(fs.readFileSync(err, 'utf8'));
}

function tokenizeText(grammar, text) {
    let stack = vsctm.INITIAL;
    const lines = [];
    for (const line of text.split(/\r\n|\r|\n/)) {
        const r = grammar.tokenizeLine(line, stack);
        lines.push({ line, tokens: r.tokens });
        stack = r.ruleStack;
    }
    return { lines, atRoot: stack.depth === 1 };
}

// The scopes of the token that holds character `index` of the line.
function scopesAt(tokenized, index) {
    for (const t of tokenized.tokens)
        if (t.startIndex <= index && index < t.endIndex) return t.scopes;
    return [];
}

async function main() {
    const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm')).buffer;
    await oniguruma.loadWASM(wasm);
    const registry = new vsctm.Registry({
        onigLib: Promise.resolve({
            createOnigScanner: (p) => new oniguruma.OnigScanner(p),
            createOnigString: (s) => new oniguruma.OnigString(s),
        }),
        loadGrammar: async () => vsctm.parseRawGrammar(fs.readFileSync(grammarPath, 'utf8'), grammarPath),
    });
    const grammar = await registry.loadGrammar('source.porukana');
    check(grammar !== null, 'grammar loads');

    // 1. Every script.
    let scripts = 0;
    for (const folder of folders) {
        for (const prk of scriptsBelow(folder)) {
            ++scripts;
            let result;
            try {
                result = tokenizeText(grammar, decode(fs.readFileSync(prk)));
            } catch (e) {
                check(false, `${prk}: ${e}`);
                continue;
            }
            if (!loaderRefuses(prk)) check(result.atRoot, `${prk}: ends inside a string or comment block`);
        }
    }
    check(scripts >= 20, `only ${scripts} scripts found`);

    // 2. Constructs, each as [line, the text looked at, the scope it must have,
    //    the scope it must not have].
    const cases = [
        ['「こんにちは」と、表示する。', 'こんにちは', 'string.quoted.double'],
        ['「こんにちは」と、表示する。', 'と', 'keyword.other.particle'],
        ['「こんにちは」と、表示する。', '表示', 'support.function.builtin'],
        ['「こんにちは」と、表示する。', '。', 'punctuation.separator'],
        ['"a\'b"を、表示', 'b', 'string.quoted.double', 'comment'],
        ['「合計は{A+1}円」を、表示', 'A', 'meta.embedded.expression'],
        ['「合計は{A+1}円」を、表示', '1', 'constant.numeric'],
        ['「合計は{A+1}円」を、表示', '円', 'string.quoted.double', 'meta.embedded'],
        ['「合計は｛文字数(B)｝円」', '文字数', 'support.function.builtin'],
        ['「\\{A}」', 'A', 'string.quoted.double', 'meta.embedded'],
        ['「\\n」', '\\n', 'constant.character.escape'],
        ['『生の{A}』を、表示', 'A', 'string.quoted.other', 'meta.embedded'],
        ['『a``b』', '``', 'constant.character.escape'],
        ['A=3 ※ 三を入れる', '三を', 'comment.line'],
        ['A=3 \' 三を入れる', '三を', 'comment.line'],
        ['A=3 // 三を入れる', '三を', 'comment.line'],
        ['A=3 ／／ 三を入れる', '三を', 'comment.line'],
        ['{ 表示 }「x」を、表示', '表示', 'comment.block'],
        ['{ 表示 }「x」を、表示', 'x', 'string.quoted.double'],
        ['*追加処理', '追加処理', 'entity.name.label'],
        ['  ＊追加処理', '追加処理', 'entity.name.label'],
        ['A=B*C', 'C', null, 'entity.name.label'],
        ['A=3.14', '3.14', 'constant.numeric'],
        ['A=$FF', '$FF', 'constant.numeric'],
        ['A=１２', '１２', 'constant.numeric'],
        ['10回(', '回', 'keyword.control'],
        ['回数を、表示', '回数', 'constant.language'],
        ['もし、Aが5ならば', 'もし', 'keyword.control'],
        ['もし、Aが5ならば', 'ならば', 'keyword.control'],
        ['もし、Aが5ならば', 'が', 'keyword.other.particle'],
        ['表示出力先=「a.txt」', '表示出力先', 'variable.language'],
        ['文字サイズ=16', '文字サイズ', 'variable.language'],
        ['部品の、テキストは、「押す」', 'は', 'keyword.other.particle'],
        ['(20,50)から(420,260)へ、四角形', 'から', 'keyword.other.particle'],
        ['(20,50)から(420,260)へ、四角形', '四角形', 'support.function.builtin'],
        ['A=B&C', '&', 'keyword.operator'],
        ['もし、A≧3ならば', '≧', 'keyword.operator'],
    ];
    for (const [line, text, want, wantNot] of cases) {
        const index = line.indexOf(text);
        const scopes = scopesAt(tokenizeText(grammar, line).lines[0], index).join(' ');
        const has = (s) => scopes.split(' ').some((x) => x === `${s}.porukana` || x.startsWith(`${s}.`));
        if (want) check(has(want), `"${text}" in ${line}: ${want} expected, got ${scopes}`);
        if (wantNot) check(!has(wantNot), `"${text}" in ${line}: not ${wantNot}, got ${scopes}`);
    }

    // Strings and comment blocks run over lines.
    const multi = tokenizeText(grammar, '「一行目\n二行目」を、表示\n{説明\n表示}\n「x」を、表示');
    check(scopesAt(multi.lines[1], 0).includes('string.quoted.double.porukana'), 'a string runs over a line break');
    check(scopesAt(multi.lines[1], 6).includes('support.function.builtin.porukana'), 'the string ends on the next line');
    check(scopesAt(multi.lines[3], 0).includes('comment.block.porukana'), 'a comment block runs over a line break');
    check(scopesAt(multi.lines[4], 1).includes('string.quoted.double.porukana') && multi.atRoot, 'the block ends');

    console.log(`scripts tokenized: ${scripts}`);
    console.log(`${passed} passed, ${failed} failed`);
    process.exit(failed ? 1 : 0);
}

main().catch((e) => { console.log('FAILED: ' + (e.stack || e)); process.exit(1); });
