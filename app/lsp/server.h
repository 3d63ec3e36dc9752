// porukana-lsp's conversation: one message in, the messages to send back out.
// Documents are held as the editor last sent them; every change is checked again
// and its findings published.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "langsvc/document.h"
#include "langsvc/encoding.h"
#include "lsp/json.h"

class TLspServer {
public:
    // The replies and notifications that `message` gives, in order.
    std::vector<TJson> Handle(const TJson& message);

    // True once "exit" arrived; the exit status is 0 when "shutdown" came before.
    bool Exited() const { return exited_; }
    int ExitStatus() const { return shutdown_ ? 0 : 1; }

private:
    struct TOpenDocument {
        std::string Path;   // UTF-8; empty for a URI that names no file
        langsvc::TDocument Doc;
        langsvc::TTextEncoding Encoding = langsvc::TTextEncoding::Utf8;
        langsvc::TLineEnd LineEnd = langsvc::TLineEnd::Lf;
        std::string Text;
    };

    TJson Request(const std::string& method, const TJson& params, bool& handled);
    void Open(const std::string& uri, const std::string& text, std::vector<TJson>& out);
    void Change(const std::string& uri, const std::string& text, std::vector<TJson>& out);
    TJson Diagnostics(const std::string& uri, const TOpenDocument& d) const;
    TJson EncodingNotice(const std::string& uri, const TOpenDocument& d) const;
    TOpenDocument* Find(const TJson& params);

    std::map<std::string, TOpenDocument> docs_;
    bool shutdown_ = false;
    bool exited_ = false;
};

// Reads the file behind a file:// URI; empty path for other schemes.
std::string PathOfUri(const std::string& uri);
