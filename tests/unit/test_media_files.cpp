// What the players read from sound files themselves: the length of a wave sound,
// the MIDI file inside a RIFF MIDI file, and the tempo map of a MIDI sequence.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "media/media_files.h"

namespace {

std::string Le32(uint32_t v)
{
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string Le16(uint16_t v)
{
    return std::string{char(v), char(v >> 8)};
}
std::string Be32(uint32_t v)
{
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string Be16(uint16_t v)
{
    return std::string{char(v >> 8), char(v)};
}
std::string Chunk(const std::string& id, const std::string& body)
{
    std::string out = id + Le32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() & 1)
        out += '\0';
    return out;
}
std::string Riff(const char* form, const std::string& chunks)
{
    return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + form + chunks;
}
// fmt chunk of 16-bit mono PCM at the rate given.
std::string Fmt(uint32_t rate)
{
    return Chunk("fmt ", Le16(1) + Le16(1) + Le32(rate) + Le32(rate * 2) + Le16(2) + Le16(16));
}

TEST(WaveDuration, FromTheHeader)
{
    const std::string data(22050, '\0');
    const std::string plain = Riff("WAVE", Fmt(22050) + Chunk("data", data));
    EXPECT_EQ(WaveDurationMs(plain, plain.size()), 500);
    // A chunk of odd length before the data is padded to an even size.
    const std::string listed = Riff("WAVE", Fmt(11025) + Chunk("LIST", "abc") + Chunk("data", data));
    EXPECT_EQ(WaveDurationMs(listed, listed.size()), 1000);
    // Only the head was read: the declared size counts, cut at the end of the file.
    const std::string head = plain.substr(0, 60);
    EXPECT_EQ(WaveDurationMs(head, plain.size()), 500);
    EXPECT_EQ(WaveDurationMs(head, plain.size() - 11025), 250);
    // Not a wave file, or one without what it takes.
    EXPECT_EQ(WaveDurationMs("RIFF....AVI LIST", 16), -1);
    EXPECT_EQ(WaveDurationMs(Riff("WAVE", Chunk("data", data)), 22070), -1);
    std::string noRate = Riff("WAVE", Chunk("fmt ", std::string(16, '\0')) + Chunk("data", data));
    EXPECT_EQ(WaveDurationMs(noRate, noRate.size()), -1);
    EXPECT_EQ(WaveDurationMs("", 0), -1);
}

// A track from event bytes (delta times included), closed by an end-of-track event.
std::string Track(const std::string& events)
{
    const std::string body = events + std::string("\x00\xFF\x2F\x00", 4);
    return "MTrk" + Be32(static_cast<uint32_t>(body.size())) + body;
}
std::string Smf(uint16_t format, uint16_t division, const std::string& tracks, uint16_t count)
{
    return "MThd" + Be32(6) + Be16(format) + Be16(count) + Be16(division) + tracks;
}
std::string Tempo(uint32_t us)
{
    return std::string("\xFF\x51\x03", 3) + char(us >> 16) + char(us >> 8) + char(us);
}

TEST(MidiFile, PartInsideRiffMidi)
{
    const std::string smf = Smf(0, 96, Track(""), 1);
    EXPECT_EQ(StandardMidiPart(smf), smf);
    const std::string rmi = Riff("RMID", Chunk("INFO", "x") + Chunk("data", smf));
    EXPECT_EQ(StandardMidiPart(rmi), smf);
    EXPECT_EQ(StandardMidiPart(Riff("RMID", Chunk("INFO", "x"))), "");
    EXPECT_EQ(StandardMidiPart(Riff("RMID", Chunk("data", "not midi at all"))), "");
    EXPECT_EQ(StandardMidiPart(Riff("WAVE", Chunk("data", smf))), "");
    EXPECT_EQ(StandardMidiPart("MThd"), "");
}

TEST(MidiFile, TempoMapAndLength)
{
    // 192 ticks at 120 quarters a minute, then 192 at 240: 1000 + 500 ms.
    const std::string events = std::string("\x00", 1) + Tempo(500000) + std::string("\x00\x90\x3C\x64", 4) +
                               std::string("\x81\x40", 2) + Tempo(250000) +   // delta 192
                               std::string("\x81\x40\x80\x3C\x00", 5);        // delta 192, note off
    TMidiTiming t;
    ASSERT_TRUE(t.Parse(Smf(0, 96, Track(events), 1)));
    EXPECT_EQ(t.TotalTicks(), 384);
    EXPECT_EQ(t.LengthMs(), 1500);
    const struct {
        int64_t ticks, ms;
    } points[] = {{0, 0}, {96, 500}, {192, 1000}, {288, 1250}, {384, 1500}};
    for (const auto& p : points) {
        EXPECT_EQ(t.TicksToMs(p.ticks), p.ms) << p.ticks;
        EXPECT_EQ(t.MsToTicks(p.ms), p.ticks) << p.ms;
    }
}

TEST(MidiFile, TracksRunningStatusAndDamage)
{
    // Format 1: the tempo in the first track, a longer second track with running
    // status and a system-exclusive message; the longest track gives the length.
    const std::string conductor = std::string("\x00", 1) + Tempo(1000000);
    const std::string notes = std::string("\x00\x90\x40\x60", 4) + std::string("\x60\x41\x60", 3) +   // running
                              std::string("\x00\xF0\x03\x7E\x7F\xF7", 6) + std::string("\x60\xC0\x05", 3) +
                              std::string("\x60\x80\x40\x00", 4);
    TMidiTiming t;
    ASSERT_TRUE(t.Parse(Smf(1, 96, Track(conductor) + "XFIH" + Be32(2) + "ab" + Track(notes), 2)));
    EXPECT_EQ(t.TotalTicks(), 288);
    EXPECT_EQ(t.LengthMs(), 3000);
    // SMPTE division: 25 frames of 40 ticks make 1000 ticks a second.
    ASSERT_TRUE(t.Parse(Smf(0, static_cast<uint16_t>(0xE728), Track(std::string("\x87\x68\x90\x40\x60", 5)), 1)));
    EXPECT_EQ(t.TotalTicks(), 1000);
    EXPECT_EQ(t.LengthMs(), 1000);
    EXPECT_EQ(t.MsToTicks(250), 250);
    // A track cut short keeps what could be read.
    std::string cut = Smf(0, 96, Track(std::string("\x60\x90\x40\x60\x60\x80", 6)), 1);
    cut.resize(cut.size() - 4);
    ASSERT_TRUE(t.Parse(cut));
    EXPECT_EQ(t.TotalTicks(), 192);
    // No header, a division of 0, a file that is too short.
    EXPECT_FALSE(t.Parse("RIFF"));
    EXPECT_FALSE(t.Parse(Smf(0, 0, Track(""), 1)));
    EXPECT_FALSE(t.Parse(std::string("MThd\0\0\0\x06\0\0", 10)));
}

}   // namespace
