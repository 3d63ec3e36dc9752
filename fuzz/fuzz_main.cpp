// main() of every fuzz target (see fuzz_target.h).
//
//   fuzz_NAME FILE|FOLDER...   replays each file (folders: every file inside, sorted)
//   fuzz_NAME                  under afl-fuzz: persistent mode; otherwise reads one
//                              input from standard input
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_target.h"

#ifdef PORUKANA_AFL
// What AFL++'s compiler driver would declare: the test case in shared memory, the
// deferred fork server and the persistent loop of its run-time (afl-compiler-rt.o).
// The signature texts tell afl-fuzz that the target uses both.
extern "C" {
int __afl_sharedmem_fuzzing = 1;
extern unsigned int* __afl_fuzz_len;
extern unsigned char* __afl_fuzz_ptr;
void __afl_manual_init(void);
int __afl_persistent_loop(unsigned int);
}
namespace {
const char* volatile gAflPersistent = "##SIG_AFL_PERSISTENT##";
const char* volatile gAflDeferred = "##SIG_AFL_DEFER_FORKSRV##";
}   // namespace
#endif

namespace {

// Above the largest text a command may build (1 GiB) plus the program around it.
constexpr rlim_t kMemoryBudget = rlim_t(3) << 30;

bool ReadFile(const std::string& path, std::string& out)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return true;
}

void Collect(const std::string& path, std::vector<std::string>& files)
{
    struct stat sb;
    if (stat(path.c_str(), &sb) != 0) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::exit(2);
    }
    if (!S_ISDIR(sb.st_mode)) {
        files.push_back(path);
        return;
    }
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const auto& n : names)
        Collect(path + "/" + n, files);
}

}   // namespace

void fuzz::Violated(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

int main(int argc, char** argv)
{
#ifndef __SANITIZE_ADDRESS__
    // The memory budget: an allocation beyond it fails (std::bad_alloc) instead of
    // taking the machine down. The sanitizers reserve address space of their own.
    rlimit limit{kMemoryBudget, kMemoryBudget};
    setrlimit(RLIMIT_AS, &limit);
#endif
    if (argc > 1) {
        // Every input is read before the target's set-up, which may change folder.
        std::vector<std::string> files, inputs;
        for (int i = 1; i < argc; ++i)
            Collect(argv[i], files);
        for (const auto& f : files) {
            inputs.emplace_back();
            if (!ReadFile(f, inputs.back())) {
                std::fprintf(stderr, "cannot read %s\n", f.c_str());
                return 2;
            }
        }
        FuzzSetUp();
        for (const auto& data : inputs)
            FuzzOne(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        std::printf("%zu inputs replayed\n", inputs.size());
        return 0;
    }
    FuzzSetUp();
#ifdef PORUKANA_AFL
    (void)gAflPersistent;
    (void)gAflDeferred;
    __afl_manual_init();
    while (__afl_persistent_loop(10000)) {
        if (__afl_fuzz_ptr) {
            FuzzOne(__afl_fuzz_ptr, *__afl_fuzz_len);
        } else {   // afl-fuzz without shared memory: the input on stdin
            std::string data;
            char b[65536];
            size_t n;
            while ((n = std::fread(b, 1, sizeof b, stdin)) > 0)
                data.append(b, n);
            clearerr(stdin);
            FuzzOne(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        }
    }
#else
    std::string data;
    char b[65536];
    size_t n;
    while ((n = std::fread(b, 1, sizeof b, stdin)) > 0)
        data.append(b, n);
    FuzzOne(reinterpret_cast<const uint8_t*>(data.data()), data.size());
#endif
    return 0;
}
