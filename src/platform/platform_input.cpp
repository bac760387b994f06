// The platform side of input: the keyboard grab of fullscreen windows and the game controllers
// (SDL joysticks), opened as they appear and read once a frame.
#include <SDL.h>

#include <utility>
#include <vector>

#include "core/log.h"
#include "platform/platform.h"

namespace {

// Owns one opened joystick.
class JoystickOwner {
 public:
  JoystickOwner() = default;
  explicit JoystickOwner(SDL_Joystick* joystick) : joystick_(joystick) {}
  ~JoystickOwner() { Close(); }
  JoystickOwner(JoystickOwner&& other) noexcept : joystick_(std::exchange(other.joystick_, nullptr)) {}
  JoystickOwner& operator=(JoystickOwner&& other) noexcept {
    if (this != &other) {
      Close();
      joystick_ = std::exchange(other.joystick_, nullptr);
    }
    return *this;
  }
  JoystickOwner(const JoystickOwner&) = delete;
  JoystickOwner& operator=(const JoystickOwner&) = delete;

  SDL_Joystick* get() const { return joystick_; }
  void Close() {
    if (joystick_ != nullptr) SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
  }
  // Lets go without closing: SDL has already freed the joystick when it ended.
  void Abandon() { joystick_ = nullptr; }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

struct ControllerRecord {
  JoystickOwner joystick;  // closed once detached
  SDL_JoystickID instance = -1;
  platformController info;
  platformControllerState state;
};

struct ControllerState {
  bool started = false;
  std::vector<ControllerRecord> controllers;
};

ControllerState gControllers;

bool Known(SDL_JoystickID instance) {
  for (const ControllerRecord& record : gControllers.controllers) {
    if (record.info.attached && record.instance == instance) return true;
  }
  return false;
}

void Open(int deviceIndex) {
  SDL_Joystick* joystick = SDL_JoystickOpen(deviceIndex);
  if (joystick == nullptr) return;  // gone again, or not ours to open: tried at the next update
  ControllerRecord record;
  record.joystick = JoystickOwner(joystick);
  record.instance = SDL_JoystickInstanceID(joystick);
  platformController& info = record.info;
  const char* name = SDL_JoystickName(joystick);
  info.name = name != nullptr ? name : "";
  info.vendor = SDL_JoystickGetVendor(joystick);
  info.product = SDL_JoystickGetProduct(joystick);
  info.axes = SDL_JoystickNumAxes(joystick) > 0 ? SDL_JoystickNumAxes(joystick) : 0;
  info.buttons = SDL_JoystickNumButtons(joystick) > 0 ? SDL_JoystickNumButtons(joystick) : 0;
  info.hats = SDL_JoystickNumHats(joystick) > 0 ? SDL_JoystickNumHats(joystick) : 0;
  info.attached = true;
  gControllers.controllers.push_back(std::move(record));
}

void ReadPosition(ControllerRecord& record) {
  SDL_Joystick* joystick = record.joystick.get();
  platformControllerState& state = record.state;
  state.axes.resize(static_cast<size_t>(record.info.axes));
  state.axisRest.resize(state.axes.size());
  state.buttons.resize(static_cast<size_t>(record.info.buttons));
  state.hats.resize(static_cast<size_t>(record.info.hats));
  for (size_t k = 0; k < state.axes.size(); ++k) {
    state.axes[k] = SDL_JoystickGetAxis(joystick, static_cast<int>(k));
    // A trigger rests at one end of its range; everything else is taken to rest in the middle.
    // Asked every time: SDL corrects its first value once a stick held at an end is let go.
    Sint16 initial = 0;
    const bool known = SDL_JoystickGetAxisInitialState(joystick, static_cast<int>(k), &initial) == SDL_TRUE;
    state.axisRest[k] = known && (initial <= -32767 || initial == 32767) ? initial : 0;
  }
  for (size_t k = 0; k < state.buttons.size(); ++k) {
    state.buttons[k] = SDL_JoystickGetButton(joystick, static_cast<int>(k)) ? 1 : 0;
  }
  for (size_t k = 0; k < state.hats.size(); ++k) state.hats[k] = SDL_JoystickGetHat(joystick, static_cast<int>(k));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Keyboard grab

bool PlatformWindowFullscreen(int32_t window) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_Window* w = SDL_GetWindowFromID(static_cast<Uint32>(window));
  return w != nullptr && (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) != 0;
}

void PlatformWindowGrabKeyboard(int32_t window, bool grab) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (SDL_Window* w = SDL_GetWindowFromID(static_cast<Uint32>(window))) {
    SDL_SetWindowKeyboardGrab(w, grab ? SDL_TRUE : SDL_FALSE);
  }
}

// ---------------------------------------------------------------------------------------------
// Game controllers

bool PlatformControllersStart() {
  if (gControllers.started) return true;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
    LogError(std::string("PlatformControllersStart - Unable to start the game controllers: ") + SDL_GetError());
    return false;
  }
  // Positions are read when asked for; their events would only fill the queue to be thrown away.
  SDL_JoystickEventState(SDL_IGNORE);
  gControllers.started = true;
  PlatformControllersUpdate();
  return true;
}

void PlatformControllersEnd() {
  if (!gControllers.started) return;
  // After the platform's end (SDL_Quit) the joysticks are gone already.
  const bool running = SDL_WasInit(SDL_INIT_JOYSTICK) != 0;
  for (ControllerRecord& record : gControllers.controllers) {
    if (!running) record.joystick.Abandon();
  }
  gControllers.controllers.clear();  // closes the joysticks
  if (running) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  gControllers = ControllerState{};
}

int32_t PlatformControllersUpdate() {
  if (!gControllers.started) return 0;
  // Runs the drivers: positions, and the list of devices as it stands now.
  SDL_JoystickUpdate();
  for (ControllerRecord& record : gControllers.controllers) {
    if (record.info.attached && !SDL_JoystickGetAttached(record.joystick.get())) {
      record.info.attached = false;
      record.joystick.Close();
      record.state = platformControllerState{};
    }
  }
  const int count = SDL_NumJoysticks();
  for (int k = 0; k < count; ++k) {
    const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(k);
    if (instance >= 0 && !Known(instance)) Open(k);
  }
  for (ControllerRecord& record : gControllers.controllers) {
    if (record.info.attached) ReadPosition(record);
  }
  return static_cast<int32_t>(gControllers.controllers.size());
}

int32_t PlatformControllerCount() { return static_cast<int32_t>(gControllers.controllers.size()); }

bool PlatformControllerInfo(int32_t controller, platformController& info) {
  if (controller < 0 || controller >= PlatformControllerCount()) return false;
  info = gControllers.controllers[static_cast<size_t>(controller)].info;
  return true;
}

bool PlatformControllerRead(int32_t controller, platformControllerState& state) {
  state = platformControllerState{};
  if (controller < 0 || controller >= PlatformControllerCount()) return false;
  const ControllerRecord& record = gControllers.controllers[static_cast<size_t>(controller)];
  if (!record.info.attached) return false;
  state = record.state;
  return true;
}
