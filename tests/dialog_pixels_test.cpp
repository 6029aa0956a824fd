// The runner's dialogs drawn inside the game window (headless device, offscreen driver):
// where the message window, a menu, the highscore table and the game information land over
// the game's picture, and their colours. Fonts are not compared.
#include <gtest/gtest.h>

#include "dialogs/game_info.h"
#include "gfx_harness.h"
#include "graphics/screen_files.h"
#include "harness.h"
#include "platform/dialog_host.h"
#include "platform/dialog_windows.h"

namespace tb {
namespace {

constexpr uint32_t kGame = 0xFF20C040;  // the game's picture under the dialogs

bool Near(uint32_t a, uint32_t b, int tolerance = 6) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

// The smallest rectangle holding every pixel that is not the game's colour.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box Changed(const CBitmap32& b) {
    Box box;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            if (!Near(b.At(x, y), kGame, 2)) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

struct DialogPixels : test::GraphicsTest {
    int32_t Width() const override { return 640; }
    int32_t Height() const override { return 480; }

    CBitmap32 frame;
    std::unique_ptr<DialogHost> host;
    std::shared_ptr<DialogFrontend> windows;

    void SetUp() override {
        test::GraphicsTest::SetUp();
        if (HasFatalFailure()) return;
        g.game_window.Attach();
        g.game_window.SetVisible(true);
        g.device.Clear(kGame);
        host = std::make_unique<DialogHost>();
        GameTarget t;
        t.window = [this]() -> void* { return g.device.NativeWindow(); };
        t.context = [this]() -> void* { return g.device.NativeContext(); };
        t.repaint = [this](const std::function<void()>& overlay) {
            return g.game_window.RepaintWith(overlay);
        };
        host->SetGameTarget(std::move(t));
        // Each dialog draws a few frames (layouts settle), is read back, and closes.
        host->SetTestFrames(4, &frame);
        windows = MakeDialogWindows(*host, [this](int& x, int& y, int& w, int& h) {
            x = y = 0;
            w = Width();
            h = Height();
            return true;
        });
    }
    void TearDown() override {
        windows.reset();
        host.reset();  // its objects on the game's GL context go first
    }
};

TEST_F(DialogPixels, MessageWindowIsCentredWithItsButton) {
    ASSERT_TRUE(host->GameWindowShown());
    MessageSettings s;
    s.pictures.background = CBitmap32(300, 90, 0xFF4060A0);
    s.pictures.buttons.fill(CBitmap32(80, 25, 0xFFC02020));
    s.h = 120;  // a fixed height keeps the font out of the geometry
    MessageRequest r;
    r.text = "Hello";
    r.captions = {"", "OK", ""};
    r.settings = &s;
    std::optional<DialogAnswer> a = windows->Message(r);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->number, 0);  // closed without a key: as Esc
    ASSERT_TRUE(frame.exists);
    ASSERT_EQ(frame.width, 640);
    const Box box = Changed(frame);
    EXPECT_EQ(box.left, (640 - 300) / 2);
    EXPECT_EQ(box.right, (640 - 300) / 2 + 300);
    EXPECT_EQ(box.top, (480 - 120) / 2);
    EXPECT_EQ(box.bottom, (480 - 120) / 2 + 120);
    // Background in the corners, the game around the box.
    EXPECT_TRUE(Near(frame.At(box.left + 3, box.bottom - 3), 0xFF4060A0))
        << std::hex << frame.At(0, 0);
    EXPECT_TRUE(Near(frame.At(box.left - 2, box.top + 10), kGame));
    // Button 2 centred, 16 pixels above the bottom edge.
    const int bx = box.left + (300 - 80) / 2, by = box.top + 120 - 25 - 16;
    EXPECT_TRUE(Near(frame.At(bx + 3, by + 3), 0xFFC02020));
    EXPECT_TRUE(Near(frame.At(bx - 3, by + 3), 0xFF4060A0));
    EXPECT_TRUE(Near(frame.At(bx + 3, by + 25 + 3), 0xFF4060A0));
    // Buttons 1 and 3 have no caption: not drawn.
    EXPECT_TRUE(Near(frame.At(box.left + 24 + 3, by + 3), 0xFF4060A0));
}

// The nested loop takes the game window's own events: keys pressed there answer the dialog.
TEST_F(DialogPixels, KeysOnTheGameWindowAnswerTheMessage) {
    host->SetTestFrames(20, &frame);
    MessageSettings s;
    MessageRequest r;
    r.text = "Again?";
    r.captions = {"&Retry", "", "&Cancel"};
    r.settings = &s;
    ASSERT_TRUE(host->PostKey("Return", nullptr));
    std::optional<DialogAnswer> a = windows->Message(r);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->number, 1);
    ASSERT_TRUE(host->PostKey("C", "c"));
    a = windows->Message(r);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->number, 3);
}

