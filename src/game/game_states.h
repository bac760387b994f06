// The game's seven states: each screen's script loaded on first entry and run, drawn and fed
// its keys once a frame; the menu controls the game adds; the music carried across changes.
#pragma once

#include <cstdint>
#include <functional>

#include "image/image.h"

// Adds "Pause", "Quick Load" and "Screenshot" to the menu controls and takes Enter and Space
// off "Select Item".
void GameControlsInit();
// The enter and process handlers of the seven states and the change handler.
void GameStatesRegister();
// Unloads every screen script (shutdown).
void GameScriptsUnload();
// The screen script of a state; kNoId when it has none or it is not loaded.
int32_t GameScreenScript(int32_t state);
// The state that was current before the last change to the quit state; the main menu when none.
int32_t GameStateBeforeQuit();
// Frees the music, the game's sound list, the action list, the dialog options and the bubble sets.
void GameLastingDataFree();
// Frees the game's lasting data, then loads the game-start script and unloads it again. False
// (logged, and the fatal state asked for) when it does not load.
bool GameStateInitFromScript();
// Draws the current screen again (credits, game and main menu only) without showing it and reads
// it back into the image (GraphicsReadPixels); the game sets it at start.
using gameCapture = std::function<bool(imageData& image)>;
void GameSetCapture(gameCapture capture);
// The current screen through the routine GameSetCapture set; false when there is none or the
// display could not be read.
bool GameCaptureScreen(imageData& image);
// The display's "backgroundFrames" texture, blank and of the design size (1280 x 720), unless it
// exists; the game makes it at start so screens loaded at any time can show it.
bool GameBackgroundCreate();
// AppScreenShot: the current screen captured, darkened to purple, sampled to the design size and
// put into the "backgroundFrames" texture in place (screens already showing it show the new
// one); after a rebuild of the rendering contexts it is blank until the next capture. False when
// nothing could be captured.
bool GameBackgroundCapture();
// Forgets the scripts and actions (start and end of the game's run).
void GameStatesReset();
