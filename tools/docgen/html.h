// Markdown to HTML for the pages this project writes: headings, paragraphs, lists,
// pipe tables, fenced code, inline code, bold, links (".md" targets become
// ".html") and single-line HTML comments.
#pragma once
#include <string>

std::string MarkdownToHtml(const std::string& markdown, const std::string& title);
