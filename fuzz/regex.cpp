// The regular-expression front end: the first byte picks the operation, then the
// expression, a zero byte, the subject.
#include "commands/patterns/regex.h"
#include "fuzz_target.h"

void FuzzSetUp() {}

void FuzzOne(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    const int op = data[0] % 5;
    std::string_view expr, subject;
    fuzz::SplitTwo(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), expr, subject);
    TBRegExp re;
    std::vector<std::string> out;
    std::string result;
    try {
        switch (op) {
        case 0: {
            int n = re.Match(TBRegExp::WrapMatch(expr), subject, out);
            fuzz::Check(n == static_cast<int>(out.size()), "match count differs from the groups");
            break;
        }
        case 1:
            re.Subst(expr, subject, result);
            break;
        case 2:
            re.Trans(expr, subject, result);
            break;
        case 3: {
            int n = re.Split(TBRegExp::WrapMatch(expr), subject, 1000, out);
            fuzz::Check(n == static_cast<int>(out.size()), "split count differs from the pieces");
            break;
        }
        default:
            // The same expression twice: the kept compiled form is reused.
            re.Match(expr, subject, out);
            re.Match(expr, subject, out);
        }
    } catch (const ERegex&) {
    }
}
