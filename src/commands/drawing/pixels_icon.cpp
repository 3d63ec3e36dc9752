#include "commands/drawing/pixels_icon.h"

#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kTypeIcon = 3;
constexpr uint32_t kTypeGroupIcon = 14;

// Bounds-checked little-endian reads over the file.
struct TReader {
    std::string_view Data;
    bool Ok = true;

    uint32_t U(size_t at, int bytes)
    {
        if (at > Data.size() || Data.size() - at < static_cast<size_t>(bytes)) {
            Ok = false;
            return 0;
        }
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | static_cast<uint8_t>(Data[at + i]);
        return v;
    }
    uint32_t U16(size_t at) { return U(at, 2); }
    uint32_t U32(size_t at) { return U(at, 4); }
};

struct TSection {
    uint32_t Va, Size, Raw;
};

struct TPe {
    TReader R;
    std::vector<TSection> Sections;
    size_t ResourceRoot = 0;   // file offset of the resource directory

    // File offset of an address; false outside every section.
    bool Offset(uint32_t rva, size_t& out) const
    {
        for (const TSection& s : Sections)
            if (rva >= s.Va && rva - s.Va < s.Size) {
                out = static_cast<size_t>(s.Raw) + (rva - s.Va);
                return out < R.Data.size();
            }
        return false;
    }

    bool Open()
    {
        if (R.U16(0) != 0x5A4D)   // "MZ"
            return false;
        const size_t pe = R.U32(0x3C);
        if (!R.Ok || R.U32(pe) != 0x00004550)   // "PE\0\0"
            return false;
        const uint32_t sections = R.U16(pe + 6);
        const uint32_t optSize = R.U16(pe + 20);
        const size_t opt = pe + 24;
        const uint32_t magic = R.U16(opt);
        const size_t dirs = opt + (magic == 0x20B ? 112 : 96);
        const uint32_t dirCount = R.U32(opt + (magic == 0x20B ? 108 : 92));
        if (!R.Ok || dirCount < 3)
            return false;
        const uint32_t resRva = R.U32(dirs + 2 * 8);
        size_t sec = opt + optSize;
        for (uint32_t i = 0; i < sections && i < 96; ++i, sec += 40) {
            const uint32_t vsize = R.U32(sec + 8), va = R.U32(sec + 12), rawSize = R.U32(sec + 16),
                           raw = R.U32(sec + 20);
            Sections.push_back({va, vsize > rawSize ? vsize : rawSize, raw});
        }
        return R.Ok && resRva != 0 && Offset(resRva, ResourceRoot);
    }

    // The entries of a resource directory: (name or id, offset field).
    std::vector<std::pair<uint32_t, uint32_t>> Entries(size_t dir)
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        const uint32_t count = R.U16(dir + 12) + R.U16(dir + 14);
        for (uint32_t i = 0; i < count && i < 4096 && R.Ok; ++i)
            out.emplace_back(R.U32(dir + 16 + 8 * i), R.U32(dir + 20 + 8 * i));
        return R.Ok ? out : decltype(out)();
    }

    // The subdirectory of a type (or the first language of a name): nil offset 0.
    size_t Sub(uint32_t field) const { return (field & 0x80000000u) ? ResourceRoot + (field & 0x7FFFFFFFu) : 0; }

    // The data of the first language of a named or numbered resource.
    bool DataOf(uint32_t nameField, std::string_view& data)
    {
        size_t langs = Sub(nameField);
        if (!langs)
            return false;
        auto list = Entries(langs);
        if (list.empty() || (list[0].second & 0x80000000u))
            return false;
        const size_t entry = ResourceRoot + list[0].second;
        const uint32_t rva = R.U32(entry), size = R.U32(entry + 4);
        size_t at;
        if (!R.Ok || !Offset(rva, at) || R.Data.size() - at < size)
            return false;
        data = R.Data.substr(at, size);
        return true;
    }

    size_t TypeDir(uint32_t type)
    {
        for (auto [id, field] : Entries(ResourceRoot))
            if (!(id & 0x80000000u) && id == type)
                return Sub(field);
        return 0;
    }
};

void Put(std::string& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}   // namespace

bool ExtractPeIcon(std::string_view image, int index, std::string& ico)
{
    TPe pe{TReader{image}, {}};
    if (index < 0 || !pe.Open())
        return false;
    const size_t groups = pe.TypeDir(kTypeGroupIcon), icons = pe.TypeDir(kTypeIcon);
    if (!groups || !icons)
        return false;
    auto groupList = pe.Entries(groups);
    if (static_cast<size_t>(index) >= groupList.size())
        return false;
    std::string_view group;
    if (!pe.DataOf(groupList[index].second, group))
        return false;
    TReader g{group};
    const uint32_t count = g.U16(4);
    if (!g.Ok || count == 0 || count > 256)
        return false;
    auto iconList = pe.Entries(icons);
    std::vector<std::string_view> images;
    std::string head;
    Put(head, 0, 2);
    Put(head, 1, 2);
    Put(head, count, 2);
    uint32_t offset = 6 + 16 * count;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t e = 6 + 14 * i;
        const uint32_t id = g.U16(e + 12);
        if (!g.Ok)
            return false;
        std::string_view data;
        bool found = false;
        for (auto [iconId, field] : iconList)
            if (!(iconId & 0x80000000u) && iconId == id) {
                found = pe.DataOf(field, data);
                break;
            }
        if (!found)
            return false;
        // The first eight bytes of an entry (size, colours, planes, bits) are the same
        // in both layouts; the resource id becomes the offset of the image.
        head.append(group.substr(e, 8));
        Put(head, static_cast<uint32_t>(data.size()), 4);
        Put(head, offset, 4);
        offset += static_cast<uint32_t>(data.size());
        images.push_back(data);
    }
    ico = head;
    for (std::string_view d : images)
        ico.append(d);
    return true;
}
