#include "app/qt/window_system_start.h"

#include <cstdio>
#include <cstdlib>

#include <QtGlobal>

#include "app/qt/display_check.h"

namespace kestrava {

namespace {

QtMessageHandler previousHandler = nullptr;

std::string environmentText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void endOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    if (previousHandler) previousHandler(type, context, message);
    return;
  }
  const std::string text =
      "kestrava: " + unreachableDisplay(environmentText("DISPLAY"), environmentText("WAYLAND_DISPLAY")) + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  std::_Exit(kNoDisplayExitStatus);
}

}  // namespace

std::string unreachableDisplay(const std::string& display, const std::string& waylandDisplay) {
  std::string named;
  if (!display.empty()) named = "DISPLAY=" + display;
  if (!waylandDisplay.empty()) named += (named.empty() ? "" : ", ") + ("WAYLAND_DISPLAY=" + waylandDisplay);
  return "the window system could not be reached" + (named.empty() ? std::string() : " (" + named + ")") +
         ", so the window cannot open: check that the desktop session or X server is running and that this "
         "user may use it (over ssh: ssh -X), or use kestrava-cli, which needs no display";
}

WindowSystemStart::WindowSystemStart() { previousHandler = qInstallMessageHandler(endOnFatal); }

WindowSystemStart::~WindowSystemStart() {
  qInstallMessageHandler(previousHandler);
  previousHandler = nullptr;
}

}  // namespace kestrava
