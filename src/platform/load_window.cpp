#include "platform/load_window.h"

#include <SDL.h>

#include <cmath>
#include <string>

#include "runner/game.h"

namespace tb {

namespace {

// Pixels are 0xAARRGGBB, which is SDL's ARGB8888 on every host byte order.
SDL_Texture* MakeTexture(SDL_Renderer* r, const CBitmap32* b) {
    if (!b || !b->exists || b->width <= 0 || b->height <= 0) return nullptr;
    SDL_Texture* t = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                       b->width, b->height);
    if (t) SDL_UpdateTexture(t, nullptr, b->pixels.data(), b->width * 4);
    return t;
}

}  // namespace

struct LoadWindow::State {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* image = nullptr;
    SDL_Texture* back = nullptr;
    SDL_Texture* front = nullptr;
    int width = 332, height = 92;
    int front_width = 0, front_height = 0;
    bool bar = false, stretch = true;
    SDL_Rect empty{24, 0, 0, 16};
    int percent = 0;

    void Draw() {
        SDL_SetRenderDrawColor(renderer, 0xF0, 0xF0, 0xF0, 0xFF);
        SDL_RenderClear(renderer);
        if (image) SDL_RenderCopy(renderer, image, nullptr, nullptr);
        if (bar) {
            if (back) SDL_RenderCopy(renderer, back, nullptr, &empty);
            // Width of the full part: round(percent * empty width / 100), halves to even.
            int w = int(std::nearbyint(percent * double(empty.w) / 100.0));
            SDL_Rect full{empty.x, empty.y, w, empty.h};
            if (front && w > 0) {
                if (stretch) {
                    SDL_RenderCopy(renderer, front, nullptr, &full);
                } else {
                    SDL_Rect src{0, 0, std::min(w, front_width), std::min(16, front_height)};
                    SDL_Rect dst{full.x, full.y, src.w, src.h};
                    SDL_RenderCopy(renderer, front, &src, &dst);
                }
            }
        }
        SDL_RenderPresent(renderer);
    }

    ~State() {
        for (SDL_Texture* t : {image, back, front})
            if (t) SDL_DestroyTexture(t);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
    }
};

LoadWindow::LoadWindow() = default;
LoadWindow::~LoadWindow() = default;

void LoadWindow::Show(const Game& game) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    const GameSettings& s = game.settings;
    auto st = std::make_unique<State>();
    if (s.LoadingImage && s.LoadingImage->exists) {
        st->width = s.LoadingImage->width;
        st->height = s.LoadingImage->height;
    }
    st->window = SDL_CreateWindow("Tamberlo Player", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  st->width, st->height, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (!st->window) return;
    st->renderer = SDL_CreateRenderer(st->window, -1, SDL_RENDERER_SOFTWARE);
    if (!st->renderer) return;
    st->image = MakeTexture(st->renderer, s.LoadingImage ? &*s.LoadingImage : nullptr);
    st->bar = s.ShowProgressBar;
    st->stretch = s.ScaleProgressBar;
    if (st->bar) {
        st->back = MakeTexture(st->renderer, s.ProgressBackImage ? &*s.ProgressBackImage : nullptr);
        st->front =
            MakeTexture(st->renderer, s.ProgressFrontImage ? &*s.ProgressFrontImage : nullptr);
        if (s.ProgressFrontImage && s.ProgressFrontImage->exists) {
            st->front_width = s.ProgressFrontImage->width;
            st->front_height = s.ProgressFrontImage->height;
        }
    }
    st->empty.y = st->height - 32;
    st->empty.w = st->width - 2 * st->empty.x;
    if (s.LoadingImageAlpha < 255)
        SDL_SetWindowOpacity(st->window, float(std::max(0, s.LoadingImageAlpha)) / 255.0f);
    SDL_ShowWindow(st->window);
    state_ = std::move(st);
    Progress(0, "Loading");
}

void LoadWindow::Progress(int percent, std::string_view) {
    if (!state_) return;
    state_->percent = percent;
    SDL_PumpEvents();  // keep the window responsive during long steps
    state_->Draw();
}

void LoadWindow::Hide() {
    state_.reset();
}

}  // namespace tb
