#include "platform/keyboard.h"

#include <SDL.h>

namespace {

const int kKeyCount = 256;

struct KeyboardState {
    bool down[kKeyCount] = {};
    int hits[kKeyCount] = {};
};

KeyboardState keyboard;
KeyPoll key_poll = nullptr;

void KeyEvent(int key, bool down) {
    if (key < 0 || key >= kKeyCount) return;
    if (down && !keyboard.down[key]) ++keyboard.hits[key];
    keyboard.down[key] = down;
}

} // namespace

int KeyHit(int key) {
    if (key_poll) key_poll();
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
    if (sdl_key == SDLK_ESCAPE) KeyEvent(kEscapeKey, down);
}

void ClearKeys() {
    keyboard = KeyboardState();
}

void SetKeyPoll(KeyPoll poll) {
    key_poll = poll;
}
