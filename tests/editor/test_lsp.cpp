// porukana-lsp: its JSON reader and writer, and a whole conversation with the
// server executable over its standard input and output.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "core/codec.h"
#include "lsp/json.h"
#include "lsp/server.h"

namespace {

std::string Frame(const std::string& body)
{
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::vector<TJson> Unframe(const std::string& stream)
{
    std::vector<TJson> out;
    size_t at = 0;
    while (true) {
        const size_t h = stream.find("Content-Length: ", at);
        if (h == std::string::npos)
            break;
        const size_t body = stream.find("\r\n\r\n", h);
        const size_t length = std::stoul(stream.substr(h + 16, body - h - 16));
        TJson m;
        std::string error;
        EXPECT_TRUE(TJson::Parse(stream.substr(body + 4, length), m, error)) << error;
        out.push_back(m);
        at = body + 4 + length;
    }
    return out;
}

const TJson* ById(const std::vector<TJson>& messages, int id)
{
    for (const TJson& m : messages)
        if (m.Has("id") && m["id"].AsInt() == id)
            return &m;
    return nullptr;
}

}   // namespace

TEST(LspJson, ReadsAndWritesMessages)
{
    TJson parsed;
    const TJson& v = parsed;
    std::string error;
    ASSERT_TRUE(TJson::Parse(R"( {"a": [1, -2.5, true, null], "s": "x\"\u3042\ud842\udfb7\n"} )", parsed, error))
        << error;
    EXPECT_EQ(v["a"].Size(), 4u);
    EXPECT_EQ(v["a"].Items()[1].AsNumber(), -2.5);
    EXPECT_TRUE(v["a"].Items()[2].AsBool());
    EXPECT_TRUE(v["a"].Items()[3].IsNull());
    EXPECT_EQ(v["s"].AsString(), "x\"あ𠮷\n");
    EXPECT_TRUE(v["missing"].IsNull());
    EXPECT_EQ(v.Dump(), R"({"a":[1,-2.5,true,null],"s":"x\"あ𠮷\n"})");
    for (const char* bad : {"{", "[1,]", "{\"a\" 1}", "\"open", "1 2", "tru"})
        EXPECT_FALSE(TJson::Parse(bad, parsed, error)) << bad;
}

TEST(LspServer, UnknownRequestsAndShutdown)
{
    TLspServer server;
    TJson m;
    std::string error;
    ASSERT_TRUE(TJson::Parse(R"({"jsonrpc":"2.0","id":7,"method":"no/such"})", m, error));
    std::vector<TJson> out = server.Handle(m);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]["error"]["code"].AsInt(), -32601);
    // Messages of the wrong shape are answered or ignored, never trusted.
    for (const char* odd :
         {R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"contentChanges":{"a":1}}})",
          R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":7})",
          R"({"jsonrpc":"2.0","id":8,"method":"textDocument/hover","params":{"position":{"line":-5}}})",
          R"({"jsonrpc":"2.0","id":9,"method":"textDocument/completion","params":[]})"}) {
        ASSERT_TRUE(TJson::Parse(odd, m, error)) << odd;
        for (const TJson& reply : server.Handle(m))
            EXPECT_FALSE(reply.Has("error")) << reply.Dump();
    }
    ASSERT_TRUE(TJson::Parse(R"({"jsonrpc":"2.0","method":"exit"})", m, error));
    server.Handle(m);
    EXPECT_TRUE(server.Exited());
    EXPECT_EQ(server.ExitStatus(), 1);   // exit without shutdown
    EXPECT_EQ(PathOfUri("file:///tmp/a%20b/%E3%81%82.prk"), "/tmp/a b/あ.prk");
}