TEST_F(DialogPixels, TransparentColourAndMasksLetTheGameThrough) {
    MessageSettings s;
    CBitmap32 back(200, 100, 0xFF4060A0);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 40; ++x) back.At(x, y) = 0xFF0000FF;  // a band of the key colour
    s.pictures.background = back;
    s.pictures.background_transparent = true;
    CBitmap32 button(80, 25, 0xFFC02020);
    for (int x = 0; x < 80; ++x) button.At(x, 24) = 0xFF00FF00;  // bottom row: the key
    for (int y = 0; y < 25; ++y) button.At(0, y) = 0xFF00FF00;   // and the left column
    s.pictures.buttons.fill(button);
    s.pictures.buttons_masked = true;
    ++s.pictures.generation;
    s.h = 100;
    MessageRequest r;
    r.text = "";
    r.captions = {"", "OK", ""};
    r.settings = &s;
    ASSERT_TRUE(windows->Message(r).has_value());
    const int left = (640 - 200) / 2, top = (480 - 100) / 2;
    EXPECT_TRUE(Near(frame.At(left + 20, top + 10), kGame));        // the key colour: see-through
    EXPECT_TRUE(Near(frame.At(left + 100, top + 10), 0xFF4060A0));  // the rest stays
    const int bx = left + (200 - 80) / 2, by = top + 100 - 25 - 16;
    EXPECT_TRUE(Near(frame.At(bx + 10, by + 5), 0xFFC02020));
    EXPECT_TRUE(Near(frame.At(bx + 10, by + 24), 0xFF4060A0));  // masked: background shows
}

TEST_F(DialogPixels, MessageAlphaBlendsWithTheGame) {
    MessageSettings s;
    s.pictures.background = CBitmap32(300, 90, 0xFFFFFFFF);
    s.h = 90;
    s.alpha = 128;
    MessageRequest r;
    r.captions = {"", "", ""};
    r.settings = &s;
    ASSERT_TRUE(windows->Message(r).has_value());
    const uint32_t p = frame.At(320, 240 - 40);
    // Halfway between the game's colour and white.
    EXPECT_TRUE(Near(
        p, 0xFF000000 | (0x20 + 0xFF) / 2 << 16 | (0xC0 + 0xFF) / 2 << 8 | (0x40 + 0xFF) / 2, 8))
        << std::hex << p;
}

TEST_F(DialogPixels, MenuOpensAtItsPointWithSeparator) {
    std::vector<MenuItem> items = {
        {"One", 0, 'o', false}, {"", -1, 0, true}, {"Two", 1, 't', false}};
    std::optional<int32_t> chosen = windows->Menu(items, 50, 40, false);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, -1);  // dismissed
    const Box box = Changed(frame);
    EXPECT_EQ(box.left, 50);
    EXPECT_EQ(box.top, 40);
    EXPECT_EQ(box.bottom - box.top, 4 + 20 + 9 + 20 + 4);
    EXPECT_GE(box.right - box.left, 100);  // at least the narrowest menu
    // The separator line across the middle, plain background above it.
    const int sep = 40 + 4 + 20 + 4;
    int darkest = 255;
    for (int y = sep - 1; y <= sep + 1; ++y)
        darkest = std::min(darkest, int(frame.At(80, y) & 0xFF));
    EXPECT_LT(darkest, 0xD8);  // a grey line, smoothed over two rows
    EXPECT_GT(int(frame.At(80, sep - 4) & 0xFF), 0xE0);
    // Near the right edge of the game window it is moved inside.
    ASSERT_TRUE(windows->Menu(items, 630, 470, false).has_value());
    const Box moved = Changed(frame);
    EXPECT_EQ(moved.right, 640);
    EXPECT_EQ(moved.bottom, 480);
}

