#include "lsp/server.h"

#include <fstream>
#include <sstream>

#include "core/text.h"
#include "langsvc/diagnostics.h"
#include "langsvc/utf8.h"

namespace {

// LSP kinds.
constexpr int kCompletionFunction = 3;
constexpr int kCompletionVariable = 6;
constexpr int kCompletionKeyword = 14;
constexpr int kCompletionConstant = 21;
constexpr int kCompletionReference = 18;
constexpr int kSymbolFunction = 12;
constexpr int kSeverityError = 1;
constexpr int kSeverityWarning = 2;
constexpr int kErrorMethodNotFound = -32601;
constexpr int kErrorInvalidRequest = -32600;

TJson Position(const std::vector<std::string>& lines, int line, int column)
{
    TJson p = TJson::Object();
    p["line"] = line;
    p["character"] = line >= 0 && line < static_cast<int>(lines.size()) && column >= 0
                         ? static_cast<int>(langsvc::Utf16OfColumn(lines[line], static_cast<size_t>(column)))
                         : column;
    return p;
}

TJson Range(const std::vector<std::string>& lines, int line, int begin, int end)
{
    TJson r = TJson::Object();
    r["start"] = Position(lines, line, begin);
    r["end"] = Position(lines, line, end);
    return r;
}

// (line, column in characters) of an LSP position.
void FromPosition(const langsvc::TDocument& doc, const TJson& pos, int& line, int& column)
{
    line = pos["line"].AsInt();
    const int units = pos["character"].AsInt();
    column = line >= 0 && line < static_cast<int>(doc.Lines().size())
                 ? static_cast<int>(langsvc::ColumnOfUtf16(doc.Lines()[line], static_cast<size_t>(units)))
                 : units;
}

TJson Notification(const std::string& method, TJson params)
{
    TJson n = TJson::Object();
    n["jsonrpc"] = "2.0";
    n["method"] = method;
    n["params"] = std::move(params);
    return n;
}

}   // namespace

