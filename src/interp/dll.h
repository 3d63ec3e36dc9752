// Functions of shared libraries as script commands. DLL宣言, 文字型DLL宣言 and
// DLLを利用 load a library, find an exported function and create a word of kind
// wkDllFunc for it; calling that word collects its arguments, converts them by the
// declared type letters, calls the function through libffi under a fault guard and
// reads the result back into それ.
//
// A library-function word:
//   ArgSpec   the particle template of the new command ("?を,?で"; "" for none)
//   Value     ""  text parameters, 32-bit signed result (DLL宣言)
//             "P" text parameters, text result (文字型DLL宣言)
//             "=" + return letter + parameter letters (DLLを利用), e.g. "=ipd"
//   TypeText  "\"library\"function", the word's description
//   Id        the index of its record in the state's library list
//   Payload   the address of the function
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TPoruBase;
class THashNode;

// Calls the function of a library-function word with the pending entries of the
// argument stack (bound by its template first). The result goes into それ (tag "e",
// or "s" for a text result) and is returned; a failed call leaves それ unchanged.
std::string CallDll(TPoruBase& st, THashNode* node);

// The gate of the declarations: a library function can do anything a program can
// (write and delete files, start programs), so the high security level refuses
// every declaration, with an error naming the command. The gate reads the level
// the way the file gate does (security.ini first); the files layer installs it,
// and without it the state's level decides.
using TLibraryGate = bool (*)(TPoruBase& st);
void SetLibraryGate(TLibraryGate gate);

// ---- parts, exposed for the tests --------------------------------------------

// The letter of a type name of a prototype ("char*" p, "word" w, "dword" d,
// "bool" b, "int" i, "void" v), compared in lower case; "" for any other name.
std::string TypeLetter(std::string_view typeName);

// A prototype such as "int MyFunc(char *, dword)" taken apart.
struct TDllPrototype {
    std::string Function;   // the exported name
    char Return = 'v';      // a head without a return type returns nothing
    std::string Params;     // one letter per parameter, "v" included
    bool Valid = false;     // false: a type name none of the six (see ParsePrototype)
};
// Splits a prototype. Parameters are cut at commas, blanks removed; an empty item
// ends the list. A return type or parameter type that is none of the six type
// names makes the prototype invalid: dropping it would shift the other letters or
// call the function with fewer parameters than it takes.
TDllPrototype ParsePrototype(std::string_view prototype);

// The 32-bit slot value of an argument text for the letter w, d, i or b; false
// when the number lies outside the type's range (or is no number at all).
bool ConvertDllArgument(char letter, std::string_view text, uint32_t& slot);

// The result text of an integral result for the letter w, d, b or i (and for the
// text-parameter form, which reads it like i). `raw` is the full register value.
std::string DllNumberText(char letter, uint64_t raw);

// Pops `n` entries (the last slot's first) and returns the argument texts in slot
// order: a word (or word の member) gives its value, a quoted literal its evaluated
// text, anything else its text as written (12 and 1+2 stay literal).
std::vector<std::string> CollectDllArguments(TPoruBase& st, size_t n);

// How many libraries the state holds loaded (one record per declaration).
size_t LoadedLibraryCount(TPoruBase& st);

// ---- the foreign call ------------------------------------------------------------

enum class TForeignType : uint8_t { Void, Pointer, UInt32, SInt32 };

union TForeignSlot {
    void* Pointer;
    uint32_t UInt32;
    int32_t SInt32;
};

// Calls `fn` with the given parameters (the first one first) under the fault
// guard. Returns false when the call faulted (SIGSEGV, SIGBUS, SIGILL, SIGFPE) or
// could not be prepared; `raw` then is 0. The previous signal handlers and
// alternate stack are back in place when it returns.
bool CallForeign(void* fn, TForeignType ret, const std::vector<TForeignType>& types, std::vector<TForeignSlot>& values,
                 uint64_t& raw);

// The length of the NUL-terminated text at `p`, measured under the fault guard;
// false when reading it faulted (a result that is not the address of a text).
bool GuardedTextLength(const char* p, size_t& length);
