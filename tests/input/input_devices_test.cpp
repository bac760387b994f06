// Events put into SDL's own queue travel through the platform layer into codes and actions; a
// virtual game controller is read through the frame step.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "input_fixture.h"

namespace {

class InputDevicesTest : public tftest::InputTest {
 protected:
  InputDevicesTest() { parameters_ = {"-trace"}; }

  // Hands every pending platform event to the input unit, as the shell's loop does.
  static void Deliver() {
    platformEvent event;
    while (PlatformPollEvent(event)) {
      InputKeyboardMessage(event);
      InputMouseMessage(event);
    }
  }

  static void Key(bool down, SDL_Scancode scancode, SDL_Keycode symbol, bool repeat = false, Uint16 mod = 0) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = symbol;
    event.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
};

TEST_F(InputDevicesTest, KeysReachTheActiveSetOncePerPressWhileHooked) {
  const int32_t menu = InputMenuControlSet();
  InputControlSetActivate(menu);
  InputKeyboardHookOn();
  tftest::LogCapture log;
  // Enter held with its repeats, then released: one press and one release, and the action.
  Key(true, SDL_SCANCODE_RETURN, SDLK_RETURN);
  Key(true, SDL_SCANCODE_RETURN, SDLK_RETURN, true);
  Key(true, SDL_SCANCODE_RETURN, SDLK_RETURN, true);
  Key(false, SDL_SCANCODE_RETURN, SDLK_RETURN);
  // AZERTY: the key in the place of Q types "a".
  Key(true, SDL_SCANCODE_Q, SDLK_a);
  Key(false, SDL_SCANCODE_Q, SDLK_a);
  // Print Screen and the GUI keys give no code.
  Key(true, SDL_SCANCODE_PRINTSCREEN, SDLK_PRINTSCREEN);
  Key(true, SDL_SCANCODE_LGUI, SDLK_LGUI);
  Key(false, SDL_SCANCODE_LGUI, SDLK_LGUI);
  Key(true, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER);
  Deliver();
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{34, 100}, {34, 0}, {11, 100}, {11, 0}, {83, 100}}));
  const int32_t select = InputActionFind(menu, "Select Item");
  EXPECT_EQ(Pairs(InputActionEventsGet(menu)), (eventPairs{{select, 100}, {select, 0}}));
  // With "-trace" every delivered event is a line of the log.
  EXPECT_TRUE(log.Contains("InputControlEvent - set " + std::to_string(menu) +
                           " code 34 \"Enter\" value 100 action \"Select Item\""));
  EXPECT_TRUE(log.Contains("code 11 \"A\" value 0"));

  // A key pressed twice without its release between (the release was lost) still counts once.
  Key(true, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER);
  Deliver();
  EXPECT_TRUE(InputControlEventsGet(menu).empty());

  // Switching the hook off lets go of held keys; keys then reach nobody.
  Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
  Deliver();
  EXPECT_EQ(InputControlStateGet(menu, 101), 100);
  InputControlEventsGet(menu);
  InputKeyboardHookOff();
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{83, 0}, {101, 0}}));
  Key(true, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  Key(false, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  Deliver();
  EXPECT_TRUE(InputControlEventsGet(menu).empty());

  // Alt+Tab ends the hook until it is switched on again, letting go of Alt.
  InputKeyboardHookOn();
  Key(true, SDL_SCANCODE_LALT, SDLK_LALT, false, KMOD_LALT);
  Key(true, SDL_SCANCODE_TAB, SDLK_TAB, false, KMOD_LALT);
  Key(false, SDL_SCANCODE_TAB, SDLK_TAB, false, KMOD_LALT);
  Key(true, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  Deliver();
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{12, 100}, {12, 0}}));
  InputKeyboardHookOn();
  Key(true, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  Deliver();
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{36, 100}}));
}

