// The polled keyboard: one down flag and one hit counter per key code. A
// key-down counts only when the key was up (auto-repeat does not count);
// losing or gaining the focus clears everything. Key codes: 27 Escape,
// 13 Return, 32 Space, 8 Backspace, 9 Tab, 48-57 digits, 65-90 letters,
// 37-40 arrows. Main thread; fed by the display's event poll (graphics.cpp).
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
// The display's event poll, which KeyHit runs first (graphics.cpp).
void PollDisplayEvents();
