// The runner's own windows drawn with the dialog host: the message window, pop-up menus, the
// colour and file choosers, the highscore window, the game information and splash screens.
#pragma once

#include <functional>
#include <memory>

#include "dialogs/dialogs.h"

namespace tb {

class DialogHost;

// The game window's place on the screen, for the windows shown "inside" it; false when
// there is none.
using GameWindowRect = std::function<bool(int& x, int& y, int& w, int& h)>;

// `host` must outlive the frontend.
std::shared_ptr<DialogFrontend> MakeDialogWindows(DialogHost& host, GameWindowRect game_window);

// The splash geometry: the size of the picture in the panel and its place (scale <= 0 fits
// the picture into the panel keeping its proportions; 1 keeps its size), centred.
struct SplashPlacement {
    int x = 0, y = 0, w = 0, h = 0;
};
SplashPlacement PlaceSplash(int picture_w, int picture_h, int panel_w, int panel_h, double scale);

}  // namespace tb
