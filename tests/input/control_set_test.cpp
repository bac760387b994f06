// Control sets: the menu set's defaults, bindings that move between actions, the queues, the
// pointer's steps and its way across two windows, adding-up codes, and the saved sections.
#include <gtest/gtest.h>

#include "input_fixture.h"

namespace {

using tftest::InputTest;
using tftest::InputTestNow;

constexpr int32_t kEnter = 34;
constexpr int32_t kSpace = 104;
constexpr int32_t kUpArrow = 17;
constexpr int32_t kLeftArrow = 15;
constexpr int32_t kRightArrow = 16;

TEST_F(InputTest, MenuSetHasItsDefaultsAndACodeTriggersOneActionPerSet) {
  const int32_t menu = InputMenuControlSet();
  ASSERT_GT(menu, 0);
  EXPECT_EQ(InputControlSetFind("menu CONTROLS"), menu);
  EXPECT_EQ(InputControlSetActive(), -1);
  EXPECT_EQ(InputControlSetNew("Menu Controls", true), 0);
  ASSERT_EQ(InputActionCount(menu), 5);
  const char* names[] = {"Scroll Up", "Scroll Down", "Exit", "Select Item", "Select Item Secondary"};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(InputActionNameGet(InputActionIdGet(menu, k)), names[k]);
  EXPECT_EQ(InputActionIdGet(menu, 5), -1);
  const int32_t select = InputActionFind(menu, "select item");
  EXPECT_EQ(InputActionControlGet(select, 0), 114);
  EXPECT_EQ(InputActionControlGet(select, 1), kEnter);
  EXPECT_EQ(InputActionControlGet(select, 2), 0);
  EXPECT_EQ(InputActionFromControl(menu, 125), InputActionFind(menu, "Scroll Up"));
  EXPECT_EQ(InputActionFromControl(menu, 91), InputActionFind(menu, "Scroll Down"));
  EXPECT_EQ(InputActionFromControl(menu, 36), InputActionFind(menu, "Exit"));
  EXPECT_EQ(InputActionFromControl(menu, 116), InputActionFind(menu, "Select Item Secondary"));
  EXPECT_EQ(InputActionFromControl(menu, kSpace), -1);

  // Binding Enter to another action of the set takes it from "Select Item"; twice binds once.
  const int32_t confirm = InputActionNew(menu, "Confirm");
  EXPECT_EQ(InputActionNew(menu, "CONFIRM"), 0);
  EXPECT_EQ(InputActionNew(999, "Other"), 0);
  InputActionControlAdd(confirm, kEnter, 100);
  InputActionControlAdd(confirm, kEnter, 50);
  EXPECT_EQ(InputActionFromControl(menu, kEnter), confirm);
  EXPECT_EQ(InputActionControlGet(select, 1), 0);
  EXPECT_EQ(InputActionControlGet(confirm, 1), 0);
  // Another set binds the same code for itself.
  const int32_t other = InputControlSetNew("Other", false);
  const int32_t fire = InputActionNew(other, "Fire");
  InputActionControlAdd(fire, kEnter, 100);
  EXPECT_EQ(InputActionFromControl(menu, kEnter), confirm);
  EXPECT_EQ(InputActionFromControl(other, kEnter), fire);

  // The scale keeps its low byte and applies to the action event: 300 is 44 %.
  InputActionControlAdd(fire, kSpace, 300);
  InputControlEvent(other, kSpace, 100);
  InputControlEvent(other, kSpace, 0);
  EXPECT_EQ(Pairs(InputActionEventsGet(other, false)), (eventPairs{{fire, 44}, {fire, 0}}));
  InputActionEventMark(other, 1);
  InputActionEventMark(other, 2);  // out of range: ignored
  inputBuffer marked = InputActionEventsGet(other);
  ASSERT_EQ(marked.size(), 2u);
  EXPECT_EQ(marked[0].handled, 0);
  EXPECT_EQ(marked[1].handled, 1);
  EXPECT_TRUE(InputActionEventsGet(other).empty());

  InputActionControlRemove(confirm, kEnter);
  EXPECT_EQ(InputActionFromControl(menu, kEnter), -1);
  InputActionControlsClear(select);
  EXPECT_EQ(InputActionControlGet(select, 0), 0);
  // Unknown ids change nothing and give the neutral answers.
  InputControlSetActivate(999);
  EXPECT_EQ(InputControlSetActive(), -1);
  EXPECT_EQ(InputActionCount(999), 0);
  EXPECT_EQ(InputActionFind(999, "Exit"), 0);
  EXPECT_EQ(InputActionNameGet(999), "");
  EXPECT_EQ(InputControlStateGet(999, 1), 0);
  InputControlEvent(999, 1, 100);
}

TEST_F(InputTest, QueuesKeepTheLatestThousandAndStatesGrowForLargeCodes) {
  const int32_t set = InputControlSetNew("Queues", false);
  const int32_t action = InputActionNew(set, "Fire");
  InputActionControlAdd(action, kSpace, 100);
  for (int32_t value = 0; value <= 1000; ++value) InputControlEvent(set, kSpace, value);
  const inputBuffer actions = InputActionEventsGet(set);
  const inputBuffer events = InputControlEventsGet(set);
  ASSERT_EQ(actions.size(), 1000u);
  ASSERT_EQ(events.size(), 1000u);
  EXPECT_EQ(actions.front().value, 1);
  EXPECT_EQ(actions.back().value, 1000);
  EXPECT_EQ(events.front().code, kSpace);
  EXPECT_EQ(events.front().value, 1);
  EXPECT_TRUE(InputControlEventsGet(set).empty());
  EXPECT_EQ(InputControlStateGet(set, kSpace), 1000);

  // Codes below 1 are ignored; a code beyond the fixed ones grows the states.
  InputControlEvent(set, 0, 100);
  EXPECT_TRUE(InputControlEventsGet(set).empty());
  EXPECT_EQ(InputControlStateGet(set, 500), 0);
  InputControlEvent(set, 500, 70);
  EXPECT_EQ(InputControlStateGet(set, 500), 70);
  EXPECT_EQ(InputControlStateGet(set, 499), 0);
}

TEST_F(InputTest, HeldCodesMoveThePointerSteadilyAcrossTwoWindowsAndStopAtTheEdges) {
  const int32_t first = Window(200, 100);
  const int32_t second = Window(300, 40);
  InputWindowAdd(1, first);
  InputWindowAdd(2, second);
  // The menu set made before any window takes the first one, centred; so does a new set.
  int32_t window = 0, x = 0, y = 0;
  Pointer(InputMenuControlSet(), window, x, y);
  EXPECT_EQ(window, 1);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  const int32_t set = InputControlSetNew("Pointer", false);
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 1);
  EXPECT_EQ(x, 100);
  InputPointerControlAdd(set, kInputPointerRight, kRightArrow, 50);
  InputPointerControlAdd(set, kInputPointerLeft, kLeftArrow, 50);
  InputPointerControlAdd(set, kInputPointerUp, kUpArrow, 50);
  InputControlSetActivate(set);

