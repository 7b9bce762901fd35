// The rewriting progress line of kestrava-cli on a terminal: what it writes, and the words
// it uses for what the run asks the printer.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/cli/request_words.h"
#include "app/cli/status_line.h"

namespace kestrava {
namespace {

TEST(StatusLine, RewritesInPlaceNeverWrapsAndErasesWhatItShowed) {
  std::string terminal;
  StatusLine line([&](const std::string& text) { terminal += text; }, 12);
  line.erase();
  EXPECT_EQ(terminal, "");  // nothing shown, nothing to erase

  line.show("asking the printer");  // cut to 11 columns: the 12th would wrap on some terminals
  EXPECT_EQ(terminal, "\rasking the ");
  terminal.clear();
  line.show("short");  // what is left of the longer text is covered over
  EXPECT_EQ(terminal, "\rshort      \rshort");
  terminal.clear();
  line.erase();
  EXPECT_EQ(terminal, "\r     \r");
  terminal.clear();
  line.show("too long for the line", "shorter");  // a narrow terminal gets the shorter form
  EXPECT_EQ(terminal, "\rshorter");
  terminal.clear();
  line.erase();
  line.erase();
  EXPECT_EQ(terminal, "\r       \r");
}

TEST(StatusLine, TellsTheRequestAndTheLongestTimeLeft) {
  using std::chrono::milliseconds;
  EXPECT_EQ(askingText(3, "the serial number"), "asking the printer for the serial number (request 3 of about 16)");
  // Request 1 of a silent printer after a second: 4 s of this read, its 1.1 s late-reply
  // wait, and 15 more requests of 6.1 s.
  EXPECT_EQ(waitingText(1, "the build date", milliseconds(1000), 5000, 1100),
            "no answer yet for the build date: request 1 of about 16, at most about 97 s left, Ctrl+C stops");
  EXPECT_EQ(waitingText(16, "the drum life", milliseconds(4500), 5000, 1100),
            "no answer yet for the drum life: request 16 of about 16, at most about 2 s left, Ctrl+C stops");
  EXPECT_EQ(waitingText(5, "", milliseconds(1000), 5000, 1100),
            "no answer yet: request 5 of about 16, at most about 73 s left, Ctrl+C stops");
  // Past the count of a silent run nothing is promised about the time left.
  EXPECT_EQ(askingText(17, "an item"), "asking the printer for an item (request 17)");
  EXPECT_EQ(waitingText(17, "an item", milliseconds(9000), 5000, 1100),
            "no answer yet for an item: request 17, Ctrl+C stops");
}

TEST(StatusLine, NamesWhatTheRunAsksForInPlainWords) {
  const struct {
    const char* asked;
    const char* words;
  } cases[] = {
      {"OID_PLATFORM_PRODUCT_SERIAL_NUM.0", "the serial number"},
      {"OID_PLATFORM_FW_VERSION.0", "the firmware version"},
      {"OID_PLATFORM_ENG_FW_VERSION.0", "the engine firmware version"},
      {"OID_PLATFORM_PRODUCT_DATE.0", "the build date"},
      {"OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0", "the memory size"},
      {"OID_CONSUMABLE_PERCENT_REMAINING.1", "the toner levels"},
      {"OID_CONSUMABLE_DRUM_REMAIN.0", "the drum life"},
      {"OID_SOMETHING_NEW.2", "the item OID_SOMETHING_NEW.2"},
      {"the file /etc/version", "the firmware's version file"},
      {"the file /bin/busybox", "the machine type (/bin/busybox)"},
      {"the serial number (command 0xFF05)", "the serial number"},
      {"an OID query (command 0xFF21)", "an item"},
      {"the printer", "the printer"},
  };
  for (const auto& c : cases) EXPECT_EQ(requestInPlainWords(c.asked), c.words) << c.asked;
}

}  // namespace
}  // namespace kestrava
