#include "tools/gen/synth.h"

#include <algorithm>
#include <cmath>

namespace {

const double kTwoPi = 6.283185307179586;

struct Noise {
    uint32_t s;
    explicit Noise(uint32_t seed) : s(seed) {}
    float next() {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return float(s) / 2147483648.f - 1.f;
    }
};

// Band-limited saw (polyBLEP): phase in 0..1, dt = hz / rate.
float saw(double phase, double dt) {
    float v = float(2 * phase - 1);
    if (phase < dt) {
        double x = phase / dt;
        v -= float(x + x - x * x - 1);
    } else if (phase > 1 - dt) {
        double x = (phase - 1) / dt;
        v -= float(x * x + x + x + 1);
    }
    return v;
}

// Two-pole state-variable low-pass (trapezoidal), coefficient set per block.
struct Lowpass {
    float ic1 = 0, ic2 = 0, g = 0, k = 1.f, a1 = 0, a2 = 0, a3 = 0;
    void set(float hz, float q) {
        hz = std::clamp(hz, 20.f, 18000.f);
        g = float(std::tan(3.14159265 * hz / kRate));
        k = 1.f / q;
        a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    }
    float run(float x) {
        float v3 = x - ic2, v1 = a1 * ic1 + a2 * v3, v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1, ic2 = 2 * v2 - ic2;
        return v2;
    }
};

struct Highpass {
    float prev_in = 0, prev_out = 0, a = 0;
    explicit Highpass(float hz) { a = float(1 / (1 + kTwoPi * hz / kRate)); }
    float run(float x) {
        prev_out = a * (prev_out + x - prev_in);
        prev_in = x;
        return prev_out;
    }
};

size_t start_of(const Bus& b, double t) {
    return std::min(b.size(), size_t(std::max(0.0, t) * kRate));
}

void put(Bus& b, size_t i, float v, float pan) { // pan -1..1, equal power
    if (i >= b.size()) return;
    float a = (pan + 1) * 0.785398f;
    b.l[i] += v * std::cos(a) * 1.4142f;
    b.r[i] += v * std::sin(a) * 1.4142f;
}

float adsr(double x, double dur, double a, double d, float s, double r) {
    float e;
    if (x < a)
        e = float(x / a);
    else if (x < a + d)
        e = float(1 - (1 - s) * (x - a) / d);
    else
        e = s;
    if (x > dur) e *= float(std::max(0.0, 1 - (x - dur) / r));
    return e;
}

} // namespace

double midi_hz(double note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

void kick(Bus& b, double t, float vel) {
    size_t i0 = start_of(b, t), n = size_t(0.45 * kRate);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        double hz = 46 + 110 * std::exp(-x * 28);
        phase += hz / kRate;
        float env = float(std::exp(-x * 7.5));
        float v = float(std::sin(kTwoPi * phase)) * env;
        v += float(std::exp(-x * 400)) * 0.4f; // click
        put(b, i0 + i, std::tanh(v * 1.6f) * vel * 0.85f, 0);
    }
}

void clap(Bus& b, double t, float vel) {
    Noise nz(uint32_t(t * 1000) + 7);
    Lowpass lp;
    lp.set(2200, 0.9f);
    Highpass hp(700);
    size_t i0 = start_of(b, t), n = size_t(0.35 * kRate);
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        // Three quick bursts, then a tail: hands not quite together.
        double burst = std::fmod(x, 0.011);
        float env = x < 0.033 ? float(std::exp(-burst * 300)) : float(std::exp(-(x - 0.033) * 14));
        float v = hp.run(lp.run(nz.next())) * env * 1.6f;
        put(b, i0 + i, v * vel, 0.1f);
    }
}

void snare(Bus& b, double t, float vel) {
    Noise nz(uint32_t(t * 1000) + 11);
    Highpass hp(1200);
    size_t i0 = start_of(b, t), n = size_t(0.3 * kRate);
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        float body = float(std::sin(kTwoPi * 185 * x) * std::exp(-x * 30)) * 0.6f;
        float v = body + hp.run(nz.next()) * float(std::exp(-x * 18)) * 0.7f;
        put(b, i0 + i, v * vel, -0.05f);
    }
}

void hat(Bus& b, double t, float vel, bool open) {
    Noise nz(uint32_t(t * 1000) + 3);
    Highpass hp(7000), hp2(7000);
    size_t i0 = start_of(b, t), n = size_t((open ? 0.35 : 0.06) * kRate);
    double decay = open ? 9 : 70;
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        float v = hp2.run(hp.run(nz.next())) * float(std::exp(-x * decay));
        put(b, i0 + i, v * vel * 0.9f, 0.25f);
    }
}

