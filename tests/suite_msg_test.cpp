#include "tdr_test_support.h"
#include "tdr_msg.h"

TEST_F(TdrTest, MessageFormatFillsPlaceholdersByPosition) {
  std::string text, id;
  msg_format("Signal \"%2!s!\" at %1!d! %3!s!/WTDR_X", {MSG_ARG(7), "a", "b"}, &text, &id);
  EXPECT_EQ(text, "Signal \"a\" at 7 b");
  EXPECT_EQ(id, "WTDR_X");
  // A missing argument fills in nothing; a lone percent stays.
  msg_format("100% %4!s!./E", {}, &text, &id);
  EXPECT_EQ(text, "100% .");
}
