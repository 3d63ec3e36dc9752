#include "loader/front_options.h"

#include <unistd.h>

#include <climits>
#include <string_view>

#include "loader/container.h"

namespace {

// True when the running executable carries a packed program (and the first
// parameter is not "-run", which sets it aside).
bool CarriesProgram(int argc, char** argv)
{
    if (argc > 1 && std::string_view(argv[1]) == "-run")
        return false;
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return false;
    self[n] = '\0';
    uint64_t offset = 0, size = 0;
    return LocateAppendedAt(self, offset, size) && size > 0;
}

}   // namespace

TFrontOption FindFrontOption(int argc, char** argv)
{
    TFrontOption found = TFrontOption::None;
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string_view a = argv[i];
        if (a.empty() || a[0] != '-')
            break;   // the start file: what follows belongs to the program
        if (a == "--help") {
            found = TFrontOption::Help;
            break;
        }
        if (a == "--version") {
            found = TFrontOption::Version;
            break;
        }
        if (a == "-runtime")
            break;   // a packed program file follows, and its parameters
        if ((a == "-resource" || a == "-security") && i + 1 < argc)
            ++i;   // the option's argument
    }
    if (found != TFrontOption::None && CarriesProgram(argc, argv))
        return TFrontOption::None;
    return found;
}
