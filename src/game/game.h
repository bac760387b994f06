// The game: its screens as states of the state store, the start-up after the window exists
// (display mode search, render window, registrations), the per-frame work, the fullscreen switch
// and the shutdown with the saving of the settings.
#pragma once

#include <cstdint>

#include "shell/shell.h"

// State ids of the screens.
constexpr int32_t kGameStateCredits = 1;
constexpr int32_t kGameStateFatal = 2;
constexpr int32_t kGameStateGame = 3;
constexpr int32_t kGameStateGameOver = 4;
constexpr int32_t kGameStateMainMenu = 5;
constexpr int32_t kGameStateQuit = 6;
constexpr int32_t kGameStateScore = 7;

// The game's start step (after every framework unit's): resets its state and reads "-sleep"
// (kept to 0..1000 ms) and "-novsync". GameEnd resets the state again.
void GameStart();
void GameEnd();
// Finds a display mode (settings, desktop, 1280 x 720 x 32, 800 x 600 x 32) and opens the
// "Primary" render window in it, fullscreen when the settings ask. False with a log line.
bool GameInitDisplay();
// Rendering switches, the states, and the change to the main menu.
bool GameInit();
// One frame of the current state, paced ("-sleep", and at least 10 ms without vertical sync);
// events are handled during the pauses. False once the game is in its quit or fatal state.
bool GameProcessFrame();
// Saves the "Video" settings (one replace of the file) and closes the display.
void GameShutdown();
// Switches every display between fullscreen and windowed, re-creating the rendering contexts.
void GameSetFullscreen(bool on);
// Gives the desktop its mode back and minimises the game (the game lost the focus fullscreen).
void GameMinimizeFromFullscreen();
// The "Primary" display, -1 before GameInitDisplay.
int32_t GameDisplayId();
// For tools that run screens headless on their own display: the game's app routines, the arcade
// pictures, the high scores and a first level; GameToolEnd frees them again.
void GameToolStart(int32_t display);
void GameToolEnd();
// The game's routines as the shell calls them.
shellGameHooks GameHooks();
