// The Qt tests need an application object; they run on the offscreen platform unless
// QT_QPA_PLATFORM names another, so no display is needed.
#include <memory>
#include <string>

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Listing the tests (ctest's discovery) needs no windows.
  std::unique_ptr<QApplication> app;
  if (!::testing::GTEST_FLAG(list_tests)) app = std::make_unique<QApplication>(argc, argv);
  return RUN_ALL_TESTS();
}