void crash(Bus& b, double t, float vel) {
    Noise nl(uint32_t(t * 1000) + 5), nr(uint32_t(t * 1000) + 9);
    Highpass hl(3500), hr(3500);
    size_t i0 = start_of(b, t), n = size_t(2.5 * kRate);
    for (size_t i = 0; i + i0 < b.size() && i < n; ++i) {
        double x = double(i) / kRate;
        float env = float(std::exp(-x * 2.2)) * std::min(1.f, float(x * 400));
        b.l[i0 + i] += hl.run(nl.next()) * env * vel * 0.5f;
        b.r[i0 + i] += hr.run(nr.next()) * env * vel * 0.5f;
    }
}

void tom(Bus& b, double t, float vel, double hz) {
    size_t i0 = start_of(b, t), n = size_t(0.4 * kRate);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        phase += hz * (1 + 0.6 * std::exp(-x * 20)) / kRate;
        float v = float(std::sin(kTwoPi * phase) * std::exp(-x * 9));
        put(b, i0 + i, v * vel * 0.7f, float(std::sin(hz)) * 0.4f);
    }
}

void riser(Bus& b, double t0, double t1, float vel) {
    Noise nz(uint32_t(t0 * 1000) + 13);
    Lowpass lp;
    size_t i0 = start_of(b, t0), i1 = start_of(b, t1);
    for (size_t i = i0; i < i1; ++i) {
        double u = double(i - i0) / double(i1 - i0);
        if ((i - i0) % 32 == 0) lp.set(float(300 + 9000 * u * u), 2.5f);
        float v = lp.run(nz.next()) * float(u * u) * vel;
        float pan = float(std::sin(u * 20)) * 0.5f;
        put(b, i, v, pan);
    }
}

void zap(Bus& b, double t, float vel) {
    size_t i0 = start_of(b, t), n = size_t(0.25 * kRate);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        phase += (2400 * std::exp(-x * 14) + 90) / kRate;
        float v = float(std::sin(kTwoPi * phase) * std::exp(-x * 12));
        put(b, i0 + i, v * vel, float(std::sin(x * 40)) * 0.6f);
    }
}

void bass(Bus& b, double t, double dur, int note, float vel, float cutoff) {
    double hz = midi_hz(note), dt = hz / kRate;
    size_t i0 = start_of(b, t), n = size_t((dur + 0.05) * kRate);
    Lowpass lp;
    double p1 = 0, p2 = 0.5;
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        if (i % 32 == 0) lp.set(cutoff * (1 + 3 * float(std::exp(-x * 12))), 1.4f);
        p1 += dt, p2 += dt * 1.004;
        p1 -= std::floor(p1), p2 -= std::floor(p2);
        float osc = saw(p1, dt) * 0.6f + saw(p2, dt * 1.004) * 0.4f;
        float sub = float(std::sin(kTwoPi * p1 * 0.5 + 1)) * 0.0f;
        float env = adsr(x, dur, 0.004, 0.12, 0.7f, 0.05);
        put(b, i0 + i, (lp.run(osc) + sub + float(std::sin(kTwoPi * p1)) * 0.35f) * env * vel, 0);
    }
}

void supersaw(Bus& b, double t, double dur, int note, float vel, double attack, double release,
              float cutoff) {
    const int voices = 5;
    const double det[voices] = {-0.11, -0.045, 0, 0.05, 0.12}; // semitones
    double ph[voices], dts[voices];
    for (int v = 0; v < voices; ++v) {
        dts[v] = midi_hz(note + det[v]) / kRate;
        ph[v] = std::fmod(0.137 * (v + 1) * (note + 1), 1.0);
    }
    size_t i0 = start_of(b, t), n = size_t((dur + release) * kRate);
    Lowpass ll, lr;
    for (size_t i = 0; i < n && i0 + i < b.size(); ++i) {
        double x = double(i) / kRate;
        if (i % 32 == 0) ll.set(cutoff, 0.8f), lr.set(cutoff * 1.03f, 0.8f);
        float sl = 0, sr = 0;
        for (int v = 0; v < voices; ++v) {
            ph[v] += dts[v];
            ph[v] -= std::floor(ph[v]);
            float s = saw(ph[v], dts[v]);
            float w = (v - 2) / 2.f; // spread voices across the stereo field
            sl += s * (1 - w) * 0.5f, sr += s * (1 + w) * 0.5f;
        }
        float env = adsr(x, dur, attack, 0.2, 0.85f, release);
        b.l[i0 + i] += ll.run(sl) * env * vel * 0.35f;
        b.r[i0 + i] += lr.run(sr) * env * vel * 0.35f;
    }
}

void pluck(Bus& b, double t, int note, float vel, float pan) {
    double dt = midi_hz(note) / kRate, ph = 0;
    size_t i0 = start_of(b, t), n = size_t(0.5 * kRate);
    Lowpass lp;
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        if (i % 32 == 0) lp.set(float(500 + 5000 * std::exp(-x * 25)), 1.2f);
        ph += dt;
        ph -= std::floor(ph);
        float v = lp.run(saw(ph, dt) + (ph < 0.5 ? 0.3f : -0.3f)) * float(std::exp(-x * 9));
        put(b, i0 + i, v * vel * 0.5f, pan);
    }
}

