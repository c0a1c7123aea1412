#include <memory>
#include <string>

#include <unistd.h>

#include "fio.h"
#include "tdr_basic.h"
#include "tdr_test_support.h"

namespace {

std::string attr(const TDR_BASIC_ELEMENT* element, const char* name) {
  std::string value;
  int result = element->get_attribute(name, &value);
  return result == TDR_BASIC_ERROR_CODE_OK ? value : "<" + std::to_string(result) + ">";
}

std::string tag(const TDR_BASIC_ELEMENT* element) {
  std::string name;
  EXPECT_EQ(element->get_name(&name), TDR_BASIC_ERROR_CODE_OK);
  return name;
}

// Tags and attributes of a wrapper tree, for comparing whole trees.
std::string describe(const TDR_BASIC_ELEMENT* element) {
  std::string text = tag(element) + "(";
  xercesc::DOMNamedNodeMap* attrs = element->get_dom_node()->getAttributes();
  for (XMLSize_t i = 0; i < attrs->getLength(); ++i) {
    TDR_DATA_XML_STR name, value;
    name.assign(attrs->item(i)->getNodeName());
    value.assign(attrs->item(i)->getNodeValue());
    text += std::string(name.narrow()) + "=" + (value.narrow() ? value.narrow() : "") + " ";
  }
  for (int i = 0; i < element->get_number_of_child_elements(nullptr); ++i)
    text += describe(element->get_child_element(static_cast<unsigned>(i)));
  return text + ")";
}

// A difference record as "index:name=value" entries.
std::vector<std::string> modifiers(const TDR_BASIC_UNDO_ELEMENT* record) {
  std::vector<std::string> seen;
  int index;
  std::string name, value;
  for (int i = 0; record->get_modifier(i, &index, &name, &value); ++i)
    seen.push_back(std::to_string(index) + ":" + name + "=" + value);
  return seen;
}

// Counts the nodes below `element` that are not elements.
int count_non_elements(xercesc::DOMNode* element) {
  int count = 0;
  for (xercesc::DOMNode* n = element->getFirstChild(); n; n = n->getNextSibling())
    count += n->getNodeType() == xercesc::DOMNode::ELEMENT_NODE ? count_non_elements(n) : 1;
  return count;
}

class TdrBasicTest : public TdrTest {
 protected:
  void SetUp() override {
    TdrTest::SetUp();
    TDR_DATA_XML_UTIL::ensure_xml_initialized();
  }
  std::unique_ptr<TDR_BASIC_SESSION> new_session(const char* name = "session") {
    return std::unique_ptr<TDR_BASIC_SESSION>(new TDR_BASIC_SESSION(name, nullptr, true));
  }
  std::unique_ptr<TDR_BASIC_SESSION> open_file(const std::string& path) {
    auto session = new_session();
    EXPECT_EQ(session->open(path.c_str()), TDR_BASIC_ERROR_CODE_OK);
    return session;
  }
  // Opens `xml`, written to the scratch file `name`.
  std::unique_ptr<TDR_BASIC_SESSION> open_text(const std::string& xml,
                                               const std::string& name = "in.xml") {
    write_file(temp_path(name), xml);
    return open_file(temp_path(name));
  }
  // Saves `session` to a scratch file and returns the bytes written.
  std::string saved(TDR_BASIC_SESSION& session) {
    std::string path = temp_path("saved.xml");
    EXPECT_EQ(session.save_as(path.c_str()), TDR_BASIC_ERROR_CODE_OK);
    return read_file(path);
  }
};

// Sessions, files and instance elements

TEST_F(TdrBasicTest, NewSessionWritesItsRootAndInstances) {
  // The name is the root tag too.
  auto session = new_session("r");
  TDR_BASIC_ELEMENT* a = session->append_instance("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->set_attribute("x", "1"), TDR_BASIC_ERROR_CODE_OK);
  ASSERT_NE(a->append_child_element("c"), nullptr);
  EXPECT_EQ(session->set_attribute("version", "2"), TDR_BASIC_ERROR_CODE_OK);
  const std::string expected = "<r version=\"2\">\n  <a x=\"1\">\n    <c/>\n  </a>\n</r>\n";
  EXPECT_EQ(saved(*session), expected);
  EXPECT_STREQ(session->get_name(), "r");
  EXPECT_EQ(session->save_as(temp_path("missing/dir/x.xml").c_str()),
            TDR_BASIC_ERROR_CODE_FILE_ERROR);
  // save() writes to the file the session is named after.
  std::string cwd = FIO_PATH::current_directory();
  ASSERT_EQ(chdir(temp_dir().c_str()), 0);
  int result = session->save();
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  EXPECT_EQ(result, TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(read_file(temp_path("r")), expected);
}

TEST_F(TdrBasicTest, OpenWrapsElementChildrenAndKeepsTheRest) {
  auto session = open_text("<session kind=\"t\"><!--note--><a n=\"1\">text<b><c/></b><d/></a>"
                           "<e/><a n=\"2\"/></session>");
  ASSERT_EQ(session->get_num_instance_elements(), 3);
  TDR_BASIC_ELEMENT* a = session->get_instance_at(0);
  EXPECT_EQ(describe(a), "a(n=1 b(c())d())");
  TDR_BASIC_ELEMENT* c = a->get_child_element(0u)->get_child_element(0u);
  EXPECT_EQ(c->get_root_node(), a->get_dom_node());
  EXPECT_EQ(c->get_undo_buffer(), a->get_undo_buffer());
  // Every instance element got its own history.
  EXPECT_NE(session->get_instance_at(1)->get_undo_buffer(), a->get_undo_buffer());
  // Wrapping is for an instance element, once.
  EXPECT_EQ(c->populate_element_tree(nullptr), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  expect_internal_error("m_parent == NULL && m_root_node == NULL");
  EXPECT_EQ(a->populate_element_tree(nullptr), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  expect_internal_error("m_children.empty()");
  EXPECT_EQ(describe(a), "a(n=1 b(c())d())");

  // Text and comments stay in the document: saving twice is a fixed point.
  std::string out = saved(*session);
  EXPECT_NE(out.find("<!--note-->\n  <a n=\"1\">text"), std::string::npos);
  EXPECT_EQ(saved(*open_text(out, "out.xml")), out);

  // The constructor opens an existing file unless asked for a new one.
  std::string path = temp_path("in.xml");
  EXPECT_EQ(TDR_BASIC_SESSION("s", path.c_str(), false).get_num_instance_elements(), 3);
  EXPECT_EQ(TDR_BASIC_SESSION("s", path.c_str(), true).get_num_instance_elements(), 0);
  TDR_BASIC_SESSION absent("s", temp_path("none.xml").c_str(), false);
  EXPECT_EQ(absent.get_num_instance_elements(), 0);
  EXPECT_NE(absent.append_instance("z"), nullptr);
}

TEST_F(TdrBasicTest, OpenFailuresKeepTheSessionAndPostTheReadError) {
  auto session = new_session();
  session->append_instance("keep");
  EXPECT_EQ(session->open(temp_path("nothing.xml").c_str()), TDR_BASIC_ERROR_CODE_FILE_ERROR);
  EXPECT_EQ(expect_message("ETDR_SOURCE_GENERIC").args.at(0), temp_path("nothing.xml"));

  std::string bad = temp_path("bad.xml");
  write_file(bad, "<session><a></session>");
  EXPECT_EQ(session->open(bad.c_str()), TDR_BASIC_ERROR_CODE_FILE_ERROR);
  expect_message("ETDR_SOURCE_GENERIC");
  EXPECT_EQ(describe(session->get_instance_at(0)), "keep()");
  EXPECT_EQ(session->open(nullptr), TDR_BASIC_ERROR_CODE_FILE_ERROR);

  // A good file replaces everything, temporary instance elements included.
  session->append_temp_instance("t");
  std::string good = temp_path("good.xml");
  write_file(good, "<session><n/></session>");
  EXPECT_EQ(session->open(good.c_str()), TDR_BASIC_ERROR_CODE_OK);
  ASSERT_EQ(session->get_num_instance_elements(), 1);
  EXPECT_EQ(describe(session->get_instance_at(0)), "n()");
  EXPECT_EQ(session->get_num_temp_instance_elements(), 0);
}

TEST_F(TdrBasicTest, InstancesAndTemporaryOnesAreFoundAndDeletedByTagAndPosition) {
  auto session = new_session();
  TDR_BASIC_ELEMENT* a0 = session->append_instance("a");
  TDR_BASIC_ELEMENT* b0 = session->append_instance("b");
  TDR_BASIC_ELEMENT* a1 = session->append_instance("a");
  EXPECT_EQ(session->find_instance("a", 0), a0);
  EXPECT_EQ(session->find_instance("a", 1), a1);
  EXPECT_EQ(session->find_instance("a", 2), nullptr);
  EXPECT_EQ(session->find_instance("A", 0), nullptr);
  EXPECT_EQ(session->find_instance(nullptr, 0), nullptr);
  EXPECT_EQ(session->get_instance_at(-1), nullptr);
  expect_internal_error("index < get_num_instance_elements()");
  EXPECT_EQ(session->get_temp_instance_at(0), nullptr);
  expect_internal_error("index < get_num_temp_instance_elements()");

  for (int result : {session->delete_instance_at(3), session->delete_instance_at(-1),
                     session->delete_instance("b", 1), session->delete_instance(nullptr, 0)})
    EXPECT_EQ(result, TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  EXPECT_EQ(session->get_num_instance_elements(), 3);

  a1->set_attribute("k", "v");
  a1->append_child_element("kid");
  EXPECT_EQ(session->delete_instance("a", 0), TDR_BASIC_ERROR_CODE_OK);
  ASSERT_EQ(session->get_num_instance_elements(), 2);
  EXPECT_EQ(session->get_instance_at(0), b0);
  EXPECT_EQ(session->delete_instance_at(1), TDR_BASIC_ERROR_CODE_OK);

  // Temporary instance elements have their own list and stay out of the file.
  TDR_BASIC_ELEMENT* t0 = session->append_temp_instance("t");
  TDR_BASIC_ELEMENT* t1 = session->append_temp_instance("t");
  ASSERT_NE(t0, nullptr);
  t0->set_attribute("a", "1");
  t0->append_child_element("inner");
  EXPECT_EQ(session->find_temp_instance("t", 1), t1);
  EXPECT_EQ(session->find_instance("t", 0), nullptr);
  EXPECT_EQ(saved(*session), "<session>\n  <b/>\n</session>\n");
  EXPECT_EQ(session->delete_temp_instance_at(2), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  EXPECT_EQ(session->delete_temp_instance("t", 2), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  EXPECT_EQ(session->delete_temp_instance("t", 1), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(session->get_num_temp_instance_elements(), 1);
  // t0 is left for the session to free.
}

TEST_F(TdrBasicTest, ReplaceInstancePutsTheReplacementInPlace) {
  auto session = new_session();
  TDR_BASIC_ELEMENT* first = session->append_instance("first");
  TDR_BASIC_ELEMENT* old = session->append_instance("old");
  session->append_instance("last");
  TDR_BASIC_ELEMENT* temp = session->append_temp_instance("new");
  temp->set_attribute("v", "9");
  TDR_BASIC_UNDO_BUFFER* own = temp->get_undo_buffer();

  EXPECT_EQ(session->replace_instance(old, nullptr), nullptr);
  EXPECT_EQ(session->replace_instance(temp, old), nullptr);  // temp is no instance element
  EXPECT_EQ(session->replace_instance(old, first), nullptr);  // already in the document

  TDR_BASIC_ELEMENT* returned = session->replace_instance(old, temp);
  ASSERT_EQ(returned, old);
  std::unique_ptr<TDR_BASIC_ELEMENT> owned(returned);
  EXPECT_EQ(session->get_num_temp_instance_elements(), 0);
  EXPECT_EQ(old->get_undo_buffer()->get_root(), temp);

  EXPECT_EQ(saved(*session), "<session>\n  <first/>\n  <new v=\"9\"/>\n  <last/>\n</session>\n");

  // The history of the old element goes on with its replacement.
  TDR_BASIC_UNDO_BUFFER* history = old->get_undo_buffer();
  history->save_snapshot();
  temp->set_attribute("v", "10");
  ASSERT_TRUE(history->undo());
  EXPECT_EQ(attr(session->get_instance_at(1), "v"), "9");
  EXPECT_EQ(history->get_root(), session->get_instance_at(1));
  // The replacement's own history follows it too, and both go with it.
  EXPECT_EQ(own->get_root(), session->get_instance_at(1));
  EXPECT_EQ(session->delete_instance_at(1), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(session->get_num_instance_elements(), 2);
}

// Attributes and children

TEST_F(TdrBasicTest, AttributeResultCodesAndInvalidNamesAreRefused) {
  auto session = new_session();
  TDR_BASIC_ELEMENT* e = session->append_instance("e");
  std::string value = "stale";
  EXPECT_EQ(e->get_attribute("missing", &value), TDR_BASIC_ERROR_CODE_NOT_FOUND);
  EXPECT_EQ(value, "");
  EXPECT_EQ(e->set_attribute("empty", ""), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(attr(e, "empty"), "");
  // An empty value counts as absent for removal but stays in the element.
  EXPECT_EQ(e->remove_attribute("empty"), TDR_BASIC_ERROR_CODE_NOT_FOUND);
  EXPECT_TRUE(e->get_dom_node()->hasAttribute(TDR_DATA_XML_STR("empty")));

  EXPECT_EQ(e->set_attribute("x", "a\"<&b"), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(attr(e, "x"), "a\"<&b");
  EXPECT_EQ(e->remove_attribute("x"), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(attr(e, "x"), "<3>");  // not found

  for (int result : {e->get_attribute(nullptr, &value), e->get_attribute("x", nullptr),
                     e->set_attribute(nullptr, "1"), e->set_attribute("x", nullptr),
                     e->remove_attribute(nullptr), e->set_attribute("bad name", "1"),
                     e->get_name(nullptr), session->get_attribute(nullptr, &value)})
    EXPECT_EQ(result, TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);

  // The session's own attributes live on the root element.
  EXPECT_EQ(session->set_attribute("r", "1"), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(session->get_attribute("r", &value), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_TRUE(xercesc::XMLString::equals(
      session->get_dom_root()->getAttribute(TDR_DATA_XML_STR("r")), u"1"));
  EXPECT_EQ(session->remove_attribute("r"), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(session->remove_attribute("r"), TDR_BASIC_ERROR_CODE_NOT_FOUND);

  // Tags that are no XML names are refused.
  EXPECT_EQ(session->append_instance("1bad"), nullptr);
  EXPECT_EQ(session->append_instance(nullptr), nullptr);
  EXPECT_EQ(session->append_temp_instance("a b"), nullptr);
  EXPECT_EQ(e->append_child_element("<"), nullptr);
  e->append_child_element("ok");
  EXPECT_EQ(e->insert_child_element("no way", 0), nullptr);
  EXPECT_EQ(e->get_number_of_child_elements(nullptr), 1);
  EXPECT_EQ(session->get_num_instance_elements(), 1);

  // A session whose name is no valid tag has no root to work on.
  TDR_BASIC_SESSION nameless("not a tag", nullptr, true);
  expect_internal_error("m_dom_session != NULL");
  EXPECT_EQ(nameless.append_instance("a"), nullptr);
  expect_internal_error("m_dom_session != NULL");
  EXPECT_EQ(nameless.set_attribute("a", "1"), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  expect_internal_error("m_dom_session != NULL");
  EXPECT_NE(nameless.append_temp_instance("t"), nullptr);
}

TEST_F(TdrBasicTest, ChildrenAreAppendedInsertedFoundAndRemoved) {
  auto session = new_session();
  TDR_BASIC_ELEMENT* top = session->append_instance("top");
  TDR_BASIC_ELEMENT* x = top->append_child_element("x");
  top->append_child_element("z");
  TDR_BASIC_ELEMENT* y = top->insert_child_element("y", 1);
  ASSERT_NE(y, nullptr);
  ASSERT_NE(top->insert_child_element("w", 0), nullptr);
  EXPECT_EQ(describe(top), "top(w()x()y()z())");
  EXPECT_EQ(y->get_root_node(), top->get_dom_node());
  TDR_BASIC_ELEMENT* deep = x->append_child_element("y");
  EXPECT_EQ(deep->get_root_node(), top->get_dom_node());

  EXPECT_EQ(top->insert_child_element("v", 4), nullptr);
  expect_internal_error("position < m_children->size()");
  EXPECT_EQ(top->get_child_element(4u), nullptr);
  expect_internal_error("m_children->size() > index");

  // Descendants in document order: y under x comes before the child y.
  EXPECT_EQ(top->get_number_of_child_elements("y"), 2);
  EXPECT_EQ(top->get_number_of_child_elements(nullptr), 4);
  EXPECT_EQ(top->get_number_of_child_elements("*"), 5);
  EXPECT_EQ(top->get_child_element("y", 0), nullptr);  // a grandchild
  EXPECT_EQ(top->get_child_element("y", 1), y);
  EXPECT_EQ(top->get_child_element(nullptr, 1), x);
  EXPECT_EQ(top->get_child_element(nullptr, 2), nullptr);  // deep, a grandchild
  EXPECT_EQ(top->get_child_element(nullptr, 3), y);
  EXPECT_EQ(top->get_child_element("q", 0), nullptr);
  EXPECT_EQ(top->get_child_element("y", 2), nullptr);
  expect_internal_error("index < size || (index == 0)");

  EXPECT_EQ(top->remove_child_element(nullptr), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  expect_internal_error("element != NULL");
  EXPECT_EQ(top->remove_child_element(deep), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT);
  EXPECT_EQ(top->remove_child_element(x), TDR_BASIC_ERROR_CODE_OK);
  std::unique_ptr<TDR_BASIC_ELEMENT> removed(x);
  EXPECT_EQ(x->get_parent_element(), nullptr);
  EXPECT_EQ(top->get_number_of_child_elements("y"), 1);

  EXPECT_EQ(saved(*session),
            "<session>\n  <top>\n    <w/>\n    <y/>\n    <z/>\n  </top>\n</session>\n");
}

TEST_F(TdrBasicTest, CopyKeepsNestedElementsAndAttributesButNoText) {
  auto session = open_text("<s><i a=\"1\">hello<j b=\"2\"><k c=\"3\"/>more</j><l/></i></s>");
  TDR_BASIC_ELEMENT* original = session->get_instance_at(0);
  TDR_BASIC_ELEMENT* inner = original->get_child_element(0u);
  std::unique_ptr<TDR_BASIC_ELEMENT> copy(new TDR_BASIC_ELEMENT(*original));
  EXPECT_EQ(describe(copy.get()), describe(original));
  EXPECT_EQ(describe(copy.get()), "i(a=1 j(b=2 k(c=3 ))l())");
  EXPECT_EQ(copy->get_root_node(), nullptr);
  EXPECT_EQ(copy->get_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(copy->get_child_element(0u)->get_child_element(0u)->get_root_node(),
            copy->get_dom_node());
  // No text nodes came along.
  EXPECT_EQ(count_non_elements(copy->get_dom_node()), 0);

  // A copy of an inner element stands alone too.
  std::unique_ptr<TDR_BASIC_ELEMENT> part(new TDR_BASIC_ELEMENT(*inner));
  EXPECT_EQ(describe(part.get()), "j(b=2 k(c=3 ))");
  EXPECT_EQ(part->get_root_node(), nullptr);
  EXPECT_EQ(part->get_child_element(0u)->get_root_node(), part->get_dom_node());
}

// Snapshot undo

class TdrBasicUndoTest : public TdrBasicTest {
 protected:
  void SetUp() override {
    TdrBasicTest::SetUp();
    session = new_session();
    TDR_BASIC_ELEMENT* top = session->append_instance("top");
    top->set_attribute("a", "1");
    for (const char* name : {"p", "q"}) {
      TDR_BASIC_ELEMENT* child = top->append_child_element("item");
      child->set_attribute("name", name);
      child->append_child_element("leaf")->set_attribute("v", name);
    }
    buffer = top->get_undo_buffer();
  }
  TDR_BASIC_ELEMENT* live() { return session->get_instance_at(0); }

  std::unique_ptr<TDR_BASIC_SESSION> session;
  TDR_BASIC_UNDO_BUFFER* buffer = nullptr;
};

TEST_F(TdrBasicUndoTest, AttributeChangeUndoesAndRedoes) {
  EXPECT_FALSE(buffer->undo() || buffer->redo() || buffer->is_undoable());
  EXPECT_TRUE(buffer->save_snapshot());
  EXPECT_TRUE(buffer->is_undoable());
  EXPECT_TRUE(buffer->get_record_at(0)->is_full_replace());

  TDR_BASIC_ELEMENT* before = live();
  live()->set_attribute("a", "2");
  live()->get_child_element(1u)->set_attribute("name", "changed");
  ASSERT_TRUE(buffer->undo());
  EXPECT_NE(live(), before);
  EXPECT_EQ(buffer->get_root(), live());
  EXPECT_EQ(describe(live()), "top(a=1 item(name=p leaf(v=p ))item(name=q leaf(v=q )))");
  EXPECT_TRUE(buffer->is_redoable() && !buffer->is_undoable());
  // The undo recorded the changed state as a difference (top, item p, leaf p, item q).
  ASSERT_EQ(buffer->get_num_records(), 2u);
  EXPECT_FALSE(buffer->get_record_at(1)->is_full_replace());
  EXPECT_EQ(modifiers(buffer->get_record_at(1)),
            (std::vector<std::string>{"0:a=2", "3:name=changed"}));

  ASSERT_TRUE(buffer->redo());
  EXPECT_EQ(attr(live(), "a"), "2");
  EXPECT_EQ(attr(live()->get_child_element(1u), "name"), "changed");
  EXPECT_FALSE(buffer->redo());
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(attr(live(), "a"), "1");
  EXPECT_EQ(buffer->get_num_records(), 2u);  // nothing recorded again
  // A snapshot after an undo only drops the redo part.
  EXPECT_TRUE(buffer->save_snapshot());
  EXPECT_TRUE(buffer->get_num_records() == 1u && !buffer->is_redoable());
}

TEST_F(TdrBasicUndoTest, AddedAndRemovedChildrenMakeFullRecords) {
  buffer->save_snapshot();
  live()->set_attribute("a", "2");
  buffer->save_snapshot();
  EXPECT_FALSE(buffer->get_record_at(1)->is_full_replace());
  EXPECT_TRUE(buffer->is_full_snapshot_needed());  // same shape as the newest snapshot

  live()->get_child_element(0u)->append_child_element("extra")->set_attribute("e", "1");
  EXPECT_FALSE(buffer->is_full_snapshot_needed());
  buffer->save_snapshot();
  EXPECT_TRUE(buffer->get_record_at(2)->is_full_replace());

  TDR_BASIC_ELEMENT* gone = live()->get_child_element(1u);
  ASSERT_EQ(live()->remove_child_element(gone), TDR_BASIC_ERROR_CODE_OK);
  delete gone;
  const std::string after_removal = describe(live());
  EXPECT_EQ(after_removal, "top(a=2 item(name=p leaf(v=p )extra(e=1 )))");

  ASSERT_TRUE(buffer->undo());  // records the removal as a full record
  EXPECT_TRUE(buffer->get_record_at(3)->is_full_replace());
  EXPECT_EQ(describe(live()), "top(a=2 item(name=p leaf(v=p )extra(e=1 ))item(name=q leaf(v=q )))");
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(describe(live()), "top(a=2 item(name=p leaf(v=p ))item(name=q leaf(v=q )))");
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(describe(live()), "top(a=1 item(name=p leaf(v=p ))item(name=q leaf(v=q )))");
  EXPECT_FALSE(buffer->undo());
  ASSERT_TRUE(buffer->redo() && buffer->redo() && buffer->redo());
  EXPECT_EQ(describe(live()), after_removal);
  // Wrappers of the rebuilt tree are wired like the ones read from a file.
  TDR_BASIC_ELEMENT* leaf = live()->get_child_element(0u)->get_child_element(0u);
  EXPECT_EQ(leaf->get_root_node(), live()->get_dom_node());
  EXPECT_EQ(leaf->get_undo_buffer(), buffer);
  EXPECT_EQ(leaf->get_session(), session.get());
}

TEST_F(TdrBasicUndoTest, TagChangeMakesAFullRecord) {
  buffer->save_snapshot();
  TDR_BASIC_ELEMENT* q = live()->get_child_element(1u);
  live()->remove_child_element(q);
  delete q;
  live()->append_child_element("other")->append_child_element("leaf");
  buffer->save_snapshot();
  EXPECT_TRUE(buffer->get_record_at(1)->is_full_replace());
  live()->set_attribute("a", "2");
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(tag(live()->get_child_element(1u)), "other");
  EXPECT_EQ(attr(live(), "a"), "1");
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(tag(live()->get_child_element(1u)), "item");
}

TEST_F(TdrBasicUndoTest, SwappedSiblingsAreRecordedAsDifferences) {
  buffer->save_snapshot();
  // Swap p and q: take p out and append an equal element after q.
  TDR_BASIC_ELEMENT* p = live()->get_child_element(0u);
  live()->remove_child_element(p);
  delete p;
  TDR_BASIC_ELEMENT* moved = live()->append_child_element("item");
  moved->set_attribute("name", "p");
  moved->append_child_element("leaf")->set_attribute("v", "p");
  buffer->save_snapshot();
  ASSERT_FALSE(buffer->get_record_at(1)->is_full_replace());
  EXPECT_EQ(modifiers(buffer->get_record_at(1)),
            (std::vector<std::string>{"1:name=q", "2:v=q", "3:name=p", "4:v=p"}));

  live()->set_attribute("a", "x");
  ASSERT_TRUE(buffer->undo() && buffer->undo());
  EXPECT_EQ(describe(live()), "top(a=1 item(name=p leaf(v=p ))item(name=q leaf(v=q )))");
  ASSERT_TRUE(buffer->redo());
  EXPECT_EQ(describe(live()), "top(a=1 item(name=q leaf(v=q ))item(name=p leaf(v=p )))");
}

TEST_F(TdrBasicUndoTest, SavepointFollowsTheLiveState) {
  EXPECT_TRUE(buffer->is_last_savepoint());
  buffer->save_snapshot();
  EXPECT_FALSE(buffer->is_last_savepoint());
  live()->set_attribute("a", "2");
  buffer->set_savepoint();  // the file now holds a=2
  EXPECT_TRUE(buffer->is_last_savepoint());
  ASSERT_TRUE(buffer->undo());
  EXPECT_FALSE(buffer->is_last_savepoint());
  ASSERT_TRUE(buffer->redo());
  EXPECT_TRUE(buffer->is_last_savepoint());
  // Nothing is recorded (the state is already the newest record), but a
  // snapshot announces a change, so the live state no longer counts as saved.
  buffer->save_snapshot();
  EXPECT_EQ(buffer->get_num_records(), 2u);
  EXPECT_FALSE(buffer->is_last_savepoint());
  live()->set_attribute("a", "3");
  buffer->save_snapshot();
  EXPECT_FALSE(buffer->is_last_savepoint());
  ASSERT_TRUE(buffer->undo() && buffer->undo());
  EXPECT_TRUE(buffer->is_last_savepoint());
}

TEST_F(TdrBasicUndoTest, UndoRestoresValuesExactly) {
  live()->set_attribute("gone", "soon");
  const XMLCh name[] = u"u";
  const XMLCh original[] = {'c', 0x00E9, 0x4E2D, 0xD83D, 0xDE00, 0};
  auto value = [&] { return std::u16string(live()->get_dom_node()->getAttribute(name)); };
  live()->get_dom_node()->setAttribute(name, original);
  buffer->save_snapshot();
  live()->get_dom_node()->setAttribute(name, u"x");
  live()->remove_attribute("gone");
  buffer->save_snapshot();
  live()->get_dom_node()->setAttribute(name, original);
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(value(), u"x");
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(value(), original);
  EXPECT_EQ(attr(live(), "gone"), "soon");
  ASSERT_TRUE(buffer->redo() && buffer->redo());
  EXPECT_EQ(value(), original);
  // Differences only carry attributes that are present.
  EXPECT_EQ(attr(live(), "gone"), "soon");
  // A snapshot compares with the tree as it was at the last one, which had
  // lost "gone": putting it back with its old value is a difference.
  buffer->save_snapshot();  // the live state is the newest record already
  live()->remove_attribute("gone");
  buffer->save_snapshot();
  ASSERT_EQ(buffer->get_num_records(), 4u);
  EXPECT_EQ(modifiers(buffer->get_record_at(3)), std::vector<std::string>{});
  live()->set_attribute("gone", "soon");
  EXPECT_EQ(modifiers(buffer->snap_differences()), std::vector<std::string>{"0:gone=soon"});
}

TEST_F(TdrBasicUndoTest, TemporaryInstanceHistory) {
  TDR_BASIC_ELEMENT* temp = session->append_temp_instance("t");
  TDR_BASIC_UNDO_BUFFER* history = temp->get_undo_buffer();
  temp->set_attribute("k", "1");
  history->save_snapshot();
  temp->set_attribute("k", "2");
  ASSERT_TRUE(history->undo());
  TDR_BASIC_ELEMENT* now = session->get_temp_instance_at(0);
  EXPECT_EQ(now, history->get_root());
  EXPECT_EQ(attr(now, "k"), "1");
  EXPECT_EQ(session->get_num_instance_elements(), 1);

  // A change of shape goes through a rebuilt copy.
  history->save_snapshot();
  now->append_child_element("kid")->set_attribute("x", "1");
  ASSERT_TRUE(history->undo());
  EXPECT_EQ(describe(history->get_root()), "t(k=1 )");
  ASSERT_TRUE(history->redo());
  EXPECT_EQ(describe(session->get_temp_instance_at(0)), "t(k=1 kid(x=1 ))");
  EXPECT_EQ(session->get_temp_instance_at(0)->get_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(session->get_num_temp_instance_elements(), 1);
}

TEST_F(TdrBasicUndoTest, SnapDifferencesKeepsTheRedoPart) {
  buffer->save_snapshot();
  live()->set_attribute("a", "2");
  ASSERT_TRUE(buffer->undo());  // records a=2, shows a=1
  TDR_BASIC_UNDO_ELEMENT* record = buffer->snap_differences();
  ASSERT_NE(record, nullptr);
  EXPECT_FALSE(record->is_full_replace());
  EXPECT_EQ(record->get_num_modifiers(), 0);  // a=1 is the state of the first record
  EXPECT_EQ(buffer->get_num_records(), 3u);
  EXPECT_EQ(buffer->get_position(), 2u);
  // The next snapshot drops everything past the position, the new record too.
  buffer->save_snapshot();
  EXPECT_EQ(buffer->get_num_records(), 2u);
  live()->set_attribute("a", "3");
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(attr(live(), "a"), "2");
  ASSERT_TRUE(buffer->redo());
  EXPECT_EQ(attr(live(), "a"), "3");
}

TEST_F(TdrBasicUndoTest, BufferPreconditionsReport) {
  buffer->save_snapshot();
  EXPECT_EQ(buffer->get_copy_at(1), nullptr);
  expect_internal_error("undo_index < m_undo_vec->size()");
  TDR_BASIC_UNDO_ELEMENT full;
  full.m_full_replace = true;
  EXPECT_EQ(buffer->apply_differences(live(), &full, 0), 0);
  expect_internal_error("undo_element->m_full_replace != true");

  TDR_BASIC_UNDO_BUFFER empty;
  EXPECT_FALSE(empty.is_full_snapshot_needed());
  EXPECT_FALSE(empty.clear_redo());
  EXPECT_FALSE(empty.is_same_structure(live(), nullptr));

  // Deleting the instance deletes its history (LeakSanitizer checks).
  live()->set_attribute("a", "2");
  buffer->save_snapshot();
  EXPECT_EQ(session->delete_instance_at(0), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(session->get_num_instance_elements(), 0);
}

TEST_F(TdrBasicUndoTest, PublicDifferenceOperationsNumberInPreOrder) {
  std::unique_ptr<TDR_BASIC_ELEMENT> old(new TDR_BASIC_ELEMENT(*live()));
  live()->get_child_element(1u)->get_child_element(0u)->set_attribute("v", "new");
  live()->set_attribute("b", "");
  TDR_BASIC_UNDO_ELEMENT record;
  EXPECT_EQ(buffer->recurse_differences(old.get(), live(), &record, 10), 15);
  ASSERT_EQ(record.get_num_modifiers(), 2);
  EXPECT_EQ(record.m_modifiers[0].m_index, 10);  // new attribute "b", empty value
  EXPECT_TRUE(record.m_modifiers[1].m_value == TDR_BASIC_UNDO_ELEMENT::XML_STRING(
                                                   TDR_DATA_XML_STR("new").xml()));
  EXPECT_EQ(record.m_modifiers[1].m_index, 14);
  // The old tree is left as it was; applying brings it up to date.
  EXPECT_EQ(attr(old->get_child_element(1u)->get_child_element(0u), "v"), "q");
  EXPECT_EQ(buffer->apply_differences(old.get(), &record, 10), 15);
  EXPECT_EQ(describe(old.get()), describe(live()));
  // A subtree numbered from its own index takes only its modifiers.
  std::unique_ptr<TDR_BASIC_ELEMENT> item(new TDR_BASIC_ELEMENT(*old->get_child_element(1u)));
  item->get_child_element(0u)->set_attribute("v", "q");
  EXPECT_EQ(buffer->apply_differences(item.get(), &record, 13), 15);
  EXPECT_EQ(attr(item->get_child_element(0u), "v"), "new");
  EXPECT_EQ(attr(item.get(), "b"), "<3>");
}

TEST_F(TdrBasicTest, HundredSnapshotsRebuildEveryState) {
  std::string text = "<session>\n  <inst id=\"0\">\n";
  for (int i = 0; i < 20; ++i)
    text += "    <row n=\"" + std::to_string(i) + "\">text " + std::to_string(i) +
            "<cell/><cell/><!--c--></row>\n";
  text += "  </inst>\n  <other/>\n</session>\n";
  auto session = open_text(text);
  TDR_BASIC_UNDO_BUFFER* buffer = session->get_instance_at(0)->get_undo_buffer();
  std::vector<std::string> states;
  for (int r = 0; r < 100; ++r) {
    TDR_BASIC_ELEMENT* live = session->get_instance_at(0);
    states.push_back(describe(live));
    buffer->save_snapshot();
    TDR_BASIC_ELEMENT* row = live->get_child_element(static_cast<unsigned>(r % 20));
    row->set_attribute("n", std::to_string(1000 + r).c_str());
    row->get_child_element(static_cast<unsigned>(r % 2))
        ->set_attribute(("a" + std::to_string(r % 7)).c_str(), std::to_string(r).c_str());
    if (r % 25 == 24) live->append_child_element("row")->set_attribute("n", "new");
  }
  states.push_back(describe(session->get_instance_at(0)));
  int full_records = 0;  // the first and one after each added row
  for (unsigned i = 0; i < buffer->get_num_records(); ++i)
    full_records += buffer->get_record_at(i)->is_full_replace();
  EXPECT_EQ(full_records, 4);

  for (int state = 99; state >= 0; --state) {
    ASSERT_TRUE(buffer->undo());
    ASSERT_EQ(describe(session->get_instance_at(0)), states[state]) << "state " << state;
    std::unique_ptr<TDR_BASIC_ELEMENT> rebuilt(buffer->get_copy_at(static_cast<unsigned>(state)));
    ASSERT_EQ(describe(rebuilt.get()), states[state]);
  }
  EXPECT_FALSE(buffer->undo());
  for (int state = 1; state <= 100; ++state) {
    ASSERT_TRUE(buffer->redo());
    ASSERT_EQ(describe(session->get_instance_at(0)), states[state]) << "state " << state;
  }
  EXPECT_FALSE(buffer->redo());
  EXPECT_EQ(buffer->get_num_records(), 101u);
}

// Undo swaps the live instance for a rebuilt copy: its elements and attributes
// come back, its own text and comments do not (a copy has none), and whatever
// lies around it in the document stays where it was.
TEST_F(TdrBasicTest, UndoReplacesTheInstanceByItsCopyInPlace) {
  auto session = open_text(
      "<session>lead<!--c0--><inst a=\"1\">inner<k b=\"2\">deep<!--ic--></k><!--i2-->"
      "</inst>tail<!--c1--><other/></session>");
  TDR_BASIC_UNDO_BUFFER* buffer = session->get_instance_at(0)->get_undo_buffer();
  const std::string around_head = "<session>lead<!--c0-->\n  <inst a=";
  const std::string around_tail = "\n  </inst>tail<!--c1-->\n  <other/>\n</session>\n";
  EXPECT_EQ(saved(*session), around_head + "\"1\">inner\n    <k b=\"2\">deep<!--ic-->\n    </k>"
                                           "<!--i2-->" + around_tail);
  buffer->save_snapshot();
  TDR_BASIC_ELEMENT* live = session->get_instance_at(0);
  live->set_attribute("a", "2");
  live->get_child_element(0u)->set_attribute("b", "3");
  TDR_BASIC_ELEMENT* added = live->append_child_element("n");
  ASSERT_TRUE(buffer->undo());
  EXPECT_EQ(session->get_num_instance_elements(), 2);
  // The tree taken out stays the session's until it closes: wrappers held
  // from before still answer.
  EXPECT_NE(session->get_instance_at(0), live);
  EXPECT_EQ(tag(added), "n");
  EXPECT_EQ(live->get_child_element(1u), added);
  EXPECT_EQ(saved(*session), around_head + "\"1\">\n    <k b=\"2\"/>" + around_tail);
  ASSERT_TRUE(buffer->redo());
  EXPECT_EQ(saved(*session), around_head + "\"2\">\n    <k b=\"3\"/>\n    <n/>" + around_tail);
  EXPECT_EQ(session->find_instance("other", 0), session->get_instance_at(1));
}

// Size and depth

TEST_F(TdrBasicTest, DeepTreesAreWalkedWithoutRecursion) {
  auto session = new_session();
  TDR_BASIC_ELEMENT* top = session->append_instance("top");
  TDR_BASIC_ELEMENT* node = top;
  const int depth = 12000;
  for (int i = 0; i < depth; ++i) node = node->append_child_element("n");
  node->set_attribute("bottom", "1");
  TDR_BASIC_UNDO_BUFFER* buffer = top->get_undo_buffer();
  buffer->save_snapshot();
  session->get_instance_at(0)->set_attribute("top", "2");
  node->set_attribute("bottom", "2");
  buffer->save_snapshot();
  const TDR_BASIC_UNDO_ELEMENT* record = buffer->get_record_at(1);
  ASSERT_FALSE(record->is_full_replace());
  ASSERT_EQ(record->get_num_modifiers(), 2);
  EXPECT_EQ(record->m_modifiers[1].m_index, depth);
  ASSERT_TRUE(buffer->undo() && buffer->undo());
  TDR_BASIC_ELEMENT* walk = session->get_instance_at(0);
  while (walk->get_number_of_child_elements(nullptr) > 0) walk = walk->get_child_element(0u);
  EXPECT_EQ(attr(walk, "bottom"), "1");
  EXPECT_EQ(session->get_instance_at(0)->get_number_of_child_elements("n"), depth);
}

}  // namespace
