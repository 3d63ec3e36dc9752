// Runs the .prk file of the active editor through the run-time as a task, so that
// the error lines it writes ("[エラー] FILE(N行目): MESSAGE") become problems
// through the $porukana problem matcher; opens every .prk file in the encoding it
// really has (UTF-8 or Shift_JIS, so that saving keeps it); and talks to the
// language server porukana-lsp for diagnostics, completion, hover, go to definition
// and the outline of labels.
'use strict';
const fs = require('fs');
const path = require('path');
const vscode = require('vscode');
const { detectEncoding } = require('./encoding');
const { LspClient } = require('./lsp_client');

function makeTask(file, window) {
    const config = vscode.workspace.getConfiguration('porukana');
    const program = window ? config.get('windowPath', 'porukana') : config.get('cliPath', 'porukana-cli');
    // The run-time names files as they were given, so it runs in the script's folder.
    const execution = new vscode.ProcessExecution(program, [path.basename(file)], { cwd: path.dirname(file) });
    const task = new vscode.Task({ type: 'porukana', file, window }, vscode.TaskScope.Workspace,
        path.basename(file), 'porukana', execution, ['$porukana']);
    task.presentationOptions = { reveal: vscode.TaskRevealKind.Always, clear: true };
    return task;
}

async function runActive(window) {
    const editor = vscode.window.activeTextEditor;
    if (!editor || editor.document.languageId !== 'porukana') {
        vscode.window.showErrorMessage('ぽるかなのファイル (.prk) を開いてから実行してください。');
        return;
    }
    if (editor.document.isUntitled) {
        vscode.window.showErrorMessage('ファイルに保存してから実行してください。');
        return;
    }
    if (!(await editor.document.save()) && editor.document.isDirty) return;
    await vscode.tasks.executeTask(makeTask(editor.document.fileName, window));
}

// --- encodings ---

// Opens the document again in the encoding its bytes have, when the editor read it
// in another one (VS Code versions that can reopen a document in an encoding).
async function fixEncoding(document) {
    if (document.languageId !== 'porukana' || document.uri.scheme !== 'file' || document.isDirty) return;
    if (typeof document.encoding !== 'string') return;
    let bytes;
    try { bytes = fs.readFileSync(document.uri.fsPath); } catch (e) { return; }
    const wanted = detectEncoding(bytes);
    if (!wanted || wanted === document.encoding) return;
    try {
        const reopened = await vscode.workspace.openTextDocument(document.uri, { encoding: wanted });
        const shown = vscode.window.visibleTextEditors.some((e) => e.document === document);
        if (shown) await vscode.window.showTextDocument(reopened, { preview: false });
    } catch (e) {
        vscode.window.showWarningMessage(`${path.basename(document.fileName)} は ${wanted} のファイルです。` +
            '右下の文字コードから「エンコード付きで再度開く」を選んでください。');
    }
}

// --- the language server ---

const LSP_KIND = { 3: 'Function', 6: 'Variable', 14: 'Keyword', 18: 'Reference', 21: 'Constant' };

function toRange(r) {
    return new vscode.Range(r.start.line, r.start.character, r.end.line, r.end.character);
}

