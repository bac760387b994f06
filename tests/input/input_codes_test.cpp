// Input codes: the fixed names, which codes are analog, and how keys and controller positions
// become codes and values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/input.h"
#include "input/input_internal.h"

namespace {

TEST(InputCodes, EveryFixedCodeHasItsNameForDisplayAndSettings) {
  std::vector<std::string> expected = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "A", "Left Alt",
                                       "Right Alt", "Down Arrow", "Left Arrow", "Right Arrow", "Up Arrow", "B",
                                       "\\", "Backspace", "[", "]", "C", "Caps Lock", ",", "Context Menu",
                                       "Left Control", "Right Control", "D", "-", "Delete", "E", "End", "Enter",
                                       "=", "Escape", "F"};
  for (int k = 1; k <= 24; ++k) expected.push_back("F" + std::to_string(k));
  for (const char* name : {"G", "H", "Home", "I", "Insert", "J", "K", "L", "M", "N", "Num Lock"}) {
    expected.push_back(name);
  }
  for (int k = 1; k <= 9; ++k) expected.push_back("Numpad " + std::to_string(k));
  for (const char* name :
       {"Numpad 0", "Numpad Enter", "Numpad -", "Numpad *", "Numpad .", "Numpad +", "Numpad /", "O", "P",
        "Page Down", "Page Up", "Pause", ".", "Q", "'", "R", "S", "Scroll Lock", ";", "Left Shift", "Right Shift",
        "/", "Space", "T", "Tab", "`", "U", "V", "W", "X", "Y", "Z", "Mouse Left Button", "Mouse Middle Button",
        "Mouse Right Button", "Mouse Button 4", "Mouse Button 5", "Mouse Down", "Mouse Left", "Mouse Right",
        "Mouse Scroll Left", "Mouse Scroll Right", "Mouse Scroll Down", "Mouse Scroll Up", "Mouse Up"}) {
    expected.push_back(name);
  }
  ASSERT_EQ(expected.size(), 126u);
  for (int32_t code = 1; code <= 126; ++code) {
    EXPECT_EQ(InputControlName(code), expected[code - 1]) << code;
    EXPECT_EQ(InputControlSettingName(code), expected[code - 1]) << code;
    EXPECT_EQ(InputControlIsAnalog(code), code >= 119) << code;
  }
  // Without controllers nothing lies beyond the fixed codes.
  EXPECT_EQ(InputControlName(0), "");
  EXPECT_EQ(InputControlName(127), "");
  EXPECT_EQ(InputControlSettingName(-5), "");
  // Controller codes are analog from control 33 (the hat) on, whether or not the controller exists.
  EXPECT_FALSE(InputControlIsAnalog(126 + 32));
  EXPECT_TRUE(InputControlIsAnalog(126 + 33));
  EXPECT_TRUE(InputControlIsAnalog(126 + 45 + 45));
  EXPECT_FALSE(InputControlIsAnalog(126 + 45 + 1));
}

