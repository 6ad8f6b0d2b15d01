#include "tools/gen/song.h"

#include "tools/gen/synth.h"

#include <algorithm>
#include <cmath>

namespace {

const double kBar = 2.0, kStep = 0.125; // 16th note at 120 BPM

enum Chord { AM, F, C, G, DM, E, EM };
const int kPad[7][4] = {{57, 60, 64, 67}, {53, 57, 60, 64}, {55, 60, 64, 67}, {55, 59, 62, 67},
                        {57, 62, 65, 69}, {56, 59, 64, 68}, {55, 59, 64, 67}};
const int kRoot[7] = {45, 41, 48, 43, 50, 40, 40};

struct Note {
    int step, len, note;
};
// Main theme, one bar per chord of A minor, F, C, G.
const std::vector<Note> kTheme[4] = {
    {{0, 3, 76}, {3, 1, 74}, {4, 2, 76}, {6, 2, 79}, {8, 4, 81}, {12, 2, 79}, {14, 2, 76}},
    {{0, 3, 77}, {3, 1, 76}, {4, 2, 77}, {6, 2, 81}, {8, 4, 84}, {12, 2, 81}, {14, 2, 77}},
    {{0, 3, 79}, {3, 1, 77}, {4, 2, 76}, {6, 2, 72}, {8, 4, 76}, {12, 2, 74}, {14, 2, 72}},
    {{0, 4, 74}, {4, 2, 71}, {6, 2, 74}, {8, 4, 79}, {12, 2, 77}, {14, 2, 74}}};
// Counter melody over D minor, A minor, F, E.
const std::vector<Note> kDrive[4] = {{{0, 4, 81}, {4, 4, 77}, {8, 4, 74}, {12, 4, 77}},
                                     {{0, 4, 76}, {4, 4, 72}, {8, 8, 69}},
                                     {{0, 4, 77}, {4, 4, 81}, {8, 4, 84}, {12, 4, 81}},
                                     {{0, 8, 80}, {8, 8, 83}}};
// Slow song over F, G, E minor, A minor.
const std::vector<Note> kSlow[4] = {{{0, 6, 72}, {6, 2, 74}, {8, 8, 77}},
                                    {{0, 6, 74}, {6, 2, 76}, {8, 8, 79}},
                                    {{0, 6, 76}, {6, 2, 74}, {8, 8, 71}},
                                    {{0, 12, 72}, {12, 4, 76}}};

Chord chord_of(int bar) {
    static const Chord p1[4] = {AM, F, C, G}, p2[4] = {DM, AM, F, E}, p3[4] = {F, G, EM, AM};
    if (bar >= 64) return bar == 64 ? F : bar == 65 ? G : AM;
    if ((bar >= 24 && bar < 32)) return p2[bar % 4];
    if ((bar >= 32 && bar < 40) || (bar >= 56 && bar < 64)) return p3[bar % 4];
    return p1[bar % 4];
}

struct Mix {
    Bus drums{kSongSeconds}, music{kSongSeconds}, lead{kSongSeconds}, space{kSongSeconds};
    std::vector<double> kicks;
    void kick_at(double t, float v) {
        kick(drums, t, v);
        kicks.push_back(t);
    }
};

void melody(Mix& m, const std::vector<Note>* part, int bar, int transpose, float vel) {
    for (const Note& n : part[bar % 4])
        lead(m.lead, bar * kBar + n.step * kStep, n.len * kStep * 0.92, n.note + transpose, vel);
}

void pad_bar(Mix& m, int bar, float vel, float cutoff, double attack) {
    for (int n : kPad[chord_of(bar)])
        supersaw(m.music, bar * kBar, kBar, n, vel, attack, 0.6, cutoff);
}

void four_floor(Mix& m, int bar, float vel, bool clap_on, bool open_hats) {
    double t0 = bar * kBar;
    for (int beat = 0; beat < 4; ++beat) {
        m.kick_at(t0 + beat * 0.5, vel);
        if (clap_on && beat % 2) clap(m.drums, t0 + beat * 0.5, 0.55f * vel);
        if (open_hats) hat(m.drums, t0 + beat * 0.5 + 0.25, 0.22f * vel, true);
    }
    for (int s = 0; s < 16; ++s)
        hat(m.drums, t0 + s * kStep, (s % 2 ? 0.16f : 0.09f) * vel, false);
}

void bass_bounce(Mix& m, int bar, float vel) { // octave bounce in eighths
    int r = kRoot[chord_of(bar)];
    for (int e = 0; e < 8; ++e)
        bass(m.music, bar * kBar + e * 0.25, 0.2, r + (e % 2 ? 12 : 0), vel, 700);
}

void bass_offbeat(Mix& m, int bar, float vel) {
    int r = kRoot[chord_of(bar)];
    for (int e = 0; e < 4; ++e)
        bass(m.music, bar * kBar + e * 0.5 + 0.25, 0.22, r, vel, 900);
}

void arp(Mix& m, int bar, float vel) {
    static const int order[8] = {0, 1, 2, 3, 2, 1, 3, 0};
    for (int s = 0; s < 16; ++s) {
        int n = kPad[chord_of(bar)][order[s % 8]] + 12;
        pluck(m.music, bar * kBar + s * kStep, n, vel * (s % 4 ? 0.7f : 1.f), s % 2 ? 0.4f : -0.4f);
    }
}

void intro(Mix& m) { // bars 1-8: pad swell, bells, a heartbeat
    const int nine[5] = {57, 60, 64, 67, 71};
    for (int n : nine)
        supersaw(m.music, 0.0, 2.0, n, 0.22f, 2.4, 0.8, 900);
    for (int bar = 1; bar < 8; ++bar)
        pad_bar(m, bar, 0.3f, 900 + 300 * bar, 0.6);
    for (int bar = 2; bar < 8; ++bar)
        for (int e = 0; e < 8; ++e) {
            const int* c = kPad[chord_of(bar)];
            int note = c[(e * 3) % 4] + 12 + (e == 7 ? 12 : 0);
            bell(m.space, bar * kBar + e * 0.25, note, 0.22f, 0.5, e % 2 ? 0.5f : -0.5f);
        }
    for (int bar = 4; bar < 8; ++bar) {
        m.kick_at(bar * kBar, 0.6f);
        for (int e = 0; e < 8; ++e)
            hat(m.drums, bar * kBar + e * 0.25 + 0.125, 0.1f, false);
        bass(m.music, bar * kBar, 1.8, kRoot[chord_of(bar)], 0.35f, 400);
    }
    riser(m.space, 12.0, 16.0, 0.5f);
    for (int s = 8; s < 16; ++s)
        snare(m.drums, 14.0 + s * kStep, 0.1f + 0.04f * s);
}

void fill_toms(Mix& m, int bar) {
    const double hz[4] = {220, 180, 140, 110};
    for (int s = 12; s < 16; ++s)
        tom(m.drums, bar * kBar + s * kStep, 0.8f, hz[s - 12]);
}

} // namespace

