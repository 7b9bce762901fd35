#include <gtest/gtest.h>

#include "test_support.h"

namespace kestrava {

TEST(Smoke, OidQueryAndFileReadAgainstHealthyPrinter) {
  testing::ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  std::u16string value;
  ASSERT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, value), ResultCode::noError);
  EXPECT_EQ(value, u"3.3.8.1");
  std::uint8_t head[32];
  std::uint32_t size = 0;
  EXPECT_EQ(fixture.device.readFile("/bin/busybox", head, sizeof head, size), ResultCode::bufferTooSmall);
  EXPECT_EQ(size, 4096u);
  EXPECT_EQ(head[18], 0x28);
  EXPECT_TRUE(fixture.printer().protocolErrors().empty());
}

}  // namespace kestrava