function startServer(context) {
    const config = vscode.workspace.getConfiguration('porukana');
    const command = config.get('serverPath', 'porukana-lsp');
    const diagnostics = vscode.languages.createDiagnosticCollection('porukana');
    context.subscriptions.push(diagnostics);
    const client = new LspClient(command, [], (method, params) => {
        if (method === 'textDocument/publishDiagnostics') {
            diagnostics.set(vscode.Uri.parse(params.uri), params.diagnostics.map((d) => {
                const item = new vscode.Diagnostic(toRange(d.range), d.message,
                    d.severity === 1 ? vscode.DiagnosticSeverity.Error : vscode.DiagnosticSeverity.Warning);
                item.source = 'porukana';
                return item;
            }));
        }
    });
    client.started.then(() => {}, () => {
        vscode.window.showWarningMessage(`言語サーバー ${command} を起動できません。` +
            '補完・説明・診断なしで続けます（設定 porukana.serverPath）。');
    });
    const textOf = (doc) => ({ uri: doc.uri.toString() });
    const open = (doc) => {
        if (doc.languageId !== 'porukana') return;
        client.notify('textDocument/didOpen', { textDocument: {
            uri: doc.uri.toString(), languageId: 'porukana', version: doc.version, text: doc.getText() } });
    };
    vscode.workspace.textDocuments.forEach(open);
    context.subscriptions.push(
        vscode.workspace.onDidOpenTextDocument(open),
        vscode.workspace.onDidChangeTextDocument((e) => {
            if (e.document.languageId !== 'porukana') return;
            client.notify('textDocument/didChange', { textDocument: { uri: e.document.uri.toString(),
                version: e.document.version }, contentChanges: [{ text: e.document.getText() }] });
        }),
        vscode.workspace.onDidCloseTextDocument((doc) => {
            if (doc.languageId === 'porukana') client.notify('textDocument/didClose', { textDocument: textOf(doc) });
        }),
        vscode.languages.registerCompletionItemProvider('porukana', {
            async provideCompletionItems(doc, position) {
                const items = await client.request('textDocument/completion',
                    { textDocument: textOf(doc), position });
                return (items || []).map((i) => {
                    const item = new vscode.CompletionItem(i.label,
                        vscode.CompletionItemKind[LSP_KIND[i.kind] || 'Text']);
                    item.detail = i.detail;
                    if (i.insertText) item.insertText = new vscode.SnippetString(i.insertText);
                    return item;
                });
            },
        }),
        vscode.languages.registerHoverProvider('porukana', {
            async provideHover(doc, position) {
                const r = await client.request('textDocument/hover', { textDocument: textOf(doc), position });
                if (!r) return undefined;
                const text = new vscode.MarkdownString();
                text.appendCodeblock(r.contents.value, 'text');
                return new vscode.Hover(text, r.range ? toRange(r.range) : undefined);
            },
        }),
        vscode.languages.registerDefinitionProvider('porukana', {
            async provideDefinition(doc, position) {
                const r = await client.request('textDocument/definition', { textDocument: textOf(doc), position });
                return r ? new vscode.Location(vscode.Uri.parse(r.uri), toRange(r.range)) : undefined;
            },
        }),
        vscode.languages.registerDocumentSymbolProvider('porukana', {
            async provideDocumentSymbols(doc) {
                const r = await client.request('textDocument/documentSymbol', { textDocument: textOf(doc) });
                return (r || []).map((s) => new vscode.DocumentSymbol(s.name, '', vscode.SymbolKind.Function,
                    toRange(s.range), toRange(s.selectionRange)));
            },
        }),
        { dispose: () => client.stop() });
    client.initialized = client.request('initialize', { processId: process.pid, capabilities: {} })
        .then(() => client.notify('initialized', {}), () => {});
    return client;
}

let server;

function activate(context) {
    vscode.workspace.textDocuments.forEach(fixEncoding);
    context.subscriptions.push(vscode.workspace.onDidOpenTextDocument(fixEncoding));
    server = startServer(context);
    context.subscriptions.push(
        vscode.commands.registerCommand('porukana.run', () => runActive(false)),
        vscode.commands.registerCommand('porukana.runWindow', () => runActive(true)),
        vscode.tasks.registerTaskProvider('porukana', {
            provideTasks() {
                const editor = vscode.window.activeTextEditor;
                if (!editor || editor.document.languageId !== 'porukana' || editor.document.isUntitled) return [];
                return [makeTask(editor.document.fileName, false)];
            },
            resolveTask(task) {
                const file = task.definition.file;
                return file ? makeTask(file, !!task.definition.window) : undefined;
            },
        }));
}

function deactivate() {
    return server ? server.stop() : undefined;
}

module.exports = { activate, deactivate };
