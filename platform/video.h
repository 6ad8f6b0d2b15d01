// The connection to the display server through SDL's video subsystem, with
// the stop signals installed first. A connection that shows nothing (SDL's
// offscreen or dummy fallbacks) counts as none unless a hidden display was
// asked for. Without a display: "ninefold: no display: <reason>", exit 1.
// Internal to platform/; main thread.
#pragma once

void OpenVideo(bool hidden); // once; later calls return at once
void CloseVideo();