  // A held arrow at scale 50 goes 400 pixels a second, whatever the frames' lengths.
  InputControlEvent(set, kRightArrow, 100);
  Frames(20, 7);  // 140 ms: 56 pixels
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 1);
  EXPECT_EQ(x, 156);
  Frames(11, 10);  // 44 more: into the second window at its left edge, which is lower
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 2);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 39);
  Frames(100, 10);  // the right edge of the last window stops it
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 2);
  EXPECT_EQ(x, 299);
  InputControlEvent(set, kRightArrow, 0);
  Frames(10, 10);
  Pointer(set, window, x, y);
  EXPECT_EQ(x, 299);

  // Left: back into the first window, and up to its top edge.
  InputControlEvent(set, kLeftArrow, 100);
  InputControlEvent(set, kUpArrow, 100);
  Frames(80, 10);  // 320 pixels
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 1);
  EXPECT_EQ(x, 179);
  EXPECT_EQ(y, 0);
  Frames(100, 10);
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 1);
  EXPECT_EQ(x, 0);

  // A binding moved to another direction leaves the first one.
  InputControlEvent(set, kUpArrow, 0);
  InputControlEvent(set, kLeftArrow, 0);
  InputPointerControlAdd(set, kInputPointerDown, kUpArrow, 25);
  InputControlEvent(set, kUpArrow, 100);
  Frames(10, 10);  // 20 pixels down
  Pointer(set, window, x, y);
  EXPECT_EQ(y, 20);
  InputControlEvent(set, kUpArrow, 0);

  // A set not active does not move; after activation time counts from then on.
  InputControlEvent(set, kRightArrow, 100);
  InputControlSetActivate(InputMenuControlSet());
  Frames(10, 10);
  Pointer(set, window, x, y);
  EXPECT_EQ(x, 0);
  InputTestNow() += 5000;
  InputControlSetActivate(set);
  Frames(1, 10);
  Pointer(set, window, x, y);
  EXPECT_EQ(x, 4);

  // A removed window no longer holds the pointer in.
  InputWindowRemove(1);
  InputControlEvent(set, kRightArrow, 0);
  InputControlEvent(set, kLeftArrow, 100);
  Frames(10, 10);
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 1);
  EXPECT_EQ(x, -36);
}

TEST_F(InputTest, WithoutWindowsThePointerIsNotHeldIn) {
  const int32_t set = InputMenuControlSet();
  int32_t window = -1, x = -1, y = -1;
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 0);
  EXPECT_EQ(x, 0);
  InputControlSetActivate(set);
  InputControlEvent(set, kLeftArrow, 100);
  InputControlEvent(set, kUpArrow, 100);
  Frames(25, 10);
  Pointer(set, window, x, y);
  EXPECT_EQ(x, -100);
  EXPECT_EQ(y, -100);
  // A window registered later is taken by the sets that have none, with the pointer centred.
  InputWindowAdd(7, Window(64, 32));
  Pointer(set, window, x, y);
  EXPECT_EQ(window, 7);
  EXPECT_EQ(x, 32);
  EXPECT_EQ(y, 16);
}

