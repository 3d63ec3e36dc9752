// What the checker knows about words: the built-in registry (commands with their
// templates and families, system words), read once, and the nearest registered
// names to a word that is none.
#pragma once
#include <string>
#include <string_view>
#include <vector>

class THashNode;

// The built-in word of that name, found with okurigana folding; nil when none.
const THashNode* FindBuiltin(std::string_view sjisName);
// True for a command that needs the window (the console runner refuses it).
bool IsWindowOnlyCommand(const THashNode* node);
// Up to three names from the registry and from `extra` (labels of the script),
// nearest to `sjisWord` by characters, its folded form compared too; nearest first.
std::vector<std::string> NearestNames(const std::string& sjisWord, const std::vector<std::string>& extra);
// Character edit distance of two Shift_JIS texts.
int CharDistance(const std::string& a, const std::string& b);
// The particles a phrase can end in (from every template of the registry), longest
// first.
const std::vector<std::string>& KnownParticles();
