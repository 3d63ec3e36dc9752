#include "commands/dialogs/dialogs.h"

#include <algorithm>

#include "core/sjis.h"
#include "core/text.h"
#include "interp/interp.h"

namespace {

const std::string kFullBar = "｜";

// Splits at "|" (character-wise, so a trail byte 0x7C never counts).
std::vector<std::string> SplitBars(std::string_view text)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < text.size();) {
        if (IsLeadAt(text, i)) {
            fields.back().append(text.substr(i, 2));
            i += 2;
        } else if (text[i] == '|') {
            fields.emplace_back();
            ++i;
        } else {
            fields.back() += text[i++];
        }
    }
    return fields;
}

bool ContainsChar(std::string_view text, char wanted)
{
    for (size_t i = 0; i < text.size(); i += IsLeadAt(text, i) ? 2 : 1)
        if (text[i] == wanted)
            return true;
    return false;
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool HasWildcard(std::string_view text)
{
    return ContainsChar(text, '*') || ContainsChar(text, '?');
}

// "*.jpg;*.png" -> "*.jpg *.png"; with forQt, "*.*" becomes "*".
std::string SpacedPatterns(std::string_view pattern, bool forQt)
{
    std::string out;
    std::string one;
    auto flush = [&] {
        std::string p = Trim(one);
        one.clear();
        if (p.empty())
            return;
        if (forQt && p == "*.*")
            p = "*";
        if (!out.empty())
            out += ' ';
        out += p;
    };
    for (size_t i = 0; i < pattern.size();) {
        if (IsLeadAt(pattern, i)) {
            one.append(pattern.substr(i, 2));
            i += 2;
        } else if (pattern[i] == ';' || pattern[i] == ' ') {
            flush();
            ++i;
        } else {
            one += pattern[i++];
        }
    }
    flush();
    return out;
}

}   // namespace

// ---- arguments -------------------------------------------------------------------

std::vector<std::string> ListChoiceItems(std::string_view text)
{
    std::string joined;
    joined.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, kFullBar.size(), kFullBar) == 0) {
            joined += "\r\n";
            i += kFullBar.size();
        } else if (IsLeadAt(text, i)) {
            joined.append(text.substr(i, 2));
            i += 2;
        } else if (text[i] == '|') {
            joined += "\r\n";
            ++i;
        } else {
            joined += text[i++];
        }
    }
    return SplitLines(joined, true);
}

std::vector<std::string> ButtonChoiceItems(std::string_view text)
{
    return SplitLines(TrimView(text), true);
}

const char* EntryTag(std::string_view entry)
{
    if (!entry.empty() && (entry[0] == '$' || (entry[0] >= '0' && entry[0] <= '9')))
        return "e";
    return "s";
}

// ---- file filters ------------------------------------------------------------------

std::vector<TDialogFilter> FileDialogFilter(std::string_view fileType)
{
    std::string text;
    if (ContainsChar(fileType, '|')) {
        text = fileType;
    } else {
        std::string ext(TrimView(fileType));
        if (!ext.empty() && ext[0] == '.')
            ext.erase(0, 1);
        if (!ext.empty())
            text = ext + " 形式(*." + ext + ")|*." + ext + "|";
        text += "全て(*.*)|*.*";
    }
    std::vector<std::string> fields = SplitBars(text);
    std::vector<TDialogFilter> filter;
    for (size_t i = 0; i + 1 < fields.size(); i += 2)
        filter.push_back({fields[i], fields[i + 1]});
    return filter;
}

std::string DefaultExtension(const std::vector<TDialogFilter>& filter)
{
    if (filter.empty())
        return std::string();
    std::string ext = Trim(filter[0].Pattern);
    if (!ext.empty() && ext[0] == '*')
        ext.erase(0, 1);
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    for (size_t i = 0; i < ext.size(); i += IsLeadAt(ext, i) ? 2 : 1)
        if (ext[i] == ';') {
            ext.resize(i);
            break;
        }
    ext = Trim(ext);
    if (HasWildcard(ext))
        return std::string();
    return ext;
}

