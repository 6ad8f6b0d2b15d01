// Music playback: Ogg Vorbis decoded whole into memory, mixed in integers by a
// software mixer into 44100 Hz stereo S16, pulled in blocks of at most 4096
// frames by the output thread (SDL2 audio), in step with MilliSecs: what the
// device could not play in time is dropped, not carried, and sound a
// PulseAudio server shows early is held back with silence. Without an audio
// driver the silent "Null" driver is used and every call succeeds doing nothing.
// At most 4095 channels exist at once; a channel is a small handle with a
// generation count, so a handle kept after its channel ended is ignored.
// Sounds and channels are made on the main thread; the audio thread touches
// only preallocated memory and takes no lock. With every handle in use,
// PlaySound and CueSound give the empty handle 0, on which calls do nothing.
// Sounds: regular Ogg Vorbis files of at most 32 MB, mono or stereo, of at
// most 5 minutes at 48000 Hz (55 MB decoded, a second or two of decoding);
// memory grows with what is decoded, and the length is what decodes, not what
// the stream announces.
// A chained file (a second stream after the first) is refused. The setup
// header may declare at most 2^18 codebook entries and 2^20 entry values
// (entries times dimensions) in all, checked before libvorbis sees it, which
// bounds the decoder's tables to a few tens of MB; the demo's soundtrack
// declares 11 693 and 63 414.
#pragma once

#include <cstdint>

const int64_t kMaxSoundFileBytes = int64_t(32) << 20;
const int64_t kMaxSoundFrames = int64_t(5) * 60 * 48000;
const int64_t kMaxCodebookEntries = int64_t(1) << 18;
const int64_t kMaxCodebookValues = int64_t(1) << 20;

struct TAudioSample {
    int length = 0;   // frames
    int rate = 0;     // Hz
    int channels = 0; // 1 or 2
    // Interleaved, host byte order: length + 1 frames, the last one spare
    // room for the mixer, so that a sound needs no second copy.
    int16_t* samples = nullptr;
    ~TAudioSample();
};

struct TMixerSample;

struct TSound {
    TAudioSample* sample = nullptr; // the decoded frames, owned by mixer_sample
    int loop = 0;
    TMixerSample* mixer_sample = nullptr; // shared with the channels playing it
    ~TSound();
};

struct TChannel {
    uint32_t handle = 0; // 0: no channel
};

// Decodes the whole file, spare frame included; null, printing nothing, when
// it cannot be opened, is not mono or stereo Ogg Vorbis within the limits, or
// fails to decode.
TAudioSample* LoadAudioSample(const char* path);
TSound* LoadSound(const char* path, int flags = 0); // flags bit 0: loop
// Why the last LoadSound or LoadAudioSample failed: "path: reason", with
// libvorbis's meaning of its error code for a damaged file.
const char* SoundLoadError();
// After a load that succeeded, "path: what is wrong" when the stream ends
// early (no end-of-stream page); "" otherwise.
const char* SoundLoadNote();
// Makes a sound of decoded frames (taking ownership, spare frame included);
// null if unusable.
TSound* CreateSound(TAudioSample* sample, int flags = 0);
TChannel PlaySound(TSound* sound); // new channel, released when it stops
TChannel PlaySound(TSound* sound, TChannel channel);
// A new channel heard from its first frame at start_ms (MilliSecs), when that
// is no sooner than SoundStartMs said; a start already past begins part-way in.
TChannel PlaySoundAt(TSound* sound, int32_t start_ms);
TChannel CueSound(TSound* sound); // new channel, paused
TChannel CueSound(TSound* sound, TChannel channel);
void SetChannelVolume(TChannel channel, float volume);
void ResumeChannel(TChannel channel);

// Name of the driver in use ("SDL", "Null" or "Manual"), starting it if needed.
const char* AudioDriverName();
// False while no device plays the mix: none was found, or it went away and is
// being looked for again (a lost device is opened again by a background
// thread, and the sound resumes where the clock is).
bool AudioDeviceOpen();
// The earliest MilliSecs time at which a sound started now is heard from
// its first frame: 20 ms from now, or later where the device already holds
// what was written before. First waits, at most max_wait_ms of real time,
// until a new device's first pulls have been compared with its server's
// latency (0.4 to 2 s after it opened, on PulseAudio): a sound started
// before could be heard late, then skip.
int32_t SoundStartMs(int max_wait_ms);
// Stops the output and releases the device (also run at process exit).
void ShutdownAudio();

// --- Test and capture seams --------------------------------------------
// Selects the driver before first use: "SDL", "Null", or "Manual" (no output
// thread; the caller pulls blocks with AudioMixBlock, e.g. to write a file).
void SetAudioDriver(const char* name);
// Mixes the next frames into interleaved stereo S16, in blocks of at most
// 4096; silence unless the Manual driver is in use.
void AudioMixBlock(int16_t* out, int frames);
// Observes the channel table (main thread): the live channels (at most max
// of them; returns how many live), and the volume and pause state of one as
// the mixer holds them (-1 for a handle that is not live).
int ListChannels(TChannel* out, int max);
float ChannelVolume(TChannel channel);
int ChannelPaused(TChannel channel);
