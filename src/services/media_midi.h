// MIDI playback with the FluidSynth synthesiser and a General MIDI soundfont.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/player.h"

// The soundfont to use: $PORUKANA_SOUNDFONT when it names a file, else the system's
// default General MIDI soundfont; empty when there is none.
std::string FindSoundFont();

// A player of standard MIDI and RIFF MIDI files. It sounds through PulseAudio (or
// ALSA) while it plays; without an audio device it keeps time all the same, so that
// its modes and its end are what they would be.
std::unique_ptr<IMediaPlayer> NewMidiPlayer();

// Renders a MIDI file without any device: interleaved stereo 16-bit samples at
// 44100 Hz, up to the end of its last note or maxMs. False with a message.
bool RenderMidi(const std::string& path, int64_t maxMs, std::vector<int16_t>& samples, std::string& error);
