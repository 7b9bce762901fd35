// `kestrava`'s command line: every --device form kestrava-cli takes reaches the window,
// and --help, --version and the usage errors are those of kestrava-cli, without a display.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/qt/display_check.h"
#include "app/qt/kestrava_command_line.h"
#include "base/text_codec.h"
#include "base/version.h"
#include "dialog_support.h"
#include "recording_dialog.h"
#include "run/acquisition_thread.h"
#include "virtual/scenario.h"
#include "virtual/tcp_printer_server.h"

namespace kestrava {
namespace {

using testing::DialogControls;

std::string shown(const QLabel* label) { return label->text().toStdString(); }

// Each form, read by the window twice in a row: every field filled, as a run of the same
// printer without a window fills them, and a replayed trace or a scenario starts afresh
// at the second press.
TEST(KestravaCommandLine, EveryDeviceFormFillsTheWindow) {
  virtualprinter::TcpPrinterServer server(virtualprinter::healthyMonoPrinter());
  server.start();
  const std::string source = KESTRAVA_SOURCE_DIR;
  const std::vector<std::string> devices = {
      "virtual",
      "virtual:" + source + "/virtual/scenarios/colour.json",
      "replay:" + source + "/tests/traces/colour.trace",
      "tcp://127.0.0.1:" + std::to_string(server.port()) + "/vid_232b&pid_0ef5",
  };
  for (const std::string& device : devices) {
    SCOPED_TRACE(device);
    std::ostringstream out, err;
    KestravaCommandLine line = readKestravaCommandLine({"--device", device}, false, out, err);
    ASSERT_FALSE(line.exitStatus) << err.str();
    ASSERT_TRUE(line.printer);
    EXPECT_EQ(out.str() + err.str(), "");

    testing::RecordingDialog expected;
    {
      std::unique_ptr<UsbBackend> reference = line.printer();
      ASSERT_EQ(runAcquisition(expected, *reference), RunOutcome::done);
    }

    CKestravaDlg dialog(line.printer);
    dialog.show();
    DialogControls c(dialog);
    for (int press = 1; press <= 2; ++press) {
      SCOPED_TRACE("press " + std::to_string(press));
      ASSERT_TRUE(testing::runOnce(dialog));
      EXPECT_EQ(shown(c.status), "done");
      for (QLabel* value : {c.model, c.build, c.fwVersion, c.serialNumber}) EXPECT_FALSE(value->text().isEmpty());
      EXPECT_EQ(shown(c.model), toUtf8(expected.m_model));
      EXPECT_EQ(shown(c.build), toUtf8(expected.m_build));
      EXPECT_EQ(shown(c.fwVersion), toUtf8(expected.m_fwVersion));
      EXPECT_EQ(shown(c.serialNumber), toUtf8(expected.m_serialNumber));
      EXPECT_EQ(c.report->toPlainText(), QString::fromStdU16String(expected.m_report).replace("\r\n", "\n"));
      EXPECT_TRUE(c.report->toPlainText().endsWith(QStringLiteral("ProgID: " KESTRAVA_VERSION_TEXT "\n")));
    }
  }
  server.stop();
}

TEST(KestravaCommandLine, QtsOwnOptionsPassOnlyBeforeQtHasTakenThem) {
  std::ostringstream out, err;
  KestravaCommandLine early =
      readKestravaCommandLine({"-platform", "offscreen", "--device", "virtual"}, true, out, err);
  EXPECT_FALSE(early.exitStatus);
  EXPECT_TRUE(early.printer);
  KestravaCommandLine late =
      readKestravaCommandLine({"-platform", "offscreen", "--device", "virtual"}, false, out, err);
  EXPECT_EQ(late.exitStatus, kUsageExitStatus);
  EXPECT_NE(err.str().find("kestrava: "), std::string::npos);
}

// The programs as a user starts them. No display: what they answer needs none.
constexpr const char* kNoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb";

TEST(KestravaProgram, HelpAndVersion) {
  testing::ProgramOutcome help = testing::runProgram(KESTRAVA_PROGRAM, "--help", kNoDisplay);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--device"), std::string::npos);
  EXPECT_NE(help.out.find(kDeviceForms), std::string::npos);

  testing::ProgramOutcome version = testing::runProgram(KESTRAVA_PROGRAM, "--version", kNoDisplay);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, KESTRAVA_VERSION_TEXT "\n");
  EXPECT_EQ(version.out, testing::runProgram(KESTRAVA_CLI, "--version").out);
}

TEST(KestravaProgram, UsageErrorsAreKestravaClisOwn) {
  struct Case {
    const char* arguments;
    const char* environment;
  };
  const Case cases[] = {
      {"--device nowhere", kNoDisplay},
      {"--device usb:", kNoDisplay},
      {"--device tcp://x", kNoDisplay},
      {"--device virtual:/no/such/file.json", kNoDisplay},
      {"--device replay:/no/such/file.trace", kNoDisplay},
      // Qt's options are taken, its own and ours alike.
      {"-platform offscreen -style fusion --device nowhere", kNoDisplay},
      // An option unknown to both is found once Qt has taken its own.
      {"-platform offscreen --bogus", "QT_QPA_PLATFORM=offscreen"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.arguments);
    testing::ProgramOutcome window = testing::runProgram(KESTRAVA_PROGRAM, test.arguments, test.environment);
    std::string cliArguments = test.arguments;
    for (const char* qtOption : {"-platform offscreen ", "-style fusion "}) {
      std::size_t at = cliArguments.find(qtOption);
      if (at != std::string::npos) cliArguments.erase(at, std::string(qtOption).size());
    }
    testing::ProgramOutcome cli = testing::runProgram(KESTRAVA_CLI, cliArguments);
    EXPECT_EQ(window.status, kUsageExitStatus);
    EXPECT_EQ(cli.status, kUsageExitStatus);
    EXPECT_EQ(window.out, "");
    // The same error line, each under its program's name.
    std::size_t line = window.err.find("kestrava: ");
    ASSERT_NE(line, std::string::npos) << window.err;
    ASSERT_EQ(cli.err.rfind("kestrava-cli: ", 0), 0u) << cli.err;
    EXPECT_EQ(window.err.substr(line + 10), cli.err.substr(14));
  }
}

// Without a display the window program says so and names kestrava-cli, where Qt would
// abort with a core dump.
TEST(KestravaProgram, WithoutADisplayItSaysSoAndWhatToUse) {
  testing::ProgramOutcome window = testing::runProgram(KESTRAVA_PROGRAM, "--device virtual", kNoDisplay);
  EXPECT_EQ(window.status, kNoDisplayExitStatus);
  EXPECT_EQ(window.err.rfind("kestrava: no display to open the window on", 0), 0u) << window.err;
  EXPECT_NE(window.err.find("use kestrava-cli"), std::string::npos) << window.err;
  EXPECT_EQ(window.err.find("Reinstalling"), std::string::npos) << window.err;
}

// A display that is named but gone (an ended ssh forwarding, a stopped X server): Qt's
// own end, "Reinstalling the application may fix this problem" and a core dump, becomes
// the program's reason and next step.
TEST(KestravaProgram, ADisplayThatCannotBeReachedIsNamed) {
  testing::ProgramOutcome window = testing::runProgram(
      KESTRAVA_PROGRAM, "--device virtual", "env -u WAYLAND_DISPLAY DISPLAY=:9876 QT_QPA_PLATFORM=xcb");
  EXPECT_EQ(window.status, kNoDisplayExitStatus);
  EXPECT_NE(window.err.find("kestrava: the window system could not be reached (DISPLAY=:9876), so the window "
                            "cannot open"),
            std::string::npos)
      << window.err;
  EXPECT_NE(window.err.find("or use kestrava-cli"), std::string::npos) << window.err;
  EXPECT_EQ(window.err.find("Reinstalling"), std::string::npos) << window.err;
}

TEST(KestravaProgram, WhichPlatformsNeedWhichDisplay) {
  struct Case {
    std::vector<std::string> arguments;
    const char* platform;  // QT_QPA_PLATFORM; nullptr: unset
    const char* display;
    const char* waylandDisplay;
    bool refused;
  };
  const Case cases[] = {
      {{}, nullptr, nullptr, nullptr, true},
      {{}, nullptr, ":0", nullptr, false},
      {{}, nullptr, "", nullptr, true},
      {{}, "xcb", nullptr, "wayland-0", true},
      {{}, "wayland", nullptr, "wayland-0", false},
      {{}, "wayland;xcb", ":1", nullptr, false},
      {{}, "wayland;xcb", nullptr, nullptr, true},
      {{}, "offscreen", nullptr, nullptr, false},
      {{"-platform", "offscreen"}, nullptr, nullptr, nullptr, false},
      {{"-platform", "xcb"}, "offscreen", nullptr, nullptr, true},
      {{"-platform=vnc"}, nullptr, nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.platform ? c.platform : "(unset)") + (c.arguments.empty() ? "" : " " + c.arguments[0]));
    auto environment = [&c](const char* name) -> std::optional<std::string> {
      const char* value = std::string(name) == "QT_QPA_PLATFORM" ? c.platform
                          : std::string(name) == "DISPLAY"       ? c.display
                          : std::string(name) == "WAYLAND_DISPLAY" ? c.waylandDisplay
                                                                   : nullptr;
      return value ? std::optional<std::string>(value) : std::nullopt;
    };
    EXPECT_EQ(missingDisplay(c.arguments, environment).has_value(), c.refused);
  }
}

}  // namespace
}  // namespace kestrava
