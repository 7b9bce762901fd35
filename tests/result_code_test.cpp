#include <gtest/gtest.h>

#include "device/result_code.h"

namespace kestrava {

TEST(ResultTexts, KnownCodesHaveTheirTextsAndOthersNone) {
  EXPECT_EQ(std::u16string(resultText(0)), u"no error");
  EXPECT_EQ(std::u16string(resultText(1)), u"printer not found");
  EXPECT_EQ(std::u16string(resultText(3)), u"printer disconnect failed");
  EXPECT_EQ(std::u16string(resultText(14)), u"get build date fail");
  EXPECT_EQ(resultText(15), nullptr);
  EXPECT_EQ(std::u16string(stageTag(0)), u"");
  EXPECT_EQ(std::u16string(stageTag(5)), u"EGEN");
  EXPECT_EQ(stageTag(6), nullptr);
}

}  // namespace kestrava
