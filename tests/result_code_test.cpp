#include <gtest/gtest.h>

#include <sstream>

#include "device/result_code.h"

namespace kestrava {

TEST(ResultTexts, KnownCodesHaveTheirTextsAndOthersNone) {
  EXPECT_EQ(std::u16string(resultText(ResultCode::noError)), u"no error");
  EXPECT_EQ(std::u16string(resultText(ResultCode::printerNotFound)), u"printer not found");
  EXPECT_EQ(std::u16string(resultText(ResultCode::disconnectFailed)), u"printer disconnect failed");
  EXPECT_EQ(std::u16string(resultText(ResultCode::buildDateFailed)), u"get build date fail");
  EXPECT_EQ(resultText(static_cast<ResultCode>(15)), nullptr);
  EXPECT_EQ(std::u16string(stageTag(StageCode::none)), u"");
  EXPECT_EQ(std::u16string(stageTag(StageCode::generation)), u"EGEN");
  EXPECT_EQ(stageTag(static_cast<StageCode>(6)), nullptr);
}

TEST(ResultTexts, CodesPrintWithTheirNumberAndText) {
  std::ostringstream out;
  out << ResultCode::receiveFailed << ", " << StageCode::version << ", " << static_cast<ResultCode>(99);
  EXPECT_EQ(out.str(), "6 (receive data from printer failed), 2 (EVER), 99");
}

}  // namespace kestrava
