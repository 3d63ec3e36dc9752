#include "html.h"

#include <vector>

#include "pages.h"
#include "refdata.h"

namespace {

std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string LinkTarget(const std::string& url)
{
    if (url.find("://") != std::string::npos)
        return url;
    const size_t hash = url.find('#');
    std::string path = url.substr(0, hash);
    const std::string rest = hash == std::string::npos ? "" : url.substr(hash);
    if (path.size() > 3 && path.compare(path.size() - 3, 3, ".md") == 0)
        path = path.substr(0, path.size() - 3) + ".html";
    return path + rest;
}

std::string Inline(const std::string& s)
{
    std::string out;
    bool strong = false;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '`') {
            const size_t close = s.find('`', i + 1);
            if (close != std::string::npos) {
                out += "<code>" + Escape(s.substr(i + 1, close - i - 1)) + "</code>";
                i = close + 1;
                continue;
            }
        }
        if (s.compare(i, 2, "![") == 0) {   // a picture: ![alt](file)
            const size_t mid = s.find("](", i);
            const size_t close = mid == std::string::npos ? mid : s.find(')', mid);
            if (close != std::string::npos) {
                out += "<img src=\"" + Escape(s.substr(mid + 2, close - mid - 2)) + "\" alt=\"" +
                       Escape(s.substr(i + 2, mid - i - 2)) + "\">";
                i = close + 1;
                continue;
            }
        }
        if (s[i] == '[') {
            const size_t mid = s.find("](", i);
            const size_t close = mid == std::string::npos ? mid : s.find(')', mid);
            if (close != std::string::npos) {
                out += "<a href=\"" + Escape(LinkTarget(s.substr(mid + 2, close - mid - 2))) + "\">" +
                       Inline(s.substr(i + 1, mid - i - 1)) + "</a>";
                i = close + 1;
                continue;
            }
        }
        if (s.compare(i, 2, "**") == 0) {
            out += strong ? "</strong>" : "<strong>";
            strong = !strong;
            i += 2;
            continue;
        }
        out += Escape(std::string(1, s[i]));
        ++i;
    }
    if (strong)
        out += "</strong>";
    return out;
}

bool StartsWith(const std::string& s, const std::string& p)
{
    return s.compare(0, p.size(), p) == 0;
}

std::vector<std::string> TableCells(std::string line)
{
    line = TrimSpaces(line);
    if (!line.empty() && line.front() == '|')
        line.erase(0, 1);
    if (!line.empty() && line.back() == '|')
        line.pop_back();
    std::vector<std::string> cells;
    size_t start = 0;
    while (true) {
        // "\|" stands for a bar inside a cell.
        size_t bar = start;
        while ((bar = line.find('|', bar)) != std::string::npos && bar > 0 && line[bar - 1] == '\\')
            ++bar;
        std::string cell = line.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        for (size_t k; (k = cell.find("\\|")) != std::string::npos;)
            cell.replace(k, 2, "|");
        cells.push_back(TrimSpaces(cell));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return cells;
}

bool OrderedItem(const std::string& line, size_t& textStart)
{
    size_t i = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    if (i == 0 || line.compare(i, 2, ". ") != 0)
        return false;
    textStart = i + 2;
    return true;
}

}   // namespace

