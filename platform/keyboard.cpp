#include "platform/keyboard.h"

#include <SDL.h>

namespace {

const int kKeyCount = 256;

struct KeyboardState {
    bool down[kKeyCount] = {};
    int hits[kKeyCount] = {};
};

KeyboardState keyboard;

// Maps SDL key codes onto the demo's key code space (see the header).
int KeyCode(SDL_Keycode k) {
    if (k == SDLK_ESCAPE) return kEscapeKey;
    if (k == SDLK_RETURN || k == SDLK_KP_ENTER) return 13;
    if (k == SDLK_SPACE) return 32;
    if (k == SDLK_BACKSPACE) return 8;
    if (k == SDLK_TAB) return 9;
    if (k >= SDLK_0 && k <= SDLK_9) return 48 + (k - SDLK_0);
    if (k >= SDLK_a && k <= SDLK_z) return 65 + (k - SDLK_a);
    if (k == SDLK_LEFT) return 37;
    if (k == SDLK_UP) return 38;
    if (k == SDLK_RIGHT) return 39;
    if (k == SDLK_DOWN) return 40;
    return -1;
}

void KeyEvent(int key, bool down) {
    if (key < 0 || key >= kKeyCount) return;
    if (down && !keyboard.down[key]) ++keyboard.hits[key];
    keyboard.down[key] = down;
}

} // namespace

int KeyHit(int key) {
    PollDisplayEvents();
    if (key < 0 || key >= kKeyCount) return 0;
    int n = keyboard.hits[key];
    keyboard.hits[key] = 0;
    return n;
}

void InjectKeyDown(int key) {
    KeyEvent(key, true);
}
void InjectKeyUp(int key) {
    KeyEvent(key, false);
}

void KeyboardEvent(int sdl_key, bool down) {
    KeyEvent(KeyCode(sdl_key), down);
}

void ClearKeys() {
    keyboard = KeyboardState();
}
