// Helpers shared by the system command families (the *_commands.cpp files of this folder).
#pragma once
#include <string>

class TPoruBase;
class THashNode;

// それ = value with the guessed tag: "e" when the text starts with a digit or "$",
// else "s"; an empty text leaves それ's tag as it was.
void SetSoreGuessed(TPoruBase& st, std::string value);

// Stores a result into a command's target variable (or object) with the tag "s".
void StoreInTarget(TPoruBase& st, THashNode* target, std::string value);

// 起動's start of a command line (trimmed): a program with its parameters, a script
// in a new run-time, or a document, folder or address opened by the desktop, after
// the security gate agreed. Failures are not reported.
void StartCommandLine(TPoruBase& st, const std::string& line);
