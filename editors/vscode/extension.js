// Runs the .prk file of the active editor through the run-time as a task, so that
// the error lines it writes ("[エラー] FILE(N行目): MESSAGE") become problems
// through the $porukana problem matcher.
'use strict';
const path = require('path');
const vscode = require('vscode');

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

function activate(context) {
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

function deactivate() {}

module.exports = { activate, deactivate };