std::string QtFilterText(const std::vector<TDialogFilter>& filter)
{
    std::string out;
    for (const TDialogFilter& f : filter) {
        const std::string patterns = SpacedPatterns(f.Pattern, true);
        if (patterns.empty())
            continue;
        const std::string desc = Trim(f.Description);
        const std::string tail = "(" + patterns + ")";
        // A description that names its patterns already: those parentheses carry them.
        const std::string written = "(" + SpacedPatterns(f.Pattern, false) + ")";
        std::string item;
        if (desc.size() >= written.size() && desc.compare(desc.size() - written.size(), written.size(), written) == 0)
            item = desc.substr(0, desc.size() - written.size()) + tail;
        else if (desc.empty())
            item = tail;
        else
            item = desc + " " + tail;
        if (!out.empty())
            out += ";;";
        out += item;
    }
    return out;
}

std::vector<TDialogFilter> MemoFileFilter()
{
    return FileDialogFilter("*.txt|*.txt|すべてのファイル|*.*");
}

// ---- font choice texts -------------------------------------------------------------

std::string FormatFontChoice(const TFontChoice& font)
{
    std::string out = font.Face;
    std::string style;
    if (font.Bold)
        style += "太字";
    if (font.Italic)
        style += "傾斜";
    if (font.Underline)
        style += "下線";
    if (!style.empty())
        out += "|" + style;
    if (font.Size > 0) {
        if (style.empty())
            out += "|";
        out += "|" + std::to_string(font.Size);
    }
    return out;
}

bool ParseFontChoice(std::string_view text, TFontChoice& font)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, kFullBar.size(), kFullBar) == 0) {
            fields.emplace_back();
            i += kFullBar.size();
        } else if (IsLeadAt(text, i)) {
            fields.back().append(text.substr(i, 2));
            i += 2;
        } else if (text[i] == '|') {
            fields.emplace_back();
            ++i;
        } else {
            fields.back() += text[i++];
        }
    }
    TFontChoice out;
    out.Face = Trim(fields[0]);
    if (out.Face.empty())
        return false;
    if (fields.size() > 1) {
        const std::string& style = fields[1];
        auto has = [&](const char* word) { return style.find(word) != std::string::npos; };
        out.Bold = has("太字") || has("ボールド");
        out.Italic = has("傾斜") || has("斜体") || has("イタリック");
        out.Underline = has("下線") || has("罫線") || has("アンダーライン");
    }
    if (fields.size() > 2) {
        const std::string size = Trim(fields[2]);
        if (AllDigits(size) && size.size() < 6)
            out.Size = std::stoi(size);
    }
    font = out;
    return true;
}

// ---- answers of the line protocol --------------------------------------------------

int YesNoAnswer(std::string_view line, bool withCancel)
{
    const std::string a = LowerAsciiSjis(TrimView(line));
    if (a == "はい" || a == "y" || a == "yes" || a == "1")
        return 1;
    if (a == "いいえ" || a == "n" || a == "no" || a == "0")
        return 0;
    if (withCancel && (a == "キャンセル" || a == "c" || a == "cancel" || a == "2"))
        return 2;
    return -1;
}

int ChoiceAnswer(std::string_view line, const std::vector<std::string>& items)
{
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == line)
            return static_cast<int>(i);
    const std::string_view t = TrimView(line);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == t)
            return static_cast<int>(i);
    if (AllDigits(t) && t.size() < 10) {
        const long n = std::stol(std::string(t));
        if (n >= 1 && static_cast<size_t>(n) <= items.size())
            return static_cast<int>(n - 1);
    }
    return -1;
}

bool ColourAnswer(std::string_view line, int32_t& colour)
{
    const std::string_view t = TrimView(line);
    if (t.size() == 7 && t[0] == '#') {
        int32_t rgb[3];
        for (int k = 0; k < 3; ++k) {
            const int hi = HexDigit(t[1 + 2 * k]), lo = HexDigit(t[2 + 2 * k]);
            if (hi < 0 || lo < 0)
                return false;
            rgb[k] = hi * 16 + lo;
        }
        colour = rgb[0] + 256 * rgb[1] + 65536 * rgb[2];
        return true;
    }
    if (!AllDigits(t) || t.size() > 8)
        return false;
    const long v = std::stol(std::string(t));
    if (v > 0xFFFFFF)
        return false;
    colour = static_cast<int32_t>(v);
    return true;
}

// ---- progress ------------------------------------------------------------------------

