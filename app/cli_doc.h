// porukana-cli --doc [WORD]: the reference of the built-in words in the terminal.
#pragma once

// The word as typed (UTF-8). The entries it names (found with okurigana folding and
// regardless of the case of ASCII letters) are printed in full, followed by every
// further entry whose name or description holds the word and those the synonyms
// table leads to, each list with its count. When the word names no entry, the lists
// alone (an only match in full). Beside a named entry, more than a dozen entries whose
// descriptions mention the word are only counted unless `all` is set. No word: the
// index of the families and their words. Returns the exit status: 0 printed, 2
// nothing found.
int PrintReferenceEntry(const char* wordUtf8, bool all = false);
