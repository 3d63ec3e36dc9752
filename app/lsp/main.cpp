// porukana-lsp: the language server of .prk files over standard input and output
// (JSON-RPC messages with Content-Length headers). It answers diagnostics from the
// checker, completion, hover with the reference entry, go to a label's definition,
// the labels as document symbols, and the encoding each file has on disk.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "lsp/server.h"

namespace {

constexpr unsigned long long kMaxMessageBytes = 256ull << 20;

// One framed message; false at the end of input.
bool ReadMessage(std::string& body)
{
    size_t length = 0;
    bool haveLength = false;
    std::string header;
    while (std::getline(std::cin, header)) {
        if (!header.empty() && header.back() == '\r')
            header.pop_back();
        if (header.empty()) {
            if (!haveLength)
                continue;   // a stray blank line before a header
            body.assign(length, '\0');
            std::cin.read(body.data(), static_cast<std::streamsize>(length));
            return static_cast<size_t>(std::cin.gcount()) == length;
        }
        const std::string key = "Content-Length:";
        if (header.compare(0, key.size(), key) == 0) {
            // A length that is no number, or beyond what a message can be, ends the
            // conversation: the stream cannot be followed after it.
            const std::string digits = header.substr(key.size());
            char* end = nullptr;
            const unsigned long long n = std::strtoull(digits.c_str(), &end, 10);
            if (end == digits.c_str() || n > kMaxMessageBytes) {
                std::fprintf(stderr, "porukana-lsp: bad header \"%s\"\n", header.c_str());
                return false;
            }
            length = static_cast<size_t>(n);
            haveLength = true;
        }
    }
    return false;
}

void WriteMessage(const TJson& message)
{
    const std::string body = message.Dump();
    std::cout << "Content-Length: " << body.size() << "\r\n\r\n" << body;
    std::cout.flush();
}

}   // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::printf("usage: porukana-lsp [--stdio]\n"
                        "The language server of ぽるかな (.prk) files: reads JSON-RPC messages on standard input\n"
                        "and answers on standard output.\n");
            return 0;
        }
    }
    std::ios::sync_with_stdio(false);
    TLspServer server;
    std::string body;
    while (!server.Exited() && ReadMessage(body)) {
        TJson message;
        std::string error;
        if (!TJson::Parse(body, message, error)) {
            TJson reply = TJson::Object();
            reply["jsonrpc"] = "2.0";
            reply["id"] = TJson();
            reply["error"]["code"] = -32700;
            reply["error"]["message"] = "parse error: " + error;
            WriteMessage(reply);
            continue;
        }
        for (const TJson& out : server.Handle(message))
            WriteMessage(out);
    }
    return server.Exited() ? server.ExitStatus() : 1;
}
