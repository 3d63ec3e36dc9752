// A small client of porukana-lsp: starts the server, frames JSON-RPC messages with
// Content-Length headers over its standard input and output, matches replies to
// requests and hands notifications to a callback. No dependencies beyond Node.
'use strict';
const { spawn } = require('child_process');

class LspClient {
    // onNotification(method, params) receives the server's notifications.
    constructor(command, args, onNotification) {
        this.nextId = 1;
        this.pending = new Map();
        this.buffer = Buffer.alloc(0);
        this.onNotification = onNotification || (() => {});
        this.process = spawn(command, args || [], { stdio: ['pipe', 'pipe', 'pipe'] });
        this.exited = new Promise((resolve) => {
            this.process.on('exit', (code) => {
                for (const { reject } of this.pending.values()) reject(new Error('porukana-lsp ended'));
                this.pending.clear();
                resolve(code);
            });
        });
        this.started = new Promise((resolve, reject) => {
            this.process.on('spawn', resolve);
            this.process.on('error', reject);
        });
        this.process.stdout.on('data', (chunk) => this.receive(chunk));
        this.process.stderr.on('data', () => {});
    }

    receive(chunk) {
        this.buffer = Buffer.concat([this.buffer, chunk]);
        for (;;) {
            const end = this.buffer.indexOf('\r\n\r\n');
            if (end < 0) return;
            const header = this.buffer.subarray(0, end).toString('ascii');
            const m = /Content-Length:\s*(\d+)/i.exec(header);
            const length = m ? Number(m[1]) : 0;
            if (this.buffer.length < end + 4 + length) return;
            const body = this.buffer.subarray(end + 4, end + 4 + length).toString('utf8');
            this.buffer = this.buffer.subarray(end + 4 + length);
            let message;
            try { message = JSON.parse(body); } catch (e) { continue; }
            if (message.id !== undefined && message.id !== null && !message.method) {
                const waiting = this.pending.get(message.id);
                if (!waiting) continue;
                this.pending.delete(message.id);
                if (message.error) waiting.reject(new Error(message.error.message));
                else waiting.resolve(message.result);
            } else if (message.method) {
                this.onNotification(message.method, message.params);
            }
        }
    }

    send(message) {
        const body = Buffer.from(JSON.stringify(Object.assign({ jsonrpc: '2.0' }, message)), 'utf8');
        this.process.stdin.write(`Content-Length: ${body.length}\r\n\r\n`);
        this.process.stdin.write(body);
    }

    request(method, params) {
        const id = this.nextId++;
        return new Promise((resolve, reject) => {
            this.pending.set(id, { resolve, reject });
            this.send({ id, method, params });
        });
    }

    notify(method, params) {
        this.send({ method, params });
    }

    async stop() {
        try {
            await this.request('shutdown', null);
            this.notify('exit', null);
        } catch (e) { /* already gone */ }
        this.process.stdin.end();
        return this.exited;
    }
}

module.exports = { LspClient };