TEST_F(InputTest, MotionAndWheelsAddUpWhileTheMouseMovesThePointer) {
  const int32_t first = Window(200, 100);
  const int32_t second = Window(300, 100);
  InputWindowAdd(1, first);
  InputWindowAdd(2, second);
  const int32_t menu = InputMenuControlSet();
  platformEvent move;
  move.kind = platformEventKind::kMouseMove;
  move.window = second;
  move.x = 10;
  move.y = 20;
  InputMouseMessage(move);  // nothing is active: ignored
  EXPECT_TRUE(InputControlEventsGet(menu).empty());

  InputControlSetActivate(menu);
  // The first move counts from (-1, -1).
  InputMouseMessage(move);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{121, 1100}, {119, 2100}}));
  int32_t window = 0, x = 0, y = 0;
  Pointer(menu, window, x, y);
  EXPECT_EQ(window, 2);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  move.x = 4;
  move.y = 5;
  InputMouseMessage(move);
  move.x = 9;
  InputMouseMessage(move);
  EXPECT_EQ(InputControlStateGet(menu, 121), 1600);  // 1100 + 500
  EXPECT_EQ(InputControlStateGet(menu, 120), 600);
  EXPECT_EQ(InputControlStateGet(menu, 126), 1500);
  // A move to the same place sends nothing; a reset sends zeros and takes the new place.
  InputControlEventsGet(menu);
  InputMouseMessage(move);
  EXPECT_TRUE(InputControlEventsGet(menu).empty());
  InputMouseReset(100, 50);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)),
            (eventPairs{{120, 0}, {121, 0}, {126, 0}, {119, 0}}));
  move.x = 101;
  move.y = 50;
  InputMouseMessage(move);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{121, 100}}));

  // Each notch is a press that is never released; the state counts them.
  platformEvent wheel;
  wheel.kind = platformEventKind::kMouseWheel;
  wheel.wheel = 1;
  InputMouseMessage(wheel);
  InputMouseMessage(wheel);
  wheel.wheel = -1;
  wheel.wheelX = 1;
  InputMouseMessage(wheel);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)),
            (eventPairs{{125, 100}, {125, 100}, {124, 100}, {123, 100}}));
  EXPECT_EQ(InputControlStateGet(menu, 125), 200);
  const int32_t scrollUp = InputActionFind(menu, "Scroll Up");
  EXPECT_EQ(Pairs(InputActionEventsGet(menu)),
            (eventPairs{{scrollUp, 100}, {scrollUp, 100}, {scrollUp + 1, 100}}));

  // Buttons: left, middle, right, extra 1 and 2.
  platformEvent button;
  for (int32_t b = 1; b <= 5; ++b) {
    button.kind = platformEventKind::kMouseButtonDown;
    button.button = b;
    InputMouseMessage(button);
    button.kind = platformEventKind::kMouseButtonUp;
    InputMouseMessage(button);
  }
  const auto pairs = Pairs(InputControlEventsGet(menu));
  ASSERT_EQ(pairs.size(), 10u);
  for (int32_t b = 0; b < 5; ++b) {
    EXPECT_EQ(pairs[2 * b], std::make_pair(114 + b, 100));
    EXPECT_EQ(pairs[2 * b + 1], std::make_pair(114 + b, 0));
  }
  EXPECT_FALSE(InputMouseButtonsSwapped());
}

TEST_F(InputTest, SetsWithTheSaveFlagAreWrittenAtTheEnd) {
  const int32_t set = InputControlSetNew("Player", true);
  const int32_t jump = InputActionNew(set, "Jump");
  InputActionControlAdd(jump, kSpace, 100);
  InputActionControlAdd(jump, 114, 75);
  InputActionNew(set, "Duck");
  InputPointerControlAdd(set, kInputPointerUp, kUpArrow, 50);
  InputPointerControlAdd(set, kInputPointerUp, 126, 100);  // only follows the mouse
  InputPointerControlAdd(set, 5, kLeftArrow, 50);           // no such direction
  EndInput();

  const std::pair<const char*, const char*> expected[] = {
      {"Game Controllers", "0"},
      {"Action Count", "2"},
      {"Action 1", "Jump"},
      {"Action 1 Controls", "2"},
      {"Action 1 Control 1", "Space 100"},
      {"Action 1 Control 2", "Mouse Left Button 75"},
      {"Action 2", "Duck"},
      {"Action 2 Controls", "0"},
      {"Pointer Map Mouse", "Yes"},
      {"Pointer Action 1 Controls", "0"},
      {"Pointer Action 2 Controls", "0"},
      {"Pointer Action 4 Controls", "1"},
      {"Pointer Action 4 Control 1", "Up Arrow 50"},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(IniReadString("Input Control Set Player", key, ""), value) << key;
  // The menu set has no save flag.
  EXPECT_EQ(IniReadString("Input Control Set Menu Controls", "Action Count", "none"), "none");
}

}  // namespace