TEST_F(InputDevicesTest, MouseEventsFromSdlBecomeMotionButtonsAndNotches) {
  const int32_t window = Window(320, 200);
  InputWindowAdd(1, window);
  const int32_t menu = InputMenuControlSet();
  InputControlSetActivate(menu);
  Deliver();  // the window's own events
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = static_cast<Uint32>(window);
  event.motion.x = 30;
  event.motion.y = 40;
  SDL_PushEvent(&event);
  event = SDL_Event{};
  event.type = SDL_MOUSEBUTTONDOWN;
  event.button.windowID = static_cast<Uint32>(window);
  event.button.button = SDL_BUTTON_X2;
  event.button.state = SDL_PRESSED;
  SDL_PushEvent(&event);
  event = SDL_Event{};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.windowID = static_cast<Uint32>(window);
  event.wheel.y = -1;
  event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  SDL_PushEvent(&event);
  event.wheel.y = 0;
  event.wheel.x = -1;
  SDL_PushEvent(&event);
  Deliver();
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{121, 3100}, {119, 4100}, {118, 100}, {124, 100}, {122, 100}}));
  int32_t pointerWindow = 0, x = 0, y = 0;
  InputPointerGet(menu, pointerWindow, x, y);
  EXPECT_EQ(pointerWindow, 1);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
}

// A virtual controller that the test moves; SDL reads it like a device.
class VirtualController {
 public:
  VirtualController(const char* name, int axes, int buttons, int hats) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.vendor_id = 0x1234;
    desc.product_id = 0x5678;
    desc.name = name;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    joystick_ = SDL_JoystickOpen(index);
    EXPECT_NE(joystick_, nullptr) << SDL_GetError();
    instance_ = SDL_JoystickInstanceID(joystick_);
  }
  ~VirtualController() { Unplug(); }
  void Axis(int axis, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick_, axis, value); }
  void Button(int button, bool down) { SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0); }
  void Hat(int hat, Uint8 value) { SDL_JoystickSetVirtualHat(joystick_, hat, value); }
  void Unplug() {
    if (joystick_ == nullptr) return;
    for (int k = 0; k < SDL_NumJoysticks(); ++k) {
      if (SDL_JoystickGetDeviceInstanceID(k) == instance_) SDL_JoystickDetachVirtual(k);
    }
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
  SDL_JoystickID instance_ = -1;
};

class InputControllerTest : public InputDevicesTest {
 protected:
  void BeforeInputStart() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    pad_ = std::make_unique<VirtualController>("Test Pad", 4, 2, 1);
  }
  void TearDown() override {
    pad_.reset();
    InputTest::TearDown();
  }
  std::unique_ptr<VirtualController> pad_;
};

TEST_F(InputControllerTest, ControllerCodesNamesAndDefaultBindings) {
  ASSERT_EQ(InputJoystickCount(), 1);
  // Two buttons, a hat and four axes: X, Y, Z and R.
  EXPECT_EQ(InputJoystickControlCode(0, 1), 127);
  EXPECT_EQ(InputJoystickControlCode(0, 2), 128);
  EXPECT_EQ(InputJoystickControlCode(0, 3), -1);
  EXPECT_EQ(InputJoystickControlCode(0, 33), 159);
  EXPECT_EQ(InputJoystickControlCode(0, 35), 161);
  EXPECT_EQ(InputJoystickControlCode(0, 36), -1);
  EXPECT_EQ(InputJoystickControlCode(0, 46), -1);
  EXPECT_EQ(InputJoystickControlCode(1, 1), -1);
  EXPECT_EQ(InputControlName(128), "Button 2 (Test Pad)");
  EXPECT_EQ(InputControlSettingName(128), "Controller1 Button 2");
  EXPECT_EQ(InputControlName(159), "POV Hat (Test Pad)");
  EXPECT_EQ(InputControlSettingName(160), "Controller1 R-axis Down");
  EXPECT_EQ(InputControlName(167), "X-axis Right (Test Pad)");
  EXPECT_EQ(InputControlName(170), "Z-axis Down (Test Pad)");
  EXPECT_EQ(InputControlName(129), "");
  EXPECT_EQ(InputControlSettingName(162), "");
  EXPECT_EQ(InputControlName(172), "");
  // The analog inputs: the mouse's, then the controller's axes that exist.
  const int32_t analog[] = {120, 121, 126, 119, 125, 124, 122, 123, 166, 167, 169, 168, 171, 170, 161, 160, 0};
  for (int32_t k = 0; k < 17; ++k) EXPECT_EQ(InputAnalogControlCode(k), analog[k]) << k;

  const int32_t menu = InputMenuControlSet();
  EXPECT_EQ(InputActionFromControl(menu, 127), InputActionFind(menu, "Select Item"));
  EXPECT_EQ(InputActionFromControl(menu, 128), InputActionFind(menu, "Select Item Secondary"));
  EXPECT_EQ(InputActionFromControl(menu, 171), InputActionFind(menu, "Scroll Up"));
  EXPECT_EQ(InputActionFromControl(menu, 170), InputActionFind(menu, "Scroll Down"));

  const int32_t saved = InputControlSetNew("Pad Set", true);
  InputActionControlAdd(InputActionNew(saved, "Fire"), 128, 100);
  EndInput();
  EXPECT_EQ(IniReadString("Input Control Set Pad Set", "Game Controllers", ""), "1");
  EXPECT_EQ(IniReadString("Input Control Set Pad Set", "Controller 1", ""), "4660;22136");
  EXPECT_EQ(IniReadString("Input Control Set Pad Set", "Action 1 Control 1", ""), "Controller1 Button 2 100");
}

