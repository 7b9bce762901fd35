// The back end a dialog can stop: it passes everything through until cancelled, then
// every pipe fails at once.
#include <chrono>

#include <gtest/gtest.h>

#include "run/acquisition_thread.h"
#include "recording_dialog.h"
#include "link/cancellable_backend.h"
#include "link/usb_printer_link.h"
#include "virtual/virtual_backend.h"
#include "virtual/scenario.h"

namespace kestrava {
namespace {

TEST(CancellableBackend, PassesARunThroughUntilCancelled) {
  VirtualBackend printer(virtualprinter::healthyMonoPrinter());
  CancellableBackend backend(printer);
  testing::RecordingDialog dialog;
  AcquisitionThread(dialog, backend);
  EXPECT_EQ(dialog.m_status, u"done");
  EXPECT_GT(printer.printer().requestCount(), 3u);
}

TEST(CancellableBackend, OpenPipesFailAtOnceAfterCancel) {
  virtualprinter::Scenario slow = virtualprinter::healthyMonoPrinter();
  // Slow enough that waiting for it, or for the read's time-out, outlasts the bound below
  // many times over.
  slow.replyDelayMs = 60000;
  slow.staleBytes = "left over";
  VirtualBackend printer(slow);
  CancellableBackend backend(printer);
  UsbPrinterLink link(backend);
  ASSERT_EQ(link.open(), LinkStatus::ok);

  backend.cancel();
  const std::uint8_t command[16] = {};
  std::uint8_t reply[16];
  std::uint32_t transferred = 99;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link.write(command, sizeof command), LinkStatus::writeFailed);
  EXPECT_EQ(link.read(reply, sizeof reply, transferred, 60000), LinkStatus::readFailed);
  EXPECT_EQ(transferred, 0u);
  // Neither the slow printer's delay nor the read's time-out was waited for.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(printer.printer().requestCount(), 0u);

  link.close();
  EXPECT_EQ(link.open(), LinkStatus::noPrinter);
}

}  // namespace
}  // namespace kestrava
