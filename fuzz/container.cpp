// The packed-file container reader: the input is written to a file, opened as a
// container (at its start, and as appended to an executable) and every entry of
// its directory is extracted.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_target.h"
#include "loader/container.h"

namespace {
std::string gPath;
}

void FuzzSetUp()
{
    char dir[] = "/tmp/porukana-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    gPath = std::string(dir) + "/input.mix";
}

void FuzzOne(const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(gPath.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        TFileMixReader reader(gPath);
        std::string bytes, text;
        for (const TMixNode* node : reader.Index().Nodes()) {
            if (reader.ExtractEntry(node->Name, bytes))
                fuzz::Check(bytes.size() <= size, "entry larger than the container");
            (void)reader.ReadEntryText(node->Name, text);
        }
        (void)reader.Find("PORUKANA.PRK");
    } catch (const EContainer&) {
    }
    uint64_t offset = 0, length = 0;
    if (LocateAppendedAt(gPath, offset, length)) fuzz::Check(offset + length <= size, "appended part beyond the file");
}
