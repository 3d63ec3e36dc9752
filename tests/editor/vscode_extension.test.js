// The VS Code extension's own parts, without VS Code: the encoding detection that
// decides how a .prk file is opened, its client talking to the real porukana-lsp,
// and the .vsix that `make` packs.
//   node vscode_extension.test.js PORUKANA_LSP
'use strict';
const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const ext = path.join(__dirname, '..', '..', 'editors', 'vscode');
const { detectEncoding, classifyUtf8 } = require(path.join(ext, 'encoding.js'));
const { LspClient } = require(path.join(ext, 'lsp_client.js'));
const server = process.argv[2];

// Shift_JIS of 「あ」と、表示する。 (what iconv -t CP932 gives).
const sjis = Buffer.from([0x81, 0x75, 0x82, 0xa0, 0x81, 0x76, 0x82, 0xc6, 0x81, 0x41, 0x95, 0x5c, 0x8e, 0xa6,
    0x82, 0xb7, 0x82, 0xe9, 0x81, 0x42]);

function encodings() {
    assert.strictEqual(detectEncoding(Buffer.from('「あ」と、表示する。', 'utf8')), 'utf8');
    assert.strictEqual(detectEncoding(sjis), 'shiftjis');
    assert.strictEqual(detectEncoding(Buffer.from('\ufeffA=1', 'utf8')), 'utf8bom');
    assert.strictEqual(detectEncoding(Buffer.from('A=1\r\n', 'ascii')), null);
    // Strict UTF-8: overlong forms, surrogates and cut sequences are not UTF-8.
    assert.strictEqual(classifyUtf8(Buffer.from([0xC0, 0xAF])), 'invalid');
    assert.strictEqual(classifyUtf8(Buffer.from([0xED, 0xA0, 0x80])), 'invalid');
    assert.strictEqual(classifyUtf8(Buffer.from([0xE3, 0x81])), 'invalid');
    assert.strictEqual(classifyUtf8(Buffer.from('𠮷', 'utf8')), 'multibyte');
}

async function conversation() {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'porukana-vscode-'));
    const file = path.join(dir, 'a.prk');
    fs.writeFileSync(file, sjis);
    const uri = 'file://' + file;
    const notes = [];
    const client = new LspClient(server, [], (method, params) => notes.push({ method, params }));
    await client.started;
    const init = await client.request('initialize', { processId: process.pid, capabilities: {} });
    assert.strictEqual(init.capabilities.hoverProvider, true);
    client.notify('textDocument/didOpen', { textDocument: { uri, languageId: 'porukana', version: 1,
        text: '「あ」と、表示する。\n*終\n' } });
    const hover = await client.request('textDocument/hover', { textDocument: { uri },
        position: { line: 0, character: 6 } });
    assert.ok(hover && hover.contents.value.startsWith('表示'), JSON.stringify(hover));
    const encoding = notes.find((n) => n.method === 'porukana/encoding');
    assert.ok(encoding, 'no encoding notice');
    assert.strictEqual(encoding.params.encoding, 'shiftjis');
    assert.ok(notes.some((n) => n.method === 'textDocument/publishDiagnostics'));
    const symbols = await client.request('textDocument/documentSymbol', { textDocument: { uri } });
    assert.deepStrictEqual(symbols.map((s) => s.name), ['終']);
    const code = await client.stop();
    assert.strictEqual(code, 0);
    fs.rmSync(dir, { recursive: true });
}

function vsix() {
    const out = path.join(os.tmpdir(), `porukana-test-${process.pid}.vsix`);
    execFileSync('node', [path.join(ext, 'pack-vsix.js'), out]);
    const zip = fs.readFileSync(out);
    fs.unlinkSync(out);
    assert.strictEqual(zip.readUInt32LE(0), 0x04034b50);
    const end = zip.length - 22;
    assert.strictEqual(zip.readUInt32LE(end), 0x06054b50);
    // Every file the manifest's "main" and the grammar need is inside.
    const names = [];
    let at = zip.readUInt32LE(end + 16);
    for (let i = 0; i < zip.readUInt16LE(end + 10); i++) {
        const n = zip.readUInt16LE(at + 28);
        names.push(zip.subarray(at + 46, at + 46 + n).toString('utf8'));
        at += 46 + n + zip.readUInt16LE(at + 30) + zip.readUInt16LE(at + 32);
    }
    for (const f of ['extension.vsixmanifest', '[Content_Types].xml', 'extension/package.json',
        'extension/extension.js', 'extension/encoding.js', 'extension/lsp_client.js',
        'extension/syntaxes/porukana.tmLanguage.json']) {
        assert.ok(names.includes(f), `${f} missing from the .vsix (${names.join(', ')})`);
    }
}

(async () => {
    encodings();
    await conversation();
    vsix();
    console.log('vscode extension: encodings, server conversation and .vsix ok');
})().catch((e) => {
    console.error(e);
    process.exit(1);
});
