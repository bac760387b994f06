#include "shell/x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace tftest {

namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";

Display* AsDisplay(void* display) { return static_cast<Display*>(display); }

// The program's windows come and go while the test looks at them: a window that vanished between
// two requests is no reason for Xlib's default handler to end the test process.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

// In a child before it runs its program: a test killed on its time limit never runs its
// destructors, and its game or X server would otherwise run on for good.
void DieWithTheTest() { prctl(PR_SET_PDEATHSIG, SIGKILL); }

// Ends a child: politely first, then for good.
void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    usleep(20000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

std::string TextProperty(Display* display, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    if (format == 8) text.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Xvfb

bool XvfbServer::Installed() { return access(kXvfb, X_OK) == 0; }

XvfbServer::XvfbServer(const std::string& screen) {
  if (!Installed()) return;
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    DieWithTheTest();
    close(fds[0]);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    dup2(quiet, 2);
    const std::string fd = std::to_string(fds[1]);
    execl(kXvfb, kXvfb, "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes its display number once it accepts clients.
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  while (pid_ > 0 && poll(&wait, 1, 10000) > 0) {
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    Stop(pid_);
    pid_ = -1;
    return;
  }
  display_ = ":" + number;
}

XvfbServer::~XvfbServer() { Stop(pid_); }

// ---------------------------------------------------------------------------------------------
// X client

XClient::XClient(const std::string& display) {
  XSetErrorHandler(IgnoreErrors);
  display_ = XOpenDisplay(display.c_str());
}

XClient::~XClient() {
  if (display_ != nullptr) XCloseDisplay(AsDisplay(display_));
}

std::vector<XWindowInfo> XClient::Windows(const std::string& name, bool all) {
  std::vector<XWindowInfo> found;
  Display* display = AsDisplay(display_);
  if (display == nullptr) return found;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return found;
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  for (unsigned int i = 0; i < count; ++i) {
    std::string title = TextProperty(display, children[i], netName);
    if (title.empty()) title = TextProperty(display, children[i], XA_WM_NAME);
    if (title != name) continue;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
    XWindowInfo info;
    info.id = children[i];
    info.name = title;
    info.left = attributes.x;
    info.top = attributes.y;
    info.width = attributes.width;
    info.height = attributes.height;
    info.viewable = attributes.map_state == IsViewable;
    if (all || info.viewable) found.push_back(info);
  }
  if (children != nullptr) XFree(children);
  return found;
}

void XClient::RequestClose(unsigned long window) {
  Display* display = AsDisplay(display_);
  if (display == nullptr) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

void XClient::PressKey(unsigned long window, const std::string& keysymName) {
  Display* display = AsDisplay(display_);
  if (display == nullptr) return;
  XEvent event{};
  event.xkey.display = display;
  event.xkey.window = window;
  event.xkey.root = DefaultRootWindow(display);
  event.xkey.same_screen = True;
  event.xkey.keycode = XKeysymToKeycode(display, XStringToKeysym(keysymName.c_str()));
  event.xkey.time = CurrentTime;
  event.type = KeyPress;
  XSendEvent(display, window, True, KeyPressMask, &event);
  event.type = KeyRelease;
  XSendEvent(display, window, True, KeyReleaseMask, &event);
  XFlush(display);
}

bool XClient::InsideShape(unsigned long window, int32_t x, int32_t y) {
  Display* display = AsDisplay(display_);
  if (display == nullptr) return false;
  int count = 0, ordering = 0;
  XRectangle* rectangles = XShapeGetRectangles(display, window, ShapeBounding, &count, &ordering);
  bool inside = false;
  for (int i = 0; i < count && !inside; ++i) {
    const XRectangle& r = rectangles[i];
    inside = x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
  }
  if (rectangles != nullptr) XFree(rectangles);
  return inside;
}

void XClient::Unmap(unsigned long window) {
  if (display_ == nullptr) return;
  XUnmapWindow(AsDisplay(display_), window);
  XFlush(AsDisplay(display_));
}

void XClient::Map(unsigned long window) {
  if (display_ == nullptr) return;
  XMapWindow(AsDisplay(display_), window);
  XFlush(AsDisplay(display_));
}

// ---------------------------------------------------------------------------------------------
// The program

GameRun::GameRun(const std::string& binary, const std::string& folder) : folder_(folder) {
  std::error_code ignored;
  program_ = folder + fs::path(binary).filename().string();
  fs::copy_file(binary, program_, fs::copy_options::overwrite_existing, ignored);
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(binary).parent_path(), ignored)) {
    if (entry.path().extension() == ".kva") fs::copy_file(entry.path(), folder + entry.path().filename().string(), ignored);
  }
}

GameRun::~GameRun() { Stop(pid_); }

bool GameRun::Start(const std::string& display, const std::vector<std::string>& arguments,
                    const std::map<std::string, std::string>& environment) {
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    DieWithTheTest();
    if (chdir(folder_.c_str()) != 0) _exit(126);
    if (display.empty()) unsetenv("DISPLAY");
    else setenv("DISPLAY", display.c_str(), 1);
    setenv("HOME", folder_.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    unsetenv("SDL_VIDEODRIVER");
    // Test machines have no sound device: OpenAL Soft mixes into nothing, so the game runs with
    // sound as it does for a player (a test may choose another driver).
    setenv("ALSOFT_DRIVERS", "null", 1);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    const int output = open((folder_ + "output.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(output, 1);
    dup2(output, 2);
    std::vector<char*> argv{const_cast<char*>(program_.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program_.c_str(), argv.data());
    _exit(127);
  }
  return true;
}

int GameRun::Wait(int32_t timeoutMs) {
  int status = 0;
  const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs);
  if (!ended) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

bool GameRun::WaitForText(const std::string& file, const std::string& text, int32_t timeoutMs) {
  return WaitUntil(
      [&] {
        std::ifstream in(file, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str().find(text) != std::string::npos;
      },
      timeoutMs);
}

}  // namespace tftest
