// Built-in functions whose whole behaviour an action takes over: the actions call them
// directly with arguments of their own instead of doing the same work a second time.
#pragma once

#include "script/registry.h"

namespace tb {

// collisions.cpp
extern const BuiltinFunction kPlaceSnapped;
extern const BuiltinFunction kPositionDestroy;
// instances.cpp
extern const BuiltinFunction kInstanceChange;
extern const BuiltinFunction kInstanceSprite;
// rooms.cpp
extern const BuiltinFunction kRoomGoto;
extern const BuiltinFunction kRoomGotoPrevious;
extern const BuiltinFunction kRoomGotoNext;
extern const BuiltinFunction kSleep;
// saved_games.cpp
extern const BuiltinFunction kGameSave;
extern const BuiltinFunction kGameLoad;
// events.cpp
extern const BuiltinFunction kEventInherited;
// dialogs.cpp
extern const BuiltinFunction kShowMessage;
extern const BuiltinFunction kShowQuestion;
extern const BuiltinFunction kShowVideo;
extern const BuiltinFunction kHighscoreShowExt;
extern const BuiltinFunction kHighscoreClear;
// resources_sprites.cpp, resources_backgrounds.cpp, sound_resources.cpp
extern const BuiltinFunction kSpriteReplace;
extern const BuiltinFunction kBackgroundReplace;
extern const BuiltinFunction kSoundReplace;
// cd_audio.cpp
extern const BuiltinFunction kCdPresent;
extern const BuiltinFunction kCdPlaying;
extern const BuiltinFunction kCdPlay;
extern const BuiltinFunction kCdStop;
extern const BuiltinFunction kCdPause;
extern const BuiltinFunction kCdResume;
// planning.cpp
extern const BuiltinFunction kMpLinearStep;
extern const BuiltinFunction kMpPotentialStep;
// draw_images.cpp, draw_shapes.cpp, draw_text.cpp
extern const BuiltinFunction kDrawSprite;
extern const BuiltinFunction kDrawBackground;
extern const BuiltinFunction kDrawBackgroundTiled;
extern const BuiltinFunction kDrawLine;
extern const BuiltinFunction kDrawRectangle;
extern const BuiltinFunction kDrawRectangleColor;
extern const BuiltinFunction kDrawEllipse;
extern const BuiltinFunction kDrawEllipseColor;
extern const BuiltinFunction kDrawArrow;
extern const BuiltinFunction kDrawSetColor;
extern const BuiltinFunction kDrawText;
extern const BuiltinFunction kDrawTextTransformed;
extern const BuiltinFunction kDrawSetFont;
extern const BuiltinFunction kDrawSetHalign;
// display_window.cpp
extern const BuiltinFunction kScreenRedraw;
extern const BuiltinFunction kScreenSave;
// particles.cpp
extern const BuiltinFunction kEffectCreateBelow;
extern const BuiltinFunction kEffectCreateAbove;

}  // namespace tb
