#include "media/media_files.h"

#include <algorithm>
#include <cstring>

#include "core/file_io.h"
#include "core/text.h"
#include "media/player.h"

namespace {

uint32_t Le32(std::string_view b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

uint32_t Be32(std::string_view b, size_t at)
{
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
           uint32_t(uint8_t(b[at + 3]));
}

uint16_t Be16(std::string_view b, size_t at)
{
    return uint16_t(uint8_t(b[at]) << 8 | uint8_t(b[at + 1]));
}

// The chunks of a RIFF file after its 12-byte head: calls f(id, body, declared size,
// offset of the body) for each until f returns true; bodies are cut at the end of
// the bytes.
template <class F> void ForEachRiffChunk(std::string_view bytes, F f)
{
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const uint64_t size = Le32(bytes, at + 4);
        const size_t body = at + 8;
        const size_t len = static_cast<size_t>(std::min<uint64_t>(size, bytes.size() - body));
        if (f(id, bytes.substr(body, len), size, body))
            return;
        if (len < size)
            return;
        at = body + static_cast<size_t>(std::min<uint64_t>(size + (size & 1), bytes.size() - body));
    }
}

bool IsRiff(std::string_view bytes, const char* form)
{
    return bytes.size() >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == form;
}

// A variable-length quantity of a MIDI track; false past the end.
bool ReadVlq(std::string_view t, size_t& at, uint32_t& out)
{
    out = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= t.size())
            return false;
        const uint8_t c = uint8_t(t[at++]);
        out = out << 7 | (c & 0x7F);
        if (!(c & 0x80))
            return true;
    }
    return false;
}

}   // namespace

int64_t WaveDurationMs(std::string_view head, uint64_t fileSize)
{
    if (!IsRiff(head, "WAVE"))
        return -1;
    uint32_t byteRate = 0;
    int64_t dataSize = -1;
    ForEachRiffChunk(head, [&](std::string_view id, std::string_view body, uint64_t size, size_t offset) {
        if (id == "fmt " && body.size() >= 12)
            byteRate = Le32(body, 8);
        else if (id == "data")   // a size past the end of the file counts to the end
            dataSize = static_cast<int64_t>(std::min<uint64_t>(size, fileSize > offset ? fileSize - offset : 0));
        return dataSize >= 0;
    });
    if (byteRate == 0 || dataSize < 0)
        return -1;
    return dataSize * 1000 / byteRate;
}

std::string_view StandardMidiPart(std::string_view bytes)
{
    if (bytes.size() >= 14 && bytes.substr(0, 4) == "MThd")
        return bytes;
    std::string_view found;
    if (IsRiff(bytes, "RMID"))
        ForEachRiffChunk(bytes, [&](std::string_view id, std::string_view body, uint64_t, size_t) {
            if (id == "data" && body.size() >= 14 && body.substr(0, 4) == "MThd")
                found = body;
            return !found.empty();
        });
    return found;
}

TPlayerKind PlayerKindOf(const std::string& nativePath)
{
    const size_t dot = nativePath.rfind('.');
    const size_t slash = nativePath.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        const std::string ext = LowerAscii(nativePath.substr(dot));
        if (ext == ".mid" || ext == ".midi" || ext == ".rmi")
            return TPlayerKind::Midi;
        if (ext == ".mp3" || ext == ".wav" || ext == ".ogg" || ext == ".mp4" || ext == ".wma" || ext == ".m4a")
            return TPlayerKind::Media;
    }
    const std::string head = ReadFileBytes(nativePath, 4096);
    return StandardMidiPart(head).empty() ? TPlayerKind::Media : TPlayerKind::Midi;
}

