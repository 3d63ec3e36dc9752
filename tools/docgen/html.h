// Markdown to HTML for the pages this project writes: headings, paragraphs, lists,
// pipe tables, fenced code, inline code, bold, links (".md" targets become
// ".html"), pictures and single-line HTML comments.
#pragma once
#include <string>
#include <utility>
#include <vector>

// With `search`, the page starts with a search box that works from the local file:
// it reads search.js (SearchScript) beside the page.
std::string MarkdownToHtml(const std::string& markdown, const std::string& title, bool search = false);

// search.js: every entry of the reference (names, page link, group, description) and
// the synonyms, with the search the terminal's --doc does (names, parts of names,
// descriptions, synonyms), shown under the box.
struct TSearchEntry {
    std::string names;   // separated by line breaks
    std::string link, group, description;
};
std::string SearchScript(const std::vector<TSearchEntry>& entries,
                         const std::vector<std::pair<std::string, std::string>>& synonyms);
