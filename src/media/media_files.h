// What the players need to know about sound files without decoding them: the length
// of a wave sound, the standard MIDI file inside a .mid or .rmi file and the timing of
// a MIDI sequence (ticks to milliseconds through its tempo changes).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/file_io.h"

// Bytes of a file (at most maxBytes); empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& nativePath, size_t maxBytes = 64u << 20)
{
    return ReadFileHead(nativePath, maxBytes);
}

// The playing time of a RIFF wave file in milliseconds from its first bytes (the
// chunks up to "data") and the size of the whole file; -1 when it is no wave file.
int64_t WaveDurationMs(std::string_view head, uint64_t fileSize);

// The standard MIDI file in bytes: the bytes themselves when they start with "MThd",
// the "data" chunk of a RIFF MIDI (RMID) file; empty otherwise.
std::string_view StandardMidiPart(std::string_view bytes);

// The tempo map of a standard MIDI file.
class TMidiTiming {
public:
    // False when the bytes are no standard MIDI file (or the header is damaged).
    bool Parse(std::string_view smf);
    int Division() const { return division_; }
    int64_t TotalTicks() const { return totalTicks_; }
    int64_t TicksToMs(int64_t ticks) const;
    int64_t MsToTicks(int64_t ms) const;
    int64_t LengthMs() const { return TicksToMs(totalTicks_); }

private:
    int division_ = 96;
    double smpteTicksPerSecond_ = 0;                    // > 0 for SMPTE time division
    std::vector<std::pair<int64_t, int64_t>> tempos_;   // (tick, microseconds per quarter), sorted
    int64_t totalTicks_ = 0;
};