TEST_F(InputControllerTest, ButtonsHatAndAxesBecomeEventsEachFrame) {
  const int32_t menu = InputMenuControlSet();
  InputControlSetActivate(menu);
  const int32_t select = InputActionFind(menu, "Select Item");
  Frames(1, 10);
  EXPECT_TRUE(InputControlEventsGet(menu).empty());  // at rest: nothing to tell

  pad_->Button(0, true);
  pad_->Hat(0, SDL_HAT_RIGHTUP);
  pad_->Axis(0, 32767);
  Frames(1, 10);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{127, 100}, {159, 45}, {167, 100}}));
  EXPECT_EQ(Pairs(InputActionEventsGet(menu)), (eventPairs{{select, 100}}));
  Frames(3, 10);  // held: no more events
  EXPECT_TRUE(InputControlEventsGet(menu).empty());

  // Inside the dead zone an axis counts for nothing; past it the value follows the tilt.
  pad_->Axis(0, 3000);
  pad_->Axis(1, -4000);
  pad_->Button(0, false);
  pad_->Hat(0, SDL_HAT_CENTERED);
  Frames(1, 10);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{127, 0}, {159, 0}, {167, 0}}));
  pad_->Axis(1, -18841);
  Frames(1, 10);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{169, 50}}));

  // Half a tilt up moves the pointer at half its full speed: 400 pixels a second.
  int32_t window = 0, x = 0, y = 0;
  InputPointerGet(menu, window, x, y);
  Frames(50, 10);
  int32_t window2 = 0, x2 = 0, y2 = 0;
  InputPointerGet(menu, window2, x2, y2);
  EXPECT_EQ(y2, y - 200);
  EXPECT_EQ(x2, x);

  // Pulled out while held: its codes are released.
  pad_->Button(1, true);
  Frames(1, 10);
  InputControlEventsGet(menu);
  pad_->Unplug();
  Frames(1, 10);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{128, 0}, {169, 0}}));
  EXPECT_EQ(InputJoystickCount(), 1);
  EXPECT_EQ(InputControlName(127), "Button 1 (Test Pad)");

  // A new controller is appended with the menu's default bindings; the first one, plugged in
  // again, takes its old place.
  VirtualController second("", 2, 1, 0);
  Frames(1, 10);
  ASSERT_EQ(InputJoystickCount(), 2);
  EXPECT_EQ(InputControlName(172), "Button 1 (2-axis, 1-button joystick)");
  EXPECT_EQ(InputActionFromControl(menu, 172), select);
  second.Button(0, true);
  Frames(1, 10);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{172, 100}}));
  VirtualController again("Test Pad", 4, 2, 1);
  Frames(1, 10);
  EXPECT_EQ(InputJoystickCount(), 2);
  again.Button(0, true);
  Frames(1, 10);
  EXPECT_EQ(Pairs(InputControlEventsGet(menu)), (eventPairs{{127, 100}}));
}

}  // namespace
