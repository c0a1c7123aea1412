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

// The one table of the catalogue's texts (tests/data/core/catalogue.txt, one
// "text/identifier" a line), each message filled with its arguments.
TEST_F(TdrTest, CatalogueTextsAreFilledByPosition) {
  MSG_BASE* all[] = {
      MSG_TDR::E::SOURCE_GENERIC("f.xml", "bad"), MSG_TDR::E::SOURCE_INVALID_FORMAT(),
      MSG_TDR::W::MISSING_NAME("instance"), MSG_TDR::W::DUPLICATE_NAME("a"),
      MSG_TDR::W::UNDEFINED_CLK(), MSG_TDR::W::EMPTY_SIGNAL_SET(),
      MSG_TDR::W::INVALID_SAMPLE_DEPTH(), MSG_TDR::W::DUPLICATE_SYMBOL("s", "1", "t", "2"),
      MSG_TDR::W::INVALID_SIGNAL_REF("s"), MSG_TDR::W::INVALID_BUS_REF("bus", "IDLE", "trig"),
      MSG_TDR::W::INVALID_SYM_TABLE("t"), MSG_TDR::W::INVALID_SYMBOL("s", "t"),
      MSG_TDR::W::COND_SYNTAX("t", 3, "&&"), MSG_TDR::W::TRIGGER_NOT_USED("s", "t")};
  std::string lines;
  for (MSG_BASE* message : all) {
    lines += message->get_text() + "/" + message->get_id() + "\n";
    EXPECT_EQ(message->get_severity(),
              message->get_id()[0] == 'E' ? MSG_SEVERITY_ERROR : MSG_SEVERITY_WARNING);
    delete message;
  }
  EXPECT_EQ(lines, read_file(source_dir() + "/tests/data/core/catalogue.txt"));
  // Posting hands the arguments on with the filled text.
  MSG_TDR::post(MSG_TDR::W::INVALID_BUS_REF("bus", "IDLE", "trig"));
  MSG_RECORD r = expect_message("WTDR_INVALID_BUS_REF");
  EXPECT_EQ(r.args, std::vector<std::string>({"bus", "IDLE", "trig"}));
  EXPECT_EQ(r.severity, MSG_SEVERITY_WARNING);
}

#define TDR_SOURCE_FILE "suite_msg_test"
TEST_F(TdrTest, InternalErrorsAndDebugLinesReachTheSink) {
  int x = 0;
  EXPECT_FALSE(TDR_CHECK(x != 0));
  CAPTURED_INTERNAL_ERROR e = expect_internal_error("x != 0");
  EXPECT_EQ(e.module, "TDR");
  EXPECT_EQ(e.file, "suite_msg_test");
  EXPECT_GT(e.line, 0);
  EXPECT_TRUE(TDR_CHECK(x == 0));
  EXPECT_TRUE(tdr_msg_debug("Compress file %s of size %d byte", "a/b.kfb", 12));
  ASSERT_EQ(m_sink.debug_lines.size(), 1u);
  EXPECT_EQ(m_sink.debug_lines[0], "Compress file a/b.kfb of size 12 byte");
  MSG_D* d = MSG_TDR::DEBUG_MSG("path %s", "x/y");
  EXPECT_EQ(d->get_text(), "path x/y");
  EXPECT_EQ(d->get_module(), "TDR");
  delete d;
}

TEST(MessageDefaultSink, WritesTheDocumentedLines) {
  testing::internal::CaptureStderr();
  MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME("a"));
  MSG_TDR::post(MSG_TDR::E::SOURCE_INVALID_FORMAT());
  MSG_INTERNAL_ERROR::report("ret != NULL", "TDR", "tdr_data_manager", 12);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "Warning (WTDR_DUPLICATE_NAME): Created entity with duplicate name \"a\"\n"
            "Error (ETDR_SOURCE_INVALID_FORMAT): Tavrin File is not in valid format\n"
            "Internal Error: ret != NULL (TDR, tdr_data_manager:12)\n");
}