int ProgressPercent(int64_t position, int64_t maximum)
{
    if (maximum <= 0 || position <= 0)
        return 0;
    if (position >= maximum)
        return 100;
    return static_cast<int>(static_cast<__int128>(position) * 100 / maximum);
}

bool TProgressThrottle::Due(int64_t nowMs)
{
    if (last_ != kNever && nowMs - last_ < 1000)
        return false;
    last_ = nowMs;
    return true;
}

// ---- geometry of the run-time dialogs ------------------------------------------------

namespace {

constexpr int kMargin = 8;

}   // namespace

TMessageBoxGeometry MessageBoxGeometry(int labelW, int labelH, int buttonW, int buttonH, int heightLimit)
{
    TMessageBoxGeometry g;
    g.Label = {kMargin, kMargin, labelW, labelH};
    g.ClientW = std::max(labelW + 2 * kMargin, 100);
    const int top = std::min(g.Label.Bottom() + kMargin, heightLimit);
    g.Button = {(g.ClientW - buttonW) / 2, top, buttonW, buttonH};
    g.ClientH = g.Button.Bottom() + kMargin;
    return g;
}

TInputBoxGeometry InputBoxGeometry(int labelW, int labelH, int editH, int panelW, int panelH)
{
    TInputBoxGeometry g;
    g.Label = {kMargin, kMargin, labelW, labelH};
    g.ClientW = std::max(labelW + 2 * kMargin, 300);
    g.Edit = {kMargin, g.Label.Bottom() + kMargin, g.ClientW - 2 * kMargin, editH};
    g.Panel = {(g.ClientW - panelW) / 2, g.Edit.Bottom() + kMargin, panelW, panelH};
    g.ClientH = g.Panel.Bottom() + kMargin;
    return g;
}

TChoiceGeometry ChoiceGeometry(int labelW, int labelH, int listH, int fieldH, int panelW, int panelH)
{
    TChoiceGeometry g;
    g.Label = {kMargin, kMargin, labelW, labelH};
    g.ClientW = std::max(labelW + 2 * kMargin, 280);
    g.List = {kMargin, 2 * g.Label.Y + labelH, g.ClientW - 2 * kMargin, listH};
    g.Field = {kMargin, g.List.Bottom() + kMargin, g.ClientW - 2 * kMargin, fieldH};
    g.Panel = {(g.ClientW - panelW) / 2, g.Field.Bottom() + kMargin, panelW, panelH};
    g.ClientH = g.Panel.Bottom() + kMargin;
    return g;
}

TButtonChooserGeometry ButtonChooserGeometry(int labelW, int labelH, int zHeight, int widestText, int count,
                                             int mainWidth)
{
    TButtonChooserGeometry g;
    g.Label = {kMargin, kMargin, labelW, labelH};
    const int top = g.Label.Y;
    const int rowH = 2 * zHeight;
    const int buttonH = rowH * 8 / 10;
    const int w = std::max(widestText, 30) * 13 / 10;
    const int64_t n = std::max(count, 0);

    int left;
    if (labelW < w) {
        g.ClientW = w + 2 * kMargin;
        left = kMargin;
    } else {
        g.ClientW = labelW + 2 * kMargin;
        left = (g.ClientW - w) / 2;
    }
    // 0.8 * mainWidth > 1.1 * n * w, in integers.
    g.Row = int64_t{8} * mainWidth > 11 * n * w;
    if (g.Row) {
        const int y = 2 * top + labelH;
        for (int64_t i = 0; i < n; ++i)
            g.Buttons.push_back({static_cast<int>(i * w * 11 / 10 + kMargin), y, w, buttonH});
        g.ClientW = n == 1 ? w + 2 * kMargin : static_cast<int>(n * w * 11 / 10 + 2 * kMargin);
        if (g.Label.Right() + kMargin > g.ClientW)
            g.ClientW = g.Label.Right() + kMargin;
        g.ClientH = 2 * top + rowH + labelH;
    } else {
        for (int64_t i = 0; i < n; ++i)
            g.Buttons.push_back({left, static_cast<int>(labelH + 2 * top + i * rowH), w, buttonH});
        g.ClientH = static_cast<int>(n * rowH + labelH + 2 * top);
    }
    return g;
}
