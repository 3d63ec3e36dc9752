// Line coding of the office helper's channel and the reasons of its failure codes.
#include "office/office_protocol.h"

#include "core/codec.h"

std::string EncodeOfficeLine(const std::vector<std::string>& fields)
{
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += '\t';
        for (char c : fields[i]) {
            switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
            }
        }
    }
    out += '\n';
    return out;
}

bool DecodeOfficeLine(std::string_view line, std::vector<std::string>& fields)
{
    fields.assign(1, std::string());
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c != '\\') {
            fields.back() += c;
        } else {
            if (++i == line.size())
                return false;
            switch (line[i]) {
            case '\\':
                fields.back() += '\\';
                break;
            case 't':
                fields.back() += '\t';
                break;
            case 'n':
                fields.back() += '\n';
                break;
            case 'r':
                fields.back() += '\r';
                break;
            default:
                return false;
            }
        }
    }
    return true;
}

TOfficeReply OfficeFailure(std::string code, std::string detail)
{
    TOfficeReply r;
    r.Code = std::move(code);
    r.Detail = std::move(detail);
    return r;
}

TOfficeReply ParseOfficeReply(const std::vector<std::string>& fields)
{
    if (!fields.empty() && fields[0] == "ok") {
        TOfficeReply r;
        r.Ok = true;
        r.Values.assign(fields.begin() + 1, fields.end());
        return r;
    }
    if (fields.size() >= 2 && fields.size() <= 3 && fields[0] == "err" && !fields[1].empty())
        return OfficeFailure(fields[1], fields.size() == 3 ? fields[2] : std::string());
    return OfficeFailure("protocol", "unexpected reply");
}

namespace {

std::string Quoted(std::string_view subject)
{
    return "「" + std::string(subject) + "」";
}

// The office's message in brackets, or nothing when it gave none.
std::string Detail(std::string_view detail)
{
    return detail.empty() ? std::string() : "（" + Utf8ToSjis(detail) + "）";
}

}   // namespace

std::string OfficeReason(TOfficeSide side, std::string_view code, std::string_view subject, std::string_view detail)
{
    const bool sheet = side == TOfficeSide::Spreadsheet;
    const std::string app = sheet ? "エクセル" : "ワード";
    const std::string document = sheet ? "ブック" : "文書";
    if (code == "nosuite")
        return "オフィスソフト（LibreOffice）がインストールされていません（sofficeが見つかりません）。";
    if (code == "nobridge")
        return "LibreOfficeのPython連携（python3-uno）がインストールされていません。";
    if (code == "nopython")
        return "LibreOffice連携用のPython" + Quoted(subject) + "が見つかりません。";
    if (code == "nohelper")
        return "LibreOffice連携スクリプト（office_helper.py）が見つかりません。";
    if (code == "startfail")
        return "LibreOfficeを起動できませんでした。" + Detail(detail);
    if (code == "starttimeout")
        return "LibreOfficeが" + std::string(subject) + "秒以内に起動しませんでした。";
    if (code == "timeout")
        return "LibreOfficeが" + std::string(subject) + "秒以内に応答しませんでした。";
    if (code == "disconnected")
        return "LibreOfficeとの接続が切れました。";
    if (code == "stopped")
        return "LibreOfficeの処理を中断しました。";
    if (code == "notstarted")
        return app + "が起動されていません。";
    if (code == "quit")
        return app + "は既に終了しています。";
    if (code == "closed")
        return document + "は既に閉じられています。";
    if (code == "noactive")
        return "開いている" + document + "がありません。";
    if (code == "nosheet")
        return "シートがありません。";
    if (code == "notfound")
        return "ファイル" + Quoted(subject) + "が見つかりません。";
    if (code == "open")
        return "ファイル" + Quoted(subject) + "を開けません。";
    if (code == "wrongkind")
        return "ファイル" + Quoted(subject) + "は" + (sheet ? "表計算" : "文書") + "のファイルではありません。";
    if (code == "savefolder")
        return "ファイル" + Quoted(subject) + "の保存先フォルダがありません。";
    if (code == "save")
        return "ファイル" + Quoted(subject) + "へ保存できません。" + Detail(detail);
    if (code == "cell")
        return "セル(" + std::string(subject) + ")は範囲外です。";
    if (code == "macro")
        return "マクロ" + Quoted(subject) + "が見つかりません。";
    if (code == "macrofail")
        return "マクロ" + Quoted(subject) + "の実行に失敗しました。" + Detail(detail);
    if (code == "bookmark")
        return "ブックマーク" + Quoted(subject) + "がありません。";
    if (code == "noprinter")
        return "通常使うプリンタがありません。";
    if (code == "print")
        return "印刷できませんでした。" + Detail(detail);
    if (code == "uno")
        return "LibreOfficeがエラーを返しました。" + Detail(detail);
    return "LibreOffice連携の内部エラーです（" + Utf8ToSjis(code) + (detail.empty() ? "" : ": ") + Utf8ToSjis(detail) +
           "）。";
}

std::string OfficeErrorText(TOfficeSide side, std::string_view reason)
{
    return (side == TOfficeSide::Spreadsheet ? "Excelのエラー。" : "Wordのエラー。") + std::string(reason);
}