std::string PathOfUri(const std::string& uri)
{
    const std::string scheme = "file://";
    if (uri.compare(0, scheme.size(), scheme) != 0)
        return {};
    std::string out;
    for (size_t i = scheme.size(); i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && HexDigit(uri[i + 1]) >= 0 && HexDigit(uri[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(uri[i + 1]) * 16 + HexDigit(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

std::vector<TJson> TLspServer::Handle(const TJson& message)
{
    std::vector<TJson> out;
    const std::string method = message["method"].AsString();
    const TJson& params = message["params"];
    if (!message.Has("id")) {   // notifications
        if (method == "textDocument/didOpen") {
            Open(params["textDocument"]["uri"].AsString(), params["textDocument"]["text"].AsString(), out);
        } else if (method == "textDocument/didChange") {
            const TJson& changes = params["contentChanges"];
            if (changes.Type() == TJson::TType::Array && !changes.Items().empty())
                // full synchronisation: the last change holds the whole text
                Change(params["textDocument"]["uri"].AsString(), changes.Items().back()["text"].AsString(), out);
        } else if (method == "textDocument/didSave") {
            if (TOpenDocument* d = Find(params))
                out.push_back(Diagnostics(params["textDocument"]["uri"].AsString(), *d));
        } else if (method == "textDocument/didClose") {
            const std::string uri = params["textDocument"]["uri"].AsString();
            docs_.erase(uri);
            TJson p = TJson::Object();
            p["uri"] = uri;
            p["diagnostics"] = TJson::Array();
            out.push_back(Notification("textDocument/publishDiagnostics", p));
        } else if (method == "exit") {
            exited_ = true;
        }
        return out;
    }
    TJson reply = TJson::Object();
    reply["jsonrpc"] = "2.0";
    reply["id"] = message["id"];
    bool handled = true;
    if (shutdown_ && method != "exit") {
        reply["error"]["code"] = kErrorInvalidRequest;
        reply["error"]["message"] = "the server is shut down";
    } else {
        TJson result = Request(method, params, handled);
        if (handled) {
            reply["result"] = std::move(result);
        } else {
            reply["error"]["code"] = kErrorMethodNotFound;
            reply["error"]["message"] = "unknown method " + method;
        }
    }
    out.push_back(std::move(reply));
    return out;
}

TLspServer::TOpenDocument* TLspServer::Find(const TJson& params)
{
    const auto it = docs_.find(params["textDocument"]["uri"].AsString());
    return it == docs_.end() ? nullptr : &it->second;
}

TJson TLspServer::Request(const std::string& method, const TJson& params, bool& handled)
{
    if (method == "initialize") {
        TJson r = TJson::Object();
        TJson& caps = r["capabilities"];
        caps["textDocumentSync"] = 1;   // the whole text on every change
        caps["hoverProvider"] = true;
        caps["definitionProvider"] = true;
        caps["documentSymbolProvider"] = true;
        caps["completionProvider"]["resolveProvider"] = false;
        r["serverInfo"]["name"] = "porukana-lsp";
        return r;
    }
    if (method == "shutdown") {
        shutdown_ = true;
        return TJson();
    }
    // The encoding of a file on disk, for an editor that opens it: what the server
    // would detect ({"encoding": "utf8" | "utf8bom" | "shiftjis", "lineEnd": ...}).
    if (method == "porukana/detectEncoding") {
        const std::string path = PathOfUri(params["uri"].AsString());
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return TJson();
        std::stringstream bytes;
        bytes << in.rdbuf();
        const langsvc::TDecodedText d = langsvc::DecodeScript(bytes.str());
        TJson r = TJson::Object();
        r["encoding"] = langsvc::EncodingId(d.Encoding);
        r["lineEnd"] = langsvc::LineEndName(d.LineEnd);
        return r;
    }
    TOpenDocument* d = Find(params);
    if (method == "textDocument/hover") {
        if (!d)
            return TJson();
        int line = 0, column = 0, begin = 0, end = 0;
        FromPosition(d->Doc, params["position"], line, column);
        const std::string word = d->Doc.WordAt(line, column, &begin, &end);
        std::string help = langsvc::HelpFor(word);
        if (help.empty()) {
            if (const int target = d->Doc.DefinitionOf(line, column); target >= 0)
                help = "*" + word + "（" + std::to_string(target + 1) + "行目のラベル）";
        }
        if (help.empty())
            return TJson();
        TJson r = TJson::Object();
        r["contents"]["kind"] = "plaintext";
        r["contents"]["value"] = help;
        r["range"] = Range(d->Doc.Lines(), line, begin, end);
        return r;
    }
    if (method == "textDocument/completion") {
        TJson items = TJson::Array();
        if (!d)
            return items;
        int line = 0, column = 0;
        FromPosition(d->Doc, params["position"], line, column);
        for (const langsvc::TCandidate& c : langsvc::CompletionsAt(d->Doc, line, column)) {
            TJson item = TJson::Object();
            item["label"] = c.Label;
            int kind = kCompletionVariable;
            switch (c.Kind) {
            case langsvc::TCandidateKind::Command:
                kind = kCompletionFunction;
                break;
            case langsvc::TCandidateKind::Control:
                kind = kCompletionKeyword;
                break;
            case langsvc::TCandidateKind::Constant:
                kind = kCompletionConstant;
                break;
            case langsvc::TCandidateKind::Label:
                kind = kCompletionReference;
                break;
            case langsvc::TCandidateKind::Variable:
            case langsvc::TCandidateKind::ScriptWord:
                break;
            }
            item["kind"] = kind;
            if (!c.Detail.empty())
                item["detail"] = c.Detail;
            if (c.Snippet != c.Label) {
                item["insertText"] = c.Snippet;
                item["insertTextFormat"] = 2;   // snippet
            }
            items.Push(std::move(item));
        }
        return items;
    }
    if (method == "textDocument/definition") {
        if (!d)
            return TJson();
        int line = 0, column = 0;
        FromPosition(d->Doc, params["position"], line, column);
        const int target = d->Doc.DefinitionOf(line, column);
        if (target < 0)
            return TJson();
        TJson loc = TJson::Object();
        loc["uri"] = params["textDocument"]["uri"];
        loc["range"] = Range(d->Doc.Lines(), target, 0, static_cast<int>(langsvc::CharCount(d->Doc.Lines()[target])));
        return loc;
    }
    if (method == "textDocument/documentSymbol") {
        TJson symbols = TJson::Array();
        if (!d)
            return symbols;
        for (const langsvc::TLabel& l : d->Doc.Labels()) {
            TJson s = TJson::Object();
            s["name"] = l.Name;
            s["kind"] = kSymbolFunction;
            const TJson range =
                Range(d->Doc.Lines(), l.Line, 0, static_cast<int>(langsvc::CharCount(d->Doc.Lines()[l.Line])));
            s["range"] = range;
            s["selectionRange"] = range;
            symbols.Push(std::move(s));
        }
        return symbols;
    }
    handled = false;
    return TJson();
}

void TLspServer::Open(const std::string& uri, const std::string& text, std::vector<TJson>& out)
{
    TOpenDocument& d = docs_[uri];
    d.Path = PathOfUri(uri);
    // The encoding the file has on disk; a new file is UTF-8.
    std::ifstream in(d.Path, std::ios::binary);
    if (!d.Path.empty() && in) {
        std::stringstream bytes;
        bytes << in.rdbuf();
        const langsvc::TDecodedText decoded = langsvc::DecodeScript(bytes.str());
        d.Encoding = decoded.Encoding;
        d.LineEnd = decoded.LineEnd;
    }
    out.push_back(EncodingNotice(uri, d));
    Change(uri, text, out);
}

void TLspServer::Change(const std::string& uri, const std::string& text, std::vector<TJson>& out)
{
    const auto it = docs_.find(uri);
    if (it == docs_.end())
        return;
    TOpenDocument& d = it->second;
    d.Text = text;
    std::string lf = text;
    std::erase(lf, '\r');
    d.Doc.SetText(lf);
    out.push_back(Diagnostics(uri, d));
}

TJson TLspServer::Diagnostics(const std::string& uri, const TOpenDocument& d) const
{
    std::string lf = d.Text;
    std::erase(lf, '\r');
    const std::string bytes = langsvc::EncodeScript(lf, d.Encoding, d.LineEnd);
    const std::string path = d.Path.empty() ? std::string("untitled.prk") : d.Path;
    TJson list = TJson::Array();
    for (const langsvc::TEditorDiagnostic& e : langsvc::DiagnoseText(path, bytes, d.Doc.Lines())) {
        TJson diag = TJson::Object();
        diag["range"] = Range(d.Doc.Lines(), e.Line, e.ColumnBegin, e.ColumnEnd);
        diag["severity"] = e.Error ? kSeverityError : kSeverityWarning;
        diag["source"] = "porukana";
        diag["message"] = e.Hint.empty() ? e.Message : e.Message + "\n" + e.Hint;
        list.Push(std::move(diag));
    }
    TJson p = TJson::Object();
    p["uri"] = uri;
    p["diagnostics"] = std::move(list);
    return Notification("textDocument/publishDiagnostics", p);
}

TJson TLspServer::EncodingNotice(const std::string& uri, const TOpenDocument& d) const
{
    TJson p = TJson::Object();
    p["uri"] = uri;
    p["encoding"] = langsvc::EncodingId(d.Encoding);
    p["lineEnd"] = langsvc::LineEndName(d.LineEnd);
    return Notification("porukana/encoding", p);
}
