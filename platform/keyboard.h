// The polled keyboard: one down flag and one hit counter per key code. A
// key-down counts only when the key was up (auto-repeat does not count);
// losing or gaining the focus clears everything. The only key code is 27,
// Escape: the demo asks for nothing else. Main thread; fed by the display's
// event poll, which the open display hands to KeyHit.
#pragma once

// Key codes the demo asks for by name.
enum { kEscapeKey = 27 };

int KeyHit(int key); // polls events, then returns and clears the presses since the last call

// --- Test seams ---------------------------------------------------------
// Feeds key events as if they came from the keyboard.
void InjectKeyDown(int key);
void InjectKeyUp(int key);

// --- Internal to platform/ ----------------------------------------------
// A key event from SDL (an SDL_Keycode); keys without a code are ignored.
void KeyboardEvent(int sdl_key, bool down);
void ClearKeys();
// The event poll KeyHit runs first: set while a display is open, null after.
using KeyPoll = void (*)();
void SetKeyPoll(KeyPoll poll);
