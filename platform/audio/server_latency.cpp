#include "platform/audio/server_latency.h"
#include "platform/clock.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace {

constexpr int64_t kAnswerNs = 100 * 1000000;

// The watcher and the device's thread both ask, one at a time.
std::mutex asking;
pa_mainloop* server_loop = nullptr;
pa_context* server_context = nullptr;

// Runs the loop until done() or the deadline (on the monotonic clock: the
// demo's clock may be scripted); false on the deadline or a loop error.
template <class Done> bool RunUntil(Done done, int64_t deadline_ns) {
    while (!done()) {
        const int64_t left_ns = deadline_ns - MonotonicNs();
        if (left_ns <= 0 || pa_mainloop_prepare(server_loop, int(left_ns / 1000)) < 0 ||
            pa_mainloop_poll(server_loop) < 0 || pa_mainloop_dispatch(server_loop) < 0)
            return false;
    }
    return true;
}

bool Connect(int64_t deadline_ns) {
    server_loop = pa_mainloop_new();
    if (!server_loop) return false;
    server_context = pa_context_new(pa_mainloop_get_api(server_loop), "ninefold clock");
    if (!server_context ||
        pa_context_connect(server_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    auto settled = [] {
        const pa_context_state_t s = pa_context_get_state(server_context);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    };
    return RunUntil(settled, deadline_ns) &&
           pa_context_get_state(server_context) == PA_CONTEXT_READY;
}

struct Answer {
    bool done = false;
    bool found = false;
    double ms = 0;
    double queued_ms = 0;
    double asks_ms = 0;
};

// A buffer attribute PipeWire's layer lists among the stream's properties,
// in bytes; 0 where it is not there.
long Attribute(const pa_sink_input_info* info, const char* name) {
    const char* value = pa_proplist_gets(info->proplist, name);
    return value ? std::atol(value) : 0;
}

void OnSinkInput(pa_context*, const pa_sink_input_info* info, int eol, void* user) {
    auto* a = static_cast<Answer*>(user);
    if (eol != 0) {
        a->done = true;
        return;
    }
    if (!info || a->found) return;
    const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
    if (!pid || std::atol(pid) != long(getpid())) return;
    a->found = true;
    a->ms = double(info->buffer_usec + info->sink_usec) / 1000;
    a->queued_ms = double(info->buffer_usec) / 1000;
    const long target = Attribute(info, "pulse.attr.tlength");
    const long least = Attribute(info, "pulse.attr.minreq");
    if (least > 0 && target > least && pa_sample_spec_valid(&info->sample_spec))
        a->asks_ms = double(pa_bytes_to_usec(uint64_t(target - least), &info->sample_spec)) / 1000;
}

void Disconnect() {
    if (server_context) {
        pa_context_disconnect(server_context);
        pa_context_unref(server_context);
    }
    if (server_loop) pa_mainloop_free(server_loop);
    server_context = nullptr;
    server_loop = nullptr;
}

} // namespace

void CloseServerLatency() {
    std::lock_guard<std::mutex> hold(asking);
    Disconnect();
}

bool ServerLatencyMs(double* ms, double* queued_ms, double* asks_ms) {
    std::lock_guard<std::mutex> hold(asking);
    const int64_t deadline_ns = MonotonicNs() + kAnswerNs;
    if (server_context && pa_context_get_state(server_context) != PA_CONTEXT_READY) Disconnect();
    if (!server_context && !Connect(deadline_ns)) {
        Disconnect();
        return false;
    }
    Answer a;
    pa_operation* op = pa_context_get_sink_input_info_list(server_context, OnSinkInput, &a);
    if (!op) {
        Disconnect();
        return false;
    }
    const bool answered = RunUntil([&] { return a.done; }, deadline_ns);
    // Unanswered, the reply must not reach this call's Answer later.
    if (!answered) pa_operation_cancel(op);
    pa_operation_unref(op);
    if (!answered) Disconnect();
    if (!answered || !a.found) return false;
    *ms = a.ms;
    if (queued_ms) *queued_ms = a.queued_ms;
    if (asks_ms) *asks_ms = a.asks_ms;
    return true;
}
