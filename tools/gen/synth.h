// Instruments and effects of the soundtrack: each call renders one note (or
// one drum hit) additively into a stereo bus at a time in seconds. All
// synthesis is plain arithmetic with fixed noise seeds, so a song renders to
// the same samples on every run. 44100 Hz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kRate = 44100;

struct Bus {
    std::vector<float> l, r;
    explicit Bus(double seconds) : l(size_t(seconds * kRate), 0.f), r(l.size(), 0.f) {}
    size_t size() const { return l.size(); }
};

double midi_hz(double note);

void kick(Bus& b, double t, float vel);
void clap(Bus& b, double t, float vel);
void snare(Bus& b, double t, float vel);
void hat(Bus& b, double t, float vel, bool open);
void crash(Bus& b, double t, float vel);
void tom(Bus& b, double t, float vel, double hz);
void riser(Bus& b, double t0, double t1, float vel); // filtered noise swell
void zap(Bus& b, double t, float vel);               // falling laser blip

void bass(Bus& b, double t, double dur, int note, float vel, float cutoff_hz);
// Detuned saw stack; attack and release in seconds.
void supersaw(Bus& b, double t, double dur, int note, float vel, double attack, double release,
              float cutoff_hz);
void pluck(Bus& b, double t, int note, float vel, float pan);
void lead(Bus& b, double t, double dur, int note, float vel);
void bell(Bus& b, double t, int note, float vel, double decay, float pan);

// Effects, in place or into another bus.
void reverb_into(const Bus& in, Bus& out, float wet); // Schroeder-Moorer hall
void pingpong_into(const Bus& in, Bus& out, double delay_s, float feedback, float wet);
// Multiplies the bus by a ducking curve that dips after each time in kicks.
void duck(Bus& b, const std::vector<double>& kicks, float depth);
void mix_into(Bus& dst, const Bus& src, float gain);
