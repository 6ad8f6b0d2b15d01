// The display's event poll: key presses and focus changes feed the keyboard,
// a pending stop signal is acted on, the desktop's quit requests are refused
// and its terminate notification ends the program with status 0. Internal to
// platform/; main thread, run by Flip and (through the keyboard) KeyHit.
#pragma once

void PollDisplayEvents();