TEST(LspServer, ConversationOverStdio)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "porukana_lsp_test";
    std::filesystem::create_directories(dir);
    const std::filesystem::path script = dir / "会話.prk";
    const std::string text = "*開始\r\n「やあ」と、表字する。\r\n開始へ飛ぶ\r\n𠮷は1\r\n𠮷を繰返\r\n";
    std::ofstream(script, std::ios::binary) << Utf8ToSjis(text);
    const std::string uri = "file://" + dir.string() + "/%E4%BC%9A%E8%A9%B1.prk";

    TJson textJson(text);
    std::string in;
    in += Frame(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
    in += Frame(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
    in += Frame(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":")" + uri +
                R"(","languageId":"porukana","version":1,"text":)" + textJson.Dump() + "}}}");
    in += Frame(R"({"jsonrpc":"2.0","id":2,"method":"textDocument/completion","params":{"textDocument":{"uri":")" +
                uri + R"("},"position":{"line":1,"character":7}}})");
    // Column 3 in UTF-16 units is the character after 𠮷を.
    in += Frame(R"({"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":{"textDocument":{"uri":")" + uri +
                R"("},"position":{"line":4,"character":3}}})");
    in += Frame(R"({"jsonrpc":"2.0","id":4,"method":"textDocument/definition","params":{"textDocument":{"uri":")" +
                uri + R"("},"position":{"line":2,"character":1}}})");
    in += Frame(R"({"jsonrpc":"2.0","id":5,"method":"textDocument/documentSymbol","params":{"textDocument":{"uri":")" +
                uri + R"("}}})");
    in += Frame(R"({"jsonrpc":"2.0","id":6,"method":"shutdown"})");
    in += Frame(R"({"jsonrpc":"2.0","method":"exit"})");
    std::ofstream(dir / "in.txt", std::ios::binary) << in;

    const std::string command =
        std::string(PORUKANA_LSP_EXE) + " < '" + (dir / "in.txt").string() + "' > '" + (dir / "out.txt").string() + "'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    std::stringstream outText;
    outText << std::ifstream(dir / "out.txt", std::ios::binary).rdbuf();
    const std::vector<TJson> out = Unframe(outText.str());

    const TJson* init = ById(out, 1);
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(init->operator[]("result")["capabilities"]["textDocumentSync"].AsInt(), 1);

    bool sawEncoding = false, sawDiagnostics = false;
    for (const TJson& m : out) {
        if (m["method"].AsString() == "porukana/encoding") {
            sawEncoding = true;
            EXPECT_EQ(m["params"]["encoding"].AsString(), "shiftjis");
            EXPECT_EQ(m["params"]["lineEnd"].AsString(), "CRLF");
        }
        if (m["method"].AsString() == "textDocument/publishDiagnostics") {
            sawDiagnostics = true;
            EXPECT_EQ(m["params"]["uri"].AsString(), uri);
        }
    }
    EXPECT_TRUE(sawEncoding);
    EXPECT_TRUE(sawDiagnostics);

    const TJson* completion = ById(out, 2);
    ASSERT_NE(completion, nullptr);
    bool sawShow = false;
    for (const TJson& item : completion->operator[]("result").Items())
        if (item["label"].AsString() == "表示") {
            sawShow = true;
            EXPECT_EQ(item["insertText"].AsString(), "${1:？}と表示");
            EXPECT_EQ(item["insertTextFormat"].AsInt(), 2);
        }
    EXPECT_TRUE(sawShow);

    const TJson* hover = ById(out, 3);
    ASSERT_NE(hover, nullptr);
    EXPECT_EQ(hover->operator[]("result")["contents"]["value"].AsString().rfind("繰り返す", 0), 0u);
    EXPECT_EQ(hover->operator[]("result")["range"]["start"]["character"].AsInt(), 3);

    const TJson* definition = ById(out, 4);
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(definition->operator[]("result")["range"]["start"]["line"].AsInt(), 0);

    const TJson* symbols = ById(out, 5);
    ASSERT_NE(symbols, nullptr);
    ASSERT_EQ(symbols->operator[]("result").Size(), 1u);
    EXPECT_EQ(symbols->operator[]("result").Items()[0]["name"].AsString(), "開始");
    EXPECT_NE(ById(out, 6), nullptr);
    std::filesystem::remove_all(dir);
}

TEST(LspServer, BrokenFramesEndTheServerCleanly)
{
    const std::filesystem::path in = std::filesystem::temp_directory_path() / "porukana_lsp_broken.txt";
    for (const std::string& stream :
         {std::string("Content-Length: abc\r\n\r\n{}"), std::string("Content-Length: 99999999999999\r\n\r\n{}"),
          std::string("Content-Length: 50\r\n\r\n{\"cut\"")}) {
        std::ofstream(in, std::ios::binary) << stream;
        const std::string command = std::string(PORUKANA_LSP_EXE) + " < '" + in.string() + "' > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << stream;
        EXPECT_EQ(WEXITSTATUS(status), 1) << stream;
    }
    std::filesystem::remove(in);
}
