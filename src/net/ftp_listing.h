// What the FTP listing commands make of a server's listing lines.
//
//   NameListText({"a.txt", "b.txt"})                       -> "a.txt\r\nb.txt"
//   FolderNames({"total 2", "drwxr-xr-x 2 u g 0 Jan 1 00:00 pub"}, "") -> "pub"
#pragma once
#include <string>
#include <string_view>
#include <vector>

// FTPファイル列挙: every line followed by CR LF, the whole trimmed.
std::string NameListText(const std::vector<std::string>& lines);
// FTPフォルダ列挙: the last word of every line whose first word (in lower case)
// starts with "d" and is not "total", kept when the pattern is empty or the name
// matches it as a wildcard; each followed by CR LF, the whole trimmed. A broken
// pattern raises EWildcard.
std::string FolderNames(const std::vector<std::string>& lines, std::string_view pattern);
// FTPファイル情報: the lines as a text, each followed by CR LF.
std::string ListingText(const std::vector<std::string>& lines);
// The names of a plain name listing that match a file mask ("*.txt"), for servers
// whose name listing does not take a mask itself.
std::vector<std::string> MatchingNames(const std::vector<std::string>& names, std::string_view mask);
// The folder part of a mask ("sub/*.txt" -> "sub/"), "" when it has none.
std::string MaskFolder(std::string_view mask);