TEST(InputCodes, KeysCountByTheirLayoutsCharacterAndOthersByPlace) {
  // US layout: the character agrees with the place.
  EXPECT_EQ(InputKeyCode(4, 'a'), 11);     // A
  EXPECT_EQ(InputKeyCode(39, '0'), 10);    // 0
  EXPECT_EQ(InputKeyCode(51, ';'), 100);
  EXPECT_EQ(InputKeyCode(49, '\\'), 19);
  EXPECT_EQ(InputKeyCode(56, '/'), 103);
  // AZERTY: the key in the place of Q types A, the one in the place of M types ","; QWERTZ: Y and Z swap.
  EXPECT_EQ(InputKeyCode(20, 'a'), 11);
  EXPECT_EQ(InputKeyCode(16, ','), 25);
  EXPECT_EQ(InputKeyCode(51, 'm'), 70);
  EXPECT_EQ(InputKeyCode(28, 'z'), 113);
  EXPECT_EQ(InputKeyCode(29, 'y'), 112);
  // A character without a code ("é" on the French 2 key, a dead key) falls back to the key's place.
  EXPECT_EQ(InputKeyCode(31, 0xE9), 2);
  EXPECT_EQ(InputKeyCode(47, 0), 21);
  // Everything else by place: the numpad gives its own codes, Num Lock on or off.
  EXPECT_EQ(InputKeyCode(40, '\r'), 34);   // Enter
  EXPECT_EQ(InputKeyCode(88, '\r'), 83);   // numpad Enter
  EXPECT_EQ(InputKeyCode(44, ' '), 104);   // Space
  EXPECT_EQ(InputKeyCode(89, 0), 73);      // numpad 1
  EXPECT_EQ(InputKeyCode(98, 0), 82);      // numpad 0
  EXPECT_EQ(InputKeyCode(93, 0), 77);      // numpad 5
  EXPECT_EQ(InputKeyCode(99, 0), 86);      // numpad .
  EXPECT_EQ(InputKeyCode(84, '/'), 88);    // numpad /
  EXPECT_EQ(InputKeyCode(82, 0), 17);      // Up
  EXPECT_EQ(InputKeyCode(75, 0), 92);      // Page Up
  EXPECT_EQ(InputKeyCode(58, 0), 38);      // F1
  EXPECT_EQ(InputKeyCode(69, 0), 49);      // F12
  EXPECT_EQ(InputKeyCode(104, 0), 50);     // F13
  EXPECT_EQ(InputKeyCode(115, 0), 61);     // F24
  EXPECT_EQ(InputKeyCode(229, 0), 102);    // right Shift
  EXPECT_EQ(InputKeyCode(230, 0), 13);     // right Alt
  EXPECT_EQ(InputKeyCode(101, 0), 26);     // context menu
  // No code: Print Screen, the GUI keys, the ISO key beside left Shift, unknown keys.
  for (int32_t scancode : {70, 227, 231, 100, 0, 300}) EXPECT_EQ(InputKeyCode(scancode, 0), 0) << scancode;
}

TEST(InputCodes, AxesHaveADeadZoneAndHatsACompassDirection) {
  // A stick resting in the middle: 15 % either way counts for nothing, the end counts 100.
  EXPECT_EQ(InputAxisDeflection(0, 0, true), 0);
  EXPECT_EQ(InputAxisDeflection(4900, 0, true), 0);
  EXPECT_EQ(InputAxisDeflection(-4900, 0, false), 0);
  EXPECT_GT(InputAxisDeflection(5200, 0, true), 0);
  EXPECT_EQ(InputAxisDeflection(32767, 0, true), 100);
  EXPECT_EQ(InputAxisDeflection(-32768, 0, false), 100);
  EXPECT_EQ(InputAxisDeflection(-32768, 0, true), 0);
  const int32_t half = 4915 + (32767 - 4915) / 2;
  EXPECT_EQ(InputAxisDeflection(half, 0, true), 50);
  // A trigger resting at one end moves one way only, over the whole range.
  EXPECT_EQ(InputAxisDeflection(-32768, -32768, true), 0);
  EXPECT_EQ(InputAxisDeflection(-32768, -32768, false), 0);
  EXPECT_EQ(InputAxisDeflection(0, -32768, true), 41);
  EXPECT_EQ(InputAxisDeflection(32767, -32768, true), 100);

  EXPECT_EQ(InputHatDirection(0), 0);
  EXPECT_EQ(InputHatDirection(1), 360);
  EXPECT_EQ(InputHatDirection(1 | 2), 45);
  EXPECT_EQ(InputHatDirection(2), 90);
  EXPECT_EQ(InputHatDirection(4), 180);
  EXPECT_EQ(InputHatDirection(4 | 8), 225);
  EXPECT_EQ(InputHatDirection(8), 270);
  EXPECT_EQ(InputHatDirection(1 | 4), 0);  // up and down at once cancel
}

}  // namespace
