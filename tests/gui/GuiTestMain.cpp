// The window's tests need a QApplication; they run on Qt's offscreen platform unless the
// environment chooses another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt wants a private runtime folder; without one it makes /tmp/runtime-<user> and leaves
  // it there. This one (and the drivers the tests start) go away with the tests.
  char runtime[] = "/tmp/ruvo-gui-runtime-XXXXXX";
  const bool ownRuntime = mkdtemp(runtime) != nullptr;
  if (ownRuntime) {
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    // The picture dialog remembers its folders in Qt's settings; not in the tester's home.
    setenv("XDG_CONFIG_HOME", (std::string(runtime) + "/config").c_str(), 1);
  }
  int status = 0;
  {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    status = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  if (ownRuntime) std::filesystem::remove_all(runtime, ignored);
  return status;
}