std::string MarkdownToHtml(const std::string& markdown, const std::string& title, bool search)
{
    const std::vector<std::string> lines = SplitLines(markdown);
    std::string body;
    std::string paragraph;
    std::string openList;   // "ul", "ol" or ""
    auto flushParagraph = [&] {
        if (!paragraph.empty())
            body += "<p>" + Inline(paragraph) + "</p>\n";
        paragraph.clear();
    };
    auto closeList = [&] {
        if (!openList.empty())
            body += "</" + openList + ">\n";
        openList.clear();
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (StartsWith(line, "```")) {
            flushParagraph();
            closeList();
            const std::string info = TrimSpaces(line.substr(3));
            std::string code;
            for (++i; i < lines.size() && lines[i] != "```"; ++i)
                code += lines[i] + "\n";
            const std::string lang = info.substr(0, info.find(' '));
            body += "<pre><code" + (lang.empty() ? std::string() : " class=\"language-" + Escape(lang) + "\"") + ">" +
                    Escape(code) + "</code></pre>\n";
            continue;
        }
        if (TrimSpaces(line).empty()) {
            flushParagraph();
            closeList();
            continue;
        }
        if (StartsWith(line, "<!--")) {
            flushParagraph();
            body += line + "\n";
            continue;
        }
        size_t level = 0;
        while (level < line.size() && line[level] == '#')
            ++level;
        if (level >= 1 && level <= 6 && level < line.size() && line[level] == ' ') {
            flushParagraph();
            closeList();
            const std::string text = TrimSpaces(line.substr(level + 1));
            const std::string h = "h" + std::to_string(level);
            body += "<" + h + " id=\"" + Escape(AnchorOf(text)) + "\">" + Inline(text) + "</" + h + ">\n";
            continue;
        }
        size_t itemStart = 0;
        const bool bullet = StartsWith(line, "- ") || StartsWith(line, "* ");
        const bool ordered = !bullet && OrderedItem(line, itemStart);
        if (bullet || ordered) {
            flushParagraph();
            const std::string kind = bullet ? "ul" : "ol";
            if (openList != kind) {
                closeList();
                body += "<" + kind + ">\n";
                openList = kind;
            }
            body += "<li>" + Inline(line.substr(bullet ? 2 : itemStart)) + "</li>\n";
            continue;
        }
        if (StartsWith(line, "|") && i + 1 < lines.size() && StartsWith(lines[i + 1], "|---")) {
            flushParagraph();
            closeList();
            body += "<table>\n<thead><tr>";
            for (const std::string& c : TableCells(line))
                body += "<th>" + Inline(c) + "</th>";
            body += "</tr></thead>\n<tbody>\n";
            for (i += 2; i < lines.size() && StartsWith(lines[i], "|"); ++i) {
                body += "<tr>";
                for (const std::string& c : TableCells(lines[i]))
                    body += "<td>" + Inline(c) + "</td>";
                body += "</tr>\n";
            }
            --i;
            body += "</tbody>\n</table>\n";
            continue;
        }
        if (!openList.empty() && StartsWith(line, "  ")) {
            // A continuation line of the last item.
            body.insert(body.size() - 6, " " + Inline(TrimSpaces(line)));
            continue;
        }
        closeList();
        paragraph += (paragraph.empty() ? "" : " ") + TrimSpaces(line);
    }
    flushParagraph();
    closeList();
    return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + Escape(title) +
           "</title>\n<style>\n"
           "body{font-family:sans-serif;max-width:50em;margin:2em auto;padding:0 1em;line-height:1.6}\n"
           "pre{background:#f4f4f4;padding:.6em;overflow:auto}code{font-family:monospace}\n"
           "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:.2em .5em;vertical-align:top}\n"
           "#results li{margin:.2em 0}\n"
           "</style>\n</head>\n<body>\n" +
           (search ? "<form onsubmit=\"return false\"><input id=\"search\" type=\"search\" size=\"40\" "
                     "placeholder=\"単語・説明・英語で探す（例: 並べ替え、csv、ボタン）\" autofocus>"
                     "<span id=\"count\"></span></form>\n<ul id=\"results\"></ul>\n"
                     "<script src=\"search.js\"></script>\n"
                   : std::string()) +
           body + "</body>\n</html>\n";
}

namespace {

std::string JsString(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else if (c == '<')
            out += "\\u003c";
        else
            out += c;
    }
    return out + "\"";
}

const char* kSearchCode = R"JS(
function lower(s) { return s.toLowerCase(); }
function search(word) {
  const w = lower(word.trim());
  const seen = new Set(), groups = [[], [], [], []];
  if (!w) return groups;
  const add = (g, i) => { if (!seen.has(i)) { seen.add(i); groups[g].push(i); } };
  ENTRIES.forEach((e, i) => { if (e[0].split("\n").some(n => lower(n) === w)) add(0, i); });
  ENTRIES.forEach((e, i) => { if (e[0].split("\n").some(n => lower(n).includes(w))) add(1, i); });
  ENTRIES.forEach((e, i) => { if (lower(e[3]).includes(w)) add(2, i); });
  (SYNONYMS[w] || []).forEach(name =>
    ENTRIES.forEach((e, i) => { if (e[0].split("\n").includes(name)) add(3, i); }));
  return groups;
}
function show() {
  const word = document.getElementById("search").value;
  const list = document.getElementById("results");
  list.textContent = "";
  const groups = search(word);
  const titles = ["名前が同じ", "名前に含む", "説明に出てくる", "関連語"];
  let total = 0;
  groups.forEach((g, k) => g.forEach(i => {
    const e = ENTRIES[i], li = document.createElement("li"), a = document.createElement("a");
    a.href = e[1];
    a.textContent = e[0].split("\n")[0];
    li.appendChild(a);
    li.appendChild(document.createTextNode("　" + e[3].split("\n")[0] + "（" + e[2] + "・" + titles[k] + "）"));
    list.appendChild(li);
    ++total;
  }));
  document.getElementById("count").textContent = word.trim() ? "　" + total + "件" : "";
}
document.getElementById("search").addEventListener("input", show);
)JS";

}   // namespace

std::string SearchScript(const std::vector<TSearchEntry>& entries,
                         const std::vector<std::pair<std::string, std::string>>& synonyms)
{
    std::string s = "// Generated by porukana-docgen: the reference's search, for the HTML pages.\nconst ENTRIES = [\n";
    for (const TSearchEntry& e : entries)
        s += "[" + JsString(e.names) + "," + JsString(e.link) + "," + JsString(e.group) + "," +
             JsString(e.description) + "],\n";
    s += "];\nconst SYNONYMS = {\n";
    for (const auto& [word, names] : synonyms) {
        std::string lowered = word;
        for (char& c : lowered)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        s += JsString(lowered) + ": [";
        size_t start = 0;
        bool first = true;
        while (start <= names.size()) {
            size_t end = names.find('\n', start);
            if (end == std::string::npos)
                end = names.size();
            s += std::string(first ? "" : ",") + JsString(names.substr(start, end - start));
            first = false;
            start = end + 1;
        }
        s += "],\n";
    }
    return s + "};\n" + kSearchCode;
}
