#include "platform/icon.h"

#include "platform/pixmap.h"
#include "platform/x11_errors.h"

#include <SDL_syswm.h>

#include <algorithm>
#include <memory>

void SetWindowIconFromData(SDL_Window* window) {
    std::unique_ptr<TPixmap> icon(LoadPixmapPNG("data/icon.png"));
    if (icon && icon->format != PF_RGBA8888) icon.reset(PixmapToRGBA(icon.get()));
    const int side = icon ? std::max(icon->width, icon->height) : 0;
    if (side > kMaxIconSide) // the shape kept
        icon.reset(ResizePixmap(icon.get(), std::max(1, icon->width * kMaxIconSide / side),
                                std::max(1, icon->height * kMaxIconSide / side)));
    if (!icon) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        icon->pixels, icon->width, icon->height, 32, icon->pitch, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        XErrorTrap trap(info.info.x11.display); // a refused icon leaves the window without one
        SDL_SetWindowIcon(window, surface);
        trap.Clean();
    } else {
        SDL_SetWindowIcon(window, surface);
    }
    SDL_FreeSurface(surface);
}
