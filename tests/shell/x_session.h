// End-to-end runs of the real program: a private Xvfb server, the program started in a folder of
// its own, and a small X client that finds its windows and acts as a window manager or a user would.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tftest {

// An Xvfb server on a display number it picks itself; stopped when the object goes.
class XvfbServer {
 public:
  // Screen "WxHxD", e.g. "1280x1024x24".
  explicit XvfbServer(const std::string& screen = "1280x1024x24");
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  bool running() const { return !display_.empty(); }
  // ":N", empty when the server did not start.
  const std::string& display() const { return display_; }
  static bool Installed();

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// One top-level window as the X server sees it.
struct XWindowInfo {
  unsigned long id = 0;
  std::string name;
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool viewable = false;
};

// A connection to the server for looking at and acting on the program's windows.
class XClient {
 public:
  explicit XClient(const std::string& display);
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;
  bool connected() const { return display_ != nullptr; }
  // Top-level windows with that exact name; only viewable ones unless `all`.
  std::vector<XWindowInfo> Windows(const std::string& name, bool all = false);
  // What a window manager sends when the user closes a window: WM_DELETE_WINDOW.
  void RequestClose(unsigned long window);
  // A key pressed and released on the window (a synthetic event, as automation tools send).
  void PressKey(unsigned long window, const std::string& keysymName);
  // Whether the point (window coordinates) lies inside the window's bounding shape.
  bool InsideShape(unsigned long window, int32_t x, int32_t y);
  // Unmaps the window, as a window manager does when it minimises one.
  void Unmap(unsigned long window);
  void Map(unsigned long window);

 private:
  void* display_ = nullptr;  // Display*, kept out of this header
};

// The real program copied with its Bin/ folder into a folder of its own and run there.
class GameRun {
 public:
  // Copies the executable and the archives beside it into `folder`.
  GameRun(const std::string& binary, const std::string& folder);
  // Runs `program` where it lies (an installed game), with `folder` as its home and working folder.
  struct inPlace {};
  GameRun(inPlace, const std::string& program, const std::string& folder) : folder_(folder), program_(program) {}
  ~GameRun();
  // Starts it with DISPLAY, HOME=folder and the extra environment.
  bool Start(const std::string& display, const std::vector<std::string>& arguments,
             const std::map<std::string, std::string>& environment = {});
  // Waits up to `timeoutMs` for the program to end; its exit status, -2 for a signal, -1 on timeout.
  int Wait(int32_t timeoutMs);
  pid_t pid() const { return pid_; }
  // Polls the file until it contains the text or the time is up.
  static bool WaitForText(const std::string& file, const std::string& text, int32_t timeoutMs);

 private:
  std::string folder_;
  std::string program_;
  pid_t pid_ = -1;
};

// Polls `check` every 20 ms until it holds or the time is up.
template <typename Check>
bool WaitUntil(Check check, int32_t timeoutMs) {
  for (int32_t waited = 0;; waited += 20) {
    if (check()) return true;
    if (waited >= timeoutMs) return false;
    usleep(20000);
  }
}

}  // namespace tftest
