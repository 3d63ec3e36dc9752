// porukana-cli --doc WORD: prints the reference entry of a built-in word.
#pragma once

// The word as typed (UTF-8), found with okurigana folding (繰り返す, 繰返 and
// 繰り返して find the same entry) and, failing that, without regard to the case of
// ASCII letters. Returns the exit status: 0 printed, 2 no such word.
int PrintReferenceEntry(const char* wordUtf8);
