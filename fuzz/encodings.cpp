// Character codes: detection and conversion between Shift_JIS, EUC-JP and JIS,
// Shift_JIS <-> UTF-8, and the width and kana conversions.
#include "commands/encodings/jconvert.h"
#include "commands/strings/kana.h"
#include "core/codec.h"
#include "fuzz_target.h"

void FuzzSetUp() {}

void FuzzOne(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const int code = DetectCode(text);
    fuzz::Check(code >= kCodeUnknown && code <= kCodeEucOrSjis, "detected code out of range");
    for (int target : {kCodeJis, kCodeEuc, kCodeSjis})
        (void)JConvert(text, target);
    const std::string jis = SjisToJis(text);
    (void)JisToSjis(jis);
    (void)JisToEuc(text);
    (void)EucToSjis(text);
    (void)EucToJis(text);
    (void)SjisToEuc(text);
    (void)JisToSjis(text);
    (void)CutAtBinary(text);
    const std::string utf8 = SjisToUtf8(text);
    (void)Utf8ToSjis(utf8);
    (void)Utf8ToSjis(text);
    (void)ScriptBytesToSjis(std::string(text));
    (void)ToHalfWidth(text);
    (void)ToFullWidth(text);
    (void)ToUpperCase(text);
    (void)ToLowerCase(text);
    (void)ToKatakana(text);
    (void)ToHiragana(text);
    (void)AlnumToHalf(text);
    (void)HalfOfFirstChar(text);
}
