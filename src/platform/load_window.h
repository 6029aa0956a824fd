// The loading window: a borderless window with the game's loading image and progress bar.
#pragma once

#include <memory>
#include <string_view>

namespace tb {

struct Game;

class LoadWindow {
  public:
    LoadWindow();
    ~LoadWindow();
    LoadWindow(const LoadWindow&) = delete;
    LoadWindow& operator=(const LoadWindow&) = delete;

    // Builds the window from the settings and shows it. Does nothing without a display.
    void Show(const Game& game);
    void Progress(int percent, std::string_view caption);
    void Hide();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tb