void lead(Bus& b, double t, double dur, int note, float vel) {
    double hz = midi_hz(note), ph1 = 0, ph2 = 0.3;
    size_t i0 = start_of(b, t), n = size_t((dur + 0.25) * kRate);
    Lowpass lp;
    for (size_t i = 0; i < n; ++i) {
        double x = double(i) / kRate;
        // Vibrato fades in on held notes.
        double vib =
            1 + 0.004 * std::sin(kTwoPi * 5.5 * x) * std::min(1.0, std::max(0.0, x - 0.15) * 3);
        double dt = hz * vib / kRate;
        ph1 += dt, ph2 += dt * 1.0035;
        ph1 -= std::floor(ph1), ph2 -= std::floor(ph2);
        if (i % 32 == 0) lp.set(float(1800 + 3500 * std::exp(-x * 6)), 1.1f);
        float sq = (ph2 < 0.5 ? 0.5f : -0.5f);
        float v = lp.run(saw(ph1, dt) * 0.7f + sq * 0.5f);
        put(b, i0 + i, v * adsr(x, dur, 0.01, 0.3, 0.75f, 0.22) * vel * 0.5f, 0);
    }
}

void bell(Bus& b, double t, int note, float vel, double decay, float pan) {
    double hz = midi_hz(note);
    size_t i0 = start_of(b, t), n = size_t(decay * 5 * kRate);
    for (size_t i = 0; i < n && i0 + i < b.size(); ++i) {
        double x = double(i) / kRate;
        double index = 2.2 * std::exp(-x * 3);
        double m = std::sin(kTwoPi * hz * 3.5 * x) * index;
        float env = float(std::exp(-x / decay)) * std::min(1.f, float(x * 300));
        float v = float(std::sin(kTwoPi * hz * x + m) + 0.25 * std::sin(kTwoPi * hz * 2 * x)) * env;
        put(b, i0 + i, v * vel * 0.4f, pan);
    }
}

void reverb_into(const Bus& in, Bus& out, float wet) {
    const int combs[8] = {1557, 1617, 1491, 1422, 1277, 1356, 1188, 1116};
    const int allp[4] = {556, 441, 341, 225};
    for (int side = 0; side < 2; ++side) {
        const std::vector<float>& src = side ? in.r : in.l;
        std::vector<float>& dst = side ? out.r : out.l;
        int spread = side ? 23 : 0;
        std::vector<float> acc(src.size(), 0.f);
        for (int c = 0; c < 8; ++c) {
            std::vector<float> buf(size_t(combs[c] + spread), 0.f);
            float store = 0;
            size_t pos = 0;
            for (size_t i = 0; i < src.size(); ++i) {
                float y = buf[pos];
                store = y * 0.7f + store * 0.3f; // damping
                buf[pos] = src[i] * 0.015f + store * 0.86f;
                acc[i] += y;
                if (++pos == buf.size()) pos = 0;
            }
        }
        for (int a = 0; a < 4; ++a) {
            std::vector<float> buf(size_t(allp[a] + spread), 0.f);
            size_t pos = 0;
            for (size_t i = 0; i < acc.size(); ++i) {
                float bo = buf[pos];
                buf[pos] = acc[i] + bo * 0.5f;
                acc[i] = bo - acc[i];
                if (++pos == buf.size()) pos = 0;
            }
        }
        for (size_t i = 0; i < dst.size() && i < acc.size(); ++i)
            dst[i] += acc[i] * wet;
    }
}

void pingpong_into(const Bus& in, Bus& out, double delay_s, float fb, float wet) {
    size_t d = size_t(delay_s * kRate);
    std::vector<float> l(in.size(), 0.f), r(in.size(), 0.f);
    for (size_t i = 0; i < in.size(); ++i) {
        float dl = i >= d ? r[i - d] : 0.f, dr = i >= d ? l[i - d] : 0.f;
        l[i] = (in.l[i] + in.r[i]) * 0.5f + dl * fb;
        r[i] = dr * 1.0f;
        out.l[i] += dl * wet;
        out.r[i] += dr * wet;
    }
}

void duck(Bus& b, const std::vector<double>& kicks, float depth) {
    size_t k = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = double(i) / kRate;
        while (k + 1 < kicks.size() && kicks[k + 1] <= t)
            ++k;
        if (kicks.empty() || kicks[k] > t) continue;
        double x = t - kicks[k];
        float g = 1 - depth * float(std::exp(-x * 9));
        b.l[i] *= g, b.r[i] *= g;
    }
}

void mix_into(Bus& dst, const Bus& src, float gain) {
    for (size_t i = 0; i < dst.size() && i < src.size(); ++i) {
        dst.l[i] += src.l[i] * gain;
        dst.r[i] += src.r[i] * gain;
    }
}
