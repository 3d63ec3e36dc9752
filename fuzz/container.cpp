// The packed-file container reader: the input is written to a file, opened as a
// container (at its start, and as appended to an executable) and every entry of
// its directory is extracted. The file lives in memory (memfd), named through
// /proc/self/fd, so that no disk is touched per input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_target.h"
#include "loader/container.h"

namespace {
int gFd = -1;
std::string gPath;
}   // namespace

void FuzzSetUp()
{
    gFd = memfd_create("porukana-fuzz-container", 0);
    if (gFd < 0)
        std::abort();
    gPath = "/proc/self/fd/" + std::to_string(gFd);
}

void FuzzOne(const uint8_t* data, size_t size)
{
    if (ftruncate(gFd, 0) != 0)
        std::abort();
    for (size_t done = 0; done < size;) {
        ssize_t n = pwrite(gFd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            std::abort();
        done += static_cast<size_t>(n);
    }
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
    if (LocateAppendedAt(gPath, offset, length))
        fuzz::Check(offset + length <= size, "appended part beyond the file");
}