bool TMidiTiming::Parse(std::string_view smf)
{
    tempos_.clear();
    totalTicks_ = 0;
    smpteTicksPerSecond_ = 0;
    if (smf.size() < 14 || smf.substr(0, 4) != "MThd" || Be32(smf, 4) < 6)
        return false;
    const uint16_t tracks = Be16(smf, 10);
    const uint16_t division = Be16(smf, 12);
    if (division & 0x8000) {
        const int fps = -static_cast<int8_t>(division >> 8);
        const double rate = fps == 29 ? 29.97 : fps;
        smpteTicksPerSecond_ = rate * (division & 0xFF);
        if (smpteTicksPerSecond_ <= 0)
            return false;
        division_ = division & 0xFF;
    } else {
        if (division == 0)
            return false;
        division_ = division;
    }
    size_t at = 8 + Be32(smf, 4);
    for (uint16_t n = 0; n < tracks && at + 8 <= smf.size(); ++n) {
        const uint32_t len = Be32(smf, at + 4);
        const bool isTrack = smf.substr(at, 4) == "MTrk";
        const std::string_view t = smf.substr(at + 8, std::min<size_t>(len, smf.size() - at - 8));
        at += 8 + std::min<size_t>(len, smf.size() - at - 8);
        if (!isTrack) {
            --n;   // foreign chunks do not count as tracks
            continue;
        }
        size_t p = 0;
        int64_t tick = 0;
        uint8_t running = 0;
        uint32_t delta = 0;
        while (p < t.size() && ReadVlq(t, p, delta)) {
            tick += delta;
            if (p >= t.size())
                break;
            uint8_t status = uint8_t(t[p]);
            if (status & 0x80)
                ++p;
            else if (running)
                status = running;   // running status: the byte is the first data byte
            else
                break;
            if (status == 0xFF) {
                if (p >= t.size())
                    break;
                const uint8_t type = uint8_t(t[p++]);
                uint32_t mlen = 0;
                if (!ReadVlq(t, p, mlen) || p + mlen > t.size())
                    break;
                if (type == 0x51 && mlen == 3)
                    tempos_.emplace_back(tick, int64_t(uint8_t(t[p])) << 16 | int64_t(uint8_t(t[p + 1])) << 8 |
                                                   int64_t(uint8_t(t[p + 2])));
                p += mlen;
                if (type == 0x2F)
                    break;
            } else if (status == 0xF0 || status == 0xF7) {
                uint32_t slen = 0;
                if (!ReadVlq(t, p, slen) || p + slen > t.size())
                    break;
                p += slen;
            } else {
                running = status;
                const uint8_t type = status & 0xF0;
                p += (type == 0xC0 || type == 0xD0) ? 1 : 2;
            }
        }
        totalTicks_ = std::max(totalTicks_, tick);
    }
    std::stable_sort(tempos_.begin(), tempos_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return true;
}

int64_t TMidiTiming::TicksToMs(int64_t ticks) const
{
    if (smpteTicksPerSecond_ > 0)
        return static_cast<int64_t>(ticks * 1000.0 / smpteTicksPerSecond_);
    double us = 0;
    int64_t lastTick = 0, tempo = 500000;   // 120 quarters a minute until told otherwise
    for (const auto& [t, v] : tempos_) {
        if (t >= ticks)
            break;
        us += double(t - lastTick) * tempo / division_;
        lastTick = t;
        tempo = v;
    }
    us += double(ticks - lastTick) * tempo / division_;
    return static_cast<int64_t>(us / 1000);
}

int64_t TMidiTiming::MsToTicks(int64_t ms) const
{
    if (smpteTicksPerSecond_ > 0)
        return static_cast<int64_t>(ms * smpteTicksPerSecond_ / 1000.0);
    const double target = double(ms) * 1000;
    double us = 0;
    int64_t lastTick = 0, tempo = 500000;
    for (const auto& [t, v] : tempos_) {
        const double next = us + double(t - lastTick) * tempo / division_;
        if (next >= target)
            break;
        us = next;
        lastTick = t;
        tempo = v;
    }
    return lastTick + static_cast<int64_t>((target - us) * division_ / tempo);
}
