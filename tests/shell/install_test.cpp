// The game as a packager installs it: `cmake --install` into a DESTDIR, the installed launcher
// run under Xvfb with the user's folders in a temporary home, closed as a window manager does;
// the desktop entry and the metainfo validate, and the Debian package holds what the install holds.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "shell/startup_fixture.h"
#include "support/test_support.h"

namespace {

using namespace tftest;
namespace fs = std::filesystem;

// Every entry below `root` (links not followed) with its size and modification time.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    struct stat info {};
    lstat(entry.path().c_str(), &info);
    entries[entry.path().lexically_relative(root).string()] =
        std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
  }
  return entries;
}

bool Have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

class Install : public Startup {
 protected:
  // Installs the build into dir_/root with the prefix /usr, as a package build does.
  void SetUp() override {
    setenv("DESTDIR", root_.c_str(), 1);
    const runResult install = RunTool("cmake", {"--install", THORNFALL_BUILD_DIR, "--prefix", "/usr"});
    unsetenv("DESTDIR");
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    Startup::SetUp();
  }

  TempDir dir_;
  std::string root_ = dir_ / "root";
  std::string usr_ = root_ + "/usr/";
};

TEST_F(Install, TheInstalledLauncherRunsTheGameWhichWritesOnlyTheUsersFolders) {
  for (const char* file : {"games/thornfall", "lib/games/thornfall/thornfall", "lib/games/thornfall/thornfall.kva",
                           "lib/games/thornfall/settings.ini", "share/man/man6/thornfall.6",
                           "share/icons/hicolor/48x48/apps/thornfall.png", "share/icons/hicolor/256x256/apps/thornfall.png"}) {
    EXPECT_TRUE(FileExists(usr_ + file)) << file;
  }
  EXPECT_TRUE(fs::is_symlink(usr_ + "games/thornfall"));
  // The shipped defaults, never the build folder's played copy.
  EXPECT_EQ(ReadFile(usr_ + "lib/games/thornfall/settings.ini"), ReadFile(THORNFALL_SOURCE_DIR "/content/settings.ini"));

  // Read-only to everyone, as under /usr; the snapshot catches writes that permissions would
  // not stop (the tests may run as root).
  ASSERT_EQ(std::system(("chmod -R a-w " + ShellQuote(root_)).c_str()), 0);
  const auto before = Snapshot(root_);

  const std::string home = dir_ / "home/";
  MakeFolders(home);
  GameRun game(GameRun::inPlace{}, usr_ + "games/thornfall", home);
  ASSERT_TRUE(game.Start(server_->display(), {"-trace"},
                         {{"XDG_DATA_HOME", home + "data"}, {"XDG_CONFIG_HOME", home + "config"}}));
  const std::string userFolder = home + "data/Thornfall Developers/Thornfall/";
  ASSERT_TRUE(GameRun::WaitForText(userFolder + "results.log", kFirstFrame, kStartMs))
      << ReadFile(userFolder + "results.log") << ReadFile(home + "output.txt");
  const XWindowInfo window = WaitForWindow(NotSplash);
  ASSERT_NE(window.id, 0u);
  x_->RequestClose(window.id);
  EXPECT_EQ(game.Wait(kStartMs), 0) << ReadFile(home + "output.txt");

  // The game found its content through the link and wrote its log and settings to the user's folder.
  const std::string log = ReadFile(userFolder + "results.log");
  EXPECT_NE(log.find("ScreenEnter - Bin\\Scripts\\main.vmc"), std::string::npos) << log;
  EXPECT_EQ(log.find("Error:"), std::string::npos) << log;
  EXPECT_NE(ReadFile(userFolder + "settings.ini").find("Fullscreen="), std::string::npos);
  EXPECT_EQ(Snapshot(root_), before);
  ASSERT_EQ(std::system(("chmod -R u+w " + ShellQuote(root_)).c_str()), 0);
}

TEST_F(Install, TheDesktopFilesValidateAndThePackageHoldsTheInstall) {
  if (!Have("desktop-file-validate") || !Have("appstreamcli") || !Have("dpkg-deb")) {
    GTEST_SKIP() << "desktop-file-utils, appstream or dpkg-dev is missing (scripts/install-deps installs them)";
  }
  const runResult desktop = RunTool("desktop-file-validate", {usr_ + "share/applications/org.thornfall.Thornfall.desktop"});
  EXPECT_EQ(desktop.status, 0) << desktop.out << desktop.err;
  const runResult metainfo =
      RunTool("appstreamcli", {"validate", "--no-net", usr_ + "share/metainfo/org.thornfall.Thornfall.metainfo.xml"});
  EXPECT_EQ(metainfo.status, 0) << metainfo.out << metainfo.err;

  const std::string packages = dir_ / "packages";
  const runResult cpack = RunTool("cpack", {"-G", "DEB", "-B", packages, "--config", THORNFALL_BUILD_DIR "/CPackConfig.cmake"});
  ASSERT_EQ(cpack.status, 0) << cpack.out << cpack.err;
  std::string deb;
  for (const fs::directory_entry& entry : fs::directory_iterator(packages)) {
    if (entry.path().extension() == ".deb") deb = entry.path().string();
  }
  ASSERT_FALSE(deb.empty()) << cpack.out;
  const runResult fields = RunTool("dpkg-deb", {"-f", deb, "Package", "Section", "Architecture", "Depends"});
  EXPECT_NE(fields.out.find("Package: thornfall"), std::string::npos) << fields.out;
  EXPECT_NE(fields.out.find("Section: games"), std::string::npos) << fields.out;
  EXPECT_NE(fields.out.find("libsdl2"), std::string::npos) << "dependencies from the linked libraries: " << fields.out;

  // dpkg-deb -c names every entry "./usr/...", folders with a trailing "/", links as "a -> b".
  const runResult listing = RunTool("dpkg-deb", {"-c", deb});
  ASSERT_EQ(listing.status, 0) << listing.err;
  std::set<std::string> packaged;
  for (size_t at = 0, end; (end = listing.out.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string line = listing.out.substr(at, end - at);
    const size_t name = line.find(" ./");
    if (name == std::string::npos) continue;
    line = line.substr(name + 3);
    if (const size_t arrow = line.find(" -> "); arrow != std::string::npos) line.resize(arrow);
    if (!line.empty() && line.back() != '/') packaged.insert(line);
  }
  std::set<std::string> installed;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_)) {
    if (!entry.is_directory() || entry.is_symlink()) installed.insert(entry.path().lexically_relative(root_).string());
  }
  EXPECT_EQ(packaged, installed);
}

}  // namespace