std::vector<float> render_song() {
    Mix m;
    intro(m);
    for (int bar = 8; bar < 16; ++bar) { // bars 9-16: the groove arrives
        four_floor(m, bar, 1.f, true, true);
        bass_bounce(m, bar, 0.5f);
        pad_bar(m, bar, 0.16f, 1800, 0.05);
        for (int s : {2, 6, 10, 14})
            for (int n : kPad[chord_of(bar)])
                supersaw(m.music, bar * kBar + s * kStep, 0.09, n + 12, 0.18f, 0.002, 0.12, 4200);
    }
    fill_toms(m, 15);
    for (int bar = 16; bar < 24; ++bar) { // bars 17-24: the theme
        four_floor(m, bar, 1.f, true, true);
        bass_bounce(m, bar, 0.5f);
        pad_bar(m, bar, 0.2f, 2200, 0.1);
        melody(m, kTheme, bar, 0, 0.5f);
    }
    riser(m.space, 46.0, 48.0, 0.4f);
    for (int bar = 24; bar < 32; ++bar) { // bars 25-32: the drive
        four_floor(m, bar, 1.f, true, false);
        bass_offbeat(m, bar, 0.6f);
        arp(m, bar, 0.45f);
        pad_bar(m, bar, 0.14f, 1500, 0.1);
        melody(m, kDrive, bar, 0, 0.42f);
        if (bar % 4 == 3) fill_toms(m, bar);
    }
    for (int bar = 32; bar < 40; ++bar) { // bars 33-40: breakdown
        pad_bar(m, bar, 0.34f, 1200 + 250 * (bar - 32), 0.5);
        melody(m, kSlow, bar, 0, 0.4f);
        bass(m.music, bar * kBar, 1.9, kRoot[chord_of(bar)], 0.3f, 300);
        bell(m.space, bar * kBar, kPad[chord_of(bar)][2] + 24, 0.25f, 1.2, 0.3f);
        if (bar >= 36)
            for (int e = 0; e < 8; ++e)
                hat(m.drums, bar * kBar + e * 0.25 + 0.125, 0.1f, false);
    }
    riser(m.space, 76.0, 80.0, 0.6f);
    for (int s = 0; s < 16; ++s)
        snare(m.drums, 78.0 + s * kStep, 0.12f + 0.035f * s);
    for (int bar = 40; bar < 48; ++bar) { // bars 41-48: the peak, a zap every second
        four_floor(m, bar, 1.05f, true, true);
        bass_bounce(m, bar, 0.55f);
        arp(m, bar, 0.3f);
        pad_bar(m, bar, 0.18f, 2600, 0.05);
        melody(m, kTheme, bar, 12, 0.4f);
        zap(m.space, bar * kBar, 0.25f);
        zap(m.space, bar * kBar + 1.0, 0.2f);
    }
    for (int bar = 48; bar < 56; ++bar) { // bars 49-56: half time
        double t0 = bar * kBar;
        m.kick_at(t0, 1.f);
        m.kick_at(t0 + 1.25, 0.7f);
        snare(m.drums, t0 + 1.0, 0.7f);
        for (int e = 0; e < 8; ++e)
            hat(m.drums, t0 + e * 0.25, e % 2 ? 0.14f : 0.07f, false);
        bass(m.music, t0, 1.9, kRoot[chord_of(bar)], 0.5f, 500);
        pad_bar(m, bar, 0.22f, 1600, 0.3);
        melody(m, kTheme, bar, -12, 0.45f);
        riser(m.space, t0 + 1.0, t0 + 2.0, 0.25f);
        bell(m.space, t0, kPad[chord_of(bar)][0] + 24, 0.22f, 0.9, -0.3f);
    }
    for (int bar = 56; bar < 64; ++bar) { // bars 57-64: the last dance
        double t0 = bar * kBar;
        four_floor(m, bar, 0.85f, false, true);
        snare(m.drums, t0 + 0.5, 0.3f);
        snare(m.drums, t0 + 1.5, 0.3f);
        bass_bounce(m, bar, 0.4f);
        pad_bar(m, bar, 0.24f, 2000, 0.2);
        melody(m, kSlow, bar, 12, 0.35f);
    }
    for (int bar = 64; bar < 68; ++bar) { // bars 65-68: fading out towards the chord
        float fade = 1 - (bar - 64) * 0.2f;
        pad_bar(m, bar, 0.3f * fade, 1400 - 150 * (bar - 64), 0.4);
        for (int e = 0; e < 8; ++e) {
            int note = kPad[chord_of(bar)][(7 - e) % 4] + 24;
            bell(m.space, bar * kBar + e * 0.25, note, 0.16f * fade, 0.6, e % 2 ? 0.5f : -0.5f);
        }
        if (bar < 66) bass(m.music, bar * kBar, 1.9, kRoot[chord_of(bar)], 0.3f * fade, 300);
    }
    // 135 s: the final chord, A minor with an added ninth, ringing to the end.
    for (int n : {45, 57, 64, 67, 71, 72})
        supersaw(m.music, 135.0, 0.6, n, 0.28f, 0.01, 1.4, 2400);
    for (int n : {81, 88, 83})
        bell(m.space, 135.0, n, 0.3f, 0.8, n % 2 ? 0.4f : -0.4f);
    m.kick_at(135.0, 0.8f);
    crash(m.drums, 135.0, 0.5f);
    for (double t : {16.0, 32.0, 48.0, 80.0, 96.0, 112.0})
        crash(m.drums, t, 0.55f);

    duck(m.music, m.kicks, 0.55f);
    Bus out(kSongSeconds);
    mix_into(out, m.drums, 0.9f);
    mix_into(out, m.music, 0.8f);
    mix_into(out, m.lead, 0.55f);
    mix_into(out, m.space, 0.7f);
    Bus sends(kSongSeconds);
    mix_into(sends, m.lead, 0.5f);
    mix_into(sends, m.space, 0.6f);
    pingpong_into(sends, out, 0.375, 0.4f, 0.45f);
    mix_into(sends, m.music, 0.25f);
    mix_into(sends, m.drums, 0.1f);
    reverb_into(sends, out, 0.9f);

    std::vector<float> stereo(out.size() * 2);
    size_t n = out.size();
    for (size_t i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        float g = float(std::min(1.0, (kSongSeconds - t) / 0.4)); // no click at the very end
        stereo[2 * i] = std::tanh(out.l[i] * 0.8f) * g;
        stereo[2 * i + 1] = std::tanh(out.r[i] * 0.8f) * g;
    }
    return stereo;
}
