// The option record of one archive operation, the archive formats and the errors of
// the archive layer.
//
// Every switch is a signed 8-bit value where -1 means "not set". The letters are the
// option letters that the archivers understand; each driver (drivers.h) decides which
// of them it writes into its command line and which the backend honours.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// clang-format off
enum TSwitch : uint8_t {
    swA, swC, swE, swF, swH, swI, swL, swM, swN, swO, swP, swR, swS, swT, swU,
    swX, swY, swZ, swJc, swJd, swJe, swJf, swJh, swJi, swJm, swJn,
    swJp, swJr, swJsb, swJsc, swJsd, swJse, swJsf, swJsl, swJso, swJss, swJst, swJsv, swJsz, swJw,
    swJyc, swJyd, swJyk, swJyn, swJyo,
    swGa, swGd, swGe, swGf, swGj, swGm, swGn, swGo, swGp, swGs, swGu, swGw,
    swCount
};
// clang-format on

// The option letters of the switches, indexed by TSwitch.
extern const char* const kSwitchNames[swCount];

enum TPackFilter : uint8_t { pfArchiver, pfComponent };

// clang-format off
enum TResFileUsage : uint8_t {
    ruOnPack = 1, ruOnUnpack = 2, ruOnRemoveItem = 4, ruOnUpdate = 8,
};
// clang-format on

struct TArchiverOptions {
    int8_t Sw[swCount];
    std::string W;                 // work folder
    std::string Jo, Job;           // date bounds of the file-list expansion
    std::vector<std::string> Jx;   // exclusion patterns
    std::string Jz, Gr;
    std::string UserOptions;    // appended to every command line
    std::string UserFileList;   // appended after the file names
    TPackFilter PackFilter = pfComponent;
    std::string ResFileName;   // response file
    uint8_t ResFileUsage = ruOnPack | ruOnUnpack | ruOnRemoveItem;

    TArchiverOptions();
    int8_t& operator[](TSwitch s) { return Sw[s]; }
    int8_t operator[](TSwitch s) const { return Sw[s]; }
};

// Reads an option text ("-a1 -r2 -x1 ...") into `o`: pieces split at spaces, one
// leading "-" removed, the last character the decimal value, the rest the switch
// name. Pieces whose value is not a digit, names that are not switches (text and
// list fields included) and empty pieces are skipped.
void ParseArchiveOptions(const std::string& text, TArchiverOptions& o);

// The switch called `name`; false when there is none.
bool FindSwitch(const std::string& name, TSwitch& out);

// clang-format off
enum TArchiverType : uint8_t {
    atLha, atZip, atCab, atArj, atTar, atTgz, atBZ2, atRar, atBga, atYz1, atGCA, atBel, at7z,
    atNone, atAutoDetect,
};
// clang-format on

// Errors of the archive layer. Messages are Shift_JIS; the commands wrap them.
class EArchiver : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class ENoArchiverDLL : public EArchiver {
public:
    using EArchiver::EArchiver;
};
class EEntryNotFound : public EArchiver {
public:
    using EArchiver::EArchiver;
};
// A file needed to make a self-extracting archive is missing.
class ESfxNoRequiredFile : public EArchiver {
public:
    ESfxNoRequiredFile(std::string format, std::string file, std::string kind);
    std::string Format, File, Kind;
};