TEST_F(DialogPixels, HighscoreTableInItsColours) {
    HighscoreSettings s;
    s.window_color = 0x30A0F0;  // BGR
    HighscoreRequest r;
    r.settings = &s;
    for (int i = 0; i < kHighscoreRanks; ++i) r.entries[size_t(i)] = {"Ann", 100 - i};
    std::optional<std::string> typed = windows->Highscore(r);
    ASSERT_TRUE(typed.has_value());
    const Box box = Changed(frame);
    // 360 x 400 client area under a 22-pixel caption bar, framed by one pixel, centred.
    EXPECT_EQ(box.right - box.left, 362);
    EXPECT_EQ(box.bottom - box.top, 424);
    EXPECT_EQ(box.left, (640 - 362) / 2);
    EXPECT_EQ(box.top, (480 - 424) / 2);
    EXPECT_TRUE(Near(frame.At(box.right - 5, box.top + 10), 0xFF005499));  // caption bar
    EXPECT_TRUE(Near(frame.At(box.left + 4, box.top + 30), 0xFFF0A030));   // window colour
    // The rank column's text is drawn in the other colour (black) somewhere in row 1.
    bool dark = false;
    for (int y = box.top + 23 + 48; y < box.top + 23 + 48 + 20; ++y)
        for (int x = box.left + 1; x < box.left + 45; ++x)
            if (Near(frame.At(x, y), 0xFF000000, 60)) dark = true;
    EXPECT_TRUE(dark);
}

TEST_F(DialogPixels, GameInformationCoversTheGameWindow) {
    GameInfo info;
    info.InGameWindow = true;
    info.InfoColor = 0x102030;
    RichDocument doc = ParseRichText("{\\rtf1 Hello}");
    EXPECT_TRUE(windows->GameInformation(info, doc));
    for (auto [x, y] : {std::pair{2, 2}, {637, 2}, {2, 477}, {600, 470}})
        EXPECT_TRUE(Near(frame.At(x, y), 0xFF302010)) << x << "," << y;
}

TEST_F(DialogPixels, WithoutAShownGameWindowTheDialogHasItsOwn) {
    g.game_window.SetVisible(false);
    EXPECT_FALSE(host->GameWindowShown());
    frame = CBitmap32();
    MessageSettings s;
    MessageRequest r;
    r.captions = {"", "OK", ""};
    r.settings = &s;
    // Drawn in the host's own window (nothing read back from the game window).
    if (!host->Available()) GTEST_SKIP() << "no second window on this driver";
    ASSERT_TRUE(windows->Message(r).has_value());
    EXPECT_FALSE(frame.exists);
}

TEST_F(DialogPixels, SplashInTheGameWindowIsScaledToFit) {
    test::ScratchDir dir;
    CBitmap32 picture(160, 60, 0xFF8040C0);
    test::WriteBytes(dir.path / "s.png", EncodePng(picture));
    SplashSettings s;  // in the game window, scale -1, black background
    SplashRequest r;
    r.file = (dir.path / "s.png").string();
    r.settings = &s;
    EXPECT_EQ(windows->Splash(r), std::optional<bool>(true));
    // 160 x 60 fits 640 x 480 at factor 4: 640 x 240, centred; black above and below.
    EXPECT_TRUE(Near(frame.At(320, 240), 0xFF8040C0));
    EXPECT_TRUE(Near(frame.At(5, 125), 0xFF8040C0));
    EXPECT_TRUE(Near(frame.At(320, 100), 0xFF000000));
    EXPECT_TRUE(Near(frame.At(320, 380), 0xFF000000));
}

// A splash in its own window that does not interrupt, and game information without the
// freeze flag, leave the game running: the call returns with the window still open, and the
// game's frames draw it until it closes.
TEST_F(DialogPixels, NonInterruptingWindowsStayOpenWhileTheGameRuns) {
    if (!host->Available()) GTEST_SKIP() << "no second window on this driver";
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "s.png", EncodePng(CBitmap32(16, 16, 0xFF8040C0)));
    SplashSettings s;
    s.main = false;
    s.interrupt = false;
    SplashRequest r;
    r.file = (dir.path / "s.png").string();
    r.settings = &s;
    EXPECT_EQ(windows->Splash(r), std::optional<bool>(true));
    EXPECT_TRUE(host->ModelessOpen());
    host->PumpModeless();  // a frame of the game
    host->PumpModeless();
    EXPECT_TRUE(host->ModelessOpen());
    host->CloseModeless();
    EXPECT_FALSE(host->ModelessOpen());
    s.interrupt = true;  // now the game waits: shown modally, closed when the call returns
    EXPECT_EQ(windows->Splash(r), std::optional<bool>(true));
    EXPECT_FALSE(host->ModelessOpen());

    GameInfo info;
    info.InGameWindow = false;
    info.InfoFreeze = false;
    EXPECT_TRUE(windows->GameInformation(info, ParseRichText("{\\rtf1 x}")));
    EXPECT_TRUE(host->ModelessOpen());
    // A modal dialog in the own window takes the window over.
    info.InfoFreeze = true;
    EXPECT_TRUE(windows->GameInformation(info, ParseRichText("{\\rtf1 x}")));
    EXPECT_FALSE(host->ModelessOpen());
}

}  // namespace
}  // namespace tb
