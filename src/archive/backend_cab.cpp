// Packing CAB archives through libgcab (MSZIP compression), when the run-time was
// built with it.
#include <unistd.h>

#include "archive/backend_support.h"

#ifdef PORUKANA_HAVE_GCAB
#include <libgcab.h>
#endif

bool CabWriterPresent()
{
#ifdef PORUKANA_HAVE_GCAB
    return true;
#else
    return false;
#endif
}

#ifdef PORUKANA_HAVE_GCAB

namespace {

template <class T> struct TUnref {
    T* P = nullptr;
    ~TUnref()
    {
        if (P)
            g_object_unref(P);
    }
};

[[noreturn]] void RaiseGError(const std::string& archive, GError* err)
{
    const std::string detail = err && err->message ? err->message : "gcab";
    if (err)
        g_error_free(err);
    RaiseCannotCreate(archive, detail);
}

}   // namespace

void PackCab(const TPackJob& job)
{
    TStagedOutput out(job.Archive);
    TUnref<GCabCabinet> cab{gcab_cabinet_new()};
    TUnref<GCabFolder> folder{gcab_folder_new(GCAB_COMPRESSION_MSZIP)};
    GError* err = nullptr;
    for (const std::string& file : job.Files) {
        const std::string src = SourcePath(job, file);
        struct stat sb {};
        const int fd = OpenInput(src, sb);
        if (fd < 0)
            continue;
        close(fd);
        std::string name = StoredName(file, job.KeepPaths);
        for (char& c : name)
            if (c == '/')
                c = '\\';   // folders are separated by "\" inside cabinets
        TUnref<GFile> gf{g_file_new_for_path(src.c_str())};
        TUnref<GCabFile> cf{gcab_file_new_with_file(name.c_str(), gf.P)};
        if (!gcab_folder_add_file(folder.P, cf.P, FALSE, nullptr, &err))
            RaiseGError(job.Archive, err);
    }
    if (!gcab_cabinet_add_folder(cab.P, folder.P, &err))
        RaiseGError(job.Archive, err);
    TUnref<GFile> target{g_file_new_for_path(out.Path().c_str())};
    TUnref<GFileOutputStream> stream{g_file_replace(target.P, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &err)};
    if (!stream.P)
        RaiseGError(job.Archive, err);
    if (!gcab_cabinet_write_simple(cab.P, G_OUTPUT_STREAM(stream.P), nullptr, nullptr, nullptr, &err))
        RaiseGError(job.Archive, err);
    if (!g_output_stream_close(G_OUTPUT_STREAM(stream.P), nullptr, &err))
        RaiseGError(job.Archive, err);
    out.Commit();
}

#else

void PackCab(const TPackJob&)
{
    RaiseNoLibrary(CabDll());
}

#endif
