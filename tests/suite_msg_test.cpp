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

TEST_F(TdrTest, CatalogueMessagesCarryIdIndexAndFilledText) {
  // Texts of the duplicate-name and condition-syntax entries are checked by
  // the default-sink and condition tests.
  MSG_TDR::post(MSG_TDR::W::INVALID_BUS_REF("bus", "IDLE", "trig"));
  MSG_RECORD r = expect_message("WTDR_INVALID_BUS_REF");
  EXPECT_EQ(r.severity, MSG_SEVERITY_WARNING);
  EXPECT_EQ(r.index, 10);
  EXPECT_EQ(r.args, std::vector<std::string>({"bus", "IDLE", "trig"}));
  EXPECT_EQ(r.text,
            "Trigger condition \"trig\" in Tavrin File contains undefined bus \"bus\" with "
            "symbol or value \"IDLE\"");

  MSG_E* e = MSG_TDR::E::SOURCE_GENERIC("f.xml", "bad");
  EXPECT_EQ(e->get_severity(), MSG_SEVERITY_ERROR);
  EXPECT_EQ(e->get_text(),
            "Corvane software encountered an error while reading Tavrin File f.xml, with "
            "message \"bad\"");
  delete e;

  // Every entry has its own index, 1 to 14, and an identifier of its severity.
  std::vector<MSG_BASE*> all = {
      MSG_TDR::E::SOURCE_GENERIC("", ""), MSG_TDR::E::SOURCE_INVALID_FORMAT(),
      MSG_TDR::W::MISSING_NAME("instance"), MSG_TDR::W::DUPLICATE_NAME(""),
      MSG_TDR::W::UNDEFINED_CLK(), MSG_TDR::W::EMPTY_SIGNAL_SET(),
      MSG_TDR::W::INVALID_SAMPLE_DEPTH(), MSG_TDR::W::DUPLICATE_SYMBOL("s", "1", "t", "2"),
      MSG_TDR::W::INVALID_SIGNAL_REF("s"), MSG_TDR::W::INVALID_BUS_REF("b", "v", "t"),
      MSG_TDR::W::INVALID_SYM_TABLE("t"), MSG_TDR::W::INVALID_SYMBOL("s", "t"),
      MSG_TDR::W::COND_SYNTAX("t", 0, ""), MSG_TDR::W::TRIGGER_NOT_USED("s", "t")};
  for (size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i]->get_index(), int(i + 1));
    EXPECT_EQ(all[i]->get_id().substr(1, 4), "TDR_");
    EXPECT_EQ(all[i]->get_id()[0], i < 2 ? 'E' : 'W');
    EXPECT_EQ(all[i]->get_text().find('%'), std::string::npos) << all[i]->get_text();
    delete all[i];
  }
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
