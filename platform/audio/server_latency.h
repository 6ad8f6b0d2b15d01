// How long until what this process writes to its playback stream is heard,
// as a PulseAudio server (or PipeWire's PulseAudio layer) reports it: the
// stream's queue in the server and the sink's own latency, which SDL does
// not report. The connection is made on first use and again after a
// failure; every call returns within about 100 ms whatever the server does
// (stopped, gone, slow), and never starts a server. Calls from several
// threads wait for one another.
#pragma once

// The latency of this process's playback stream, in ms, and of it what the
// stream's queue holds (0: it ran dry); false when there is no server, no
// stream of ours on it, or no answer in time. PipeWire's PulseAudio layer
// reports 0 for both, but gives the stream's buffer attributes: asks_ms is
// then the level its queue is down to when it asks for more (target length
// less the least request), which the latency in steady play is not below;
// 0 where the server gives none.
bool ServerLatencyMs(double* ms, double* queued_ms, double* asks_ms = nullptr);
// Drops the connection (safe when there is none).
void CloseServerLatency();
