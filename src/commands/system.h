// Helpers shared by the system command families (system_*.cpp).
#pragma once
#include <string>

class TPoruBase;
class THashNode;

// それ = value with the guessed tag: "e" when the text starts with a digit or "$",
// else "s"; an empty text leaves それ's tag as it was.
void SetSoreGuessed(TPoruBase& st, std::string value);

// Stores a result into a command's target variable (or object) with the tag "s".
void StoreInTarget(TPoruBase& st, THashNode* target, std::string value);
