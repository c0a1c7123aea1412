// The two presentation views of a signal set (setup view and data view): an
// ordered tree of "net" nodes (one wire each, by name) and "bus" nodes that
// group nets. View nodes are light value handles on the node elements; a
// handle never owns or frees document elements.
#ifndef TDR_DATA_SIGNAL_VIEW_H
#define TDR_DATA_SIGNAL_VIEW_H

#include <memory>
#include <string>

#include "tdr_data_global_enum.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_SIGNAL_WIRE;
class TDR_DATA_SIGNAL_VIEW_NODE;
class TDR_DATA_BUS_MNEMONICS_PLUGIN;

class TDR_DATA_SIGNAL_VIEW {
 public:
  enum VIEW_TYPE { DATA_VIEW = 0, SETUP_VIEW = 1 };

  // Wraps an existing "data_view" / "setup_view" element.
  TDR_DATA_SIGNAL_VIEW(DOMDocument* doc, DOMElement* element, TDR_DATA_SIGNAL_SET* signal_set);
  // Creates a new, unattached view element of that type; any other type value
  // leaves the view without element.
  TDR_DATA_SIGNAL_VIEW(DOMDocument* doc, VIEW_TYPE type, TDR_DATA_SIGNAL_SET* signal_set);
  TDR_DATA_SIGNAL_VIEW(const TDR_DATA_SIGNAL_VIEW&) = delete;
  TDR_DATA_SIGNAL_VIEW& operator=(const TDR_DATA_SIGNAL_VIEW&) = delete;

  TDR_DATA_SIGNAL_SET* get_signal_set() const { return m_signal_set; }
  DOMElement* get_dom_node() const { return m_element; }
  DOMDocument* get_dom_document() const { return m_doc; }

  // First "net" or "bus" child of the view element, or null.
  DOMElement* get_first_child() const;
  TDR_DATA_SIGNAL_VIEW_NODE get_first_node() const;
  // First bus below the view, in document order, whose "name" or, failing
  // that, whose "alias" equals `name`; a null node when none does.
  TDR_DATA_SIGNAL_VIEW_NODE find_bus_node(const char* name) const;
  // New unattached nodes.
  TDR_DATA_SIGNAL_VIEW_NODE create_net_node(const char* name);
  TDR_DATA_SIGNAL_VIEW_NODE create_bus_node(const char* name);
  void insert_first_node(const TDR_DATA_SIGNAL_VIEW_NODE& node);
  void append_node(const TDR_DATA_SIGNAL_VIEW_NODE& node);
  // Replaces the view element by a new empty one at the end of its parent.
  void remove_all_view_nodes();

  // Set by the node list once it has repaired this view against the wires.
  bool m_view_repaired = false;
  bool is_view_repaired() const { return m_view_repaired; }
  void set_view_repaired(bool repaired) { m_view_repaired = repaired; }

 private:
  TDR_DATA_SIGNAL_VIEW_NODE create_node(const char* name, bool bus);

  TDR_DATA_SIGNAL_SET* m_signal_set;
  DOMDocument* m_doc;
  DOMElement* m_element = nullptr;
};

class TDR_DATA_SIGNAL_VIEW_NODE {
 public:
  enum NODE_TYPE { NET_NODE = 0, BUS_NODE = 1 };

  // A null node.
  TDR_DATA_SIGNAL_VIEW_NODE() = default;
  TDR_DATA_SIGNAL_VIEW_NODE(DOMElement* element, TDR_DATA_SIGNAL_VIEW* view);
  // Creates a new, unattached "net" or "bus" element.
  TDR_DATA_SIGNAL_VIEW_NODE(NODE_TYPE type, TDR_DATA_SIGNAL_VIEW* view);
  // Copies refer to the same view and element; caches are not shared.
  TDR_DATA_SIGNAL_VIEW_NODE(const TDR_DATA_SIGNAL_VIEW_NODE& other);
  TDR_DATA_SIGNAL_VIEW_NODE& operator=(const TDR_DATA_SIGNAL_VIEW_NODE& other);
  ~TDR_DATA_SIGNAL_VIEW_NODE();

  bool is_null() const { return m_element == nullptr; }
  bool is_bus() const;
  DOMElement* get_dom_node() const { return m_element; }
  TDR_DATA_SIGNAL_VIEW* get_view() const { return m_view; }

  // Text results stay valid until the matching setter runs on this handle.
  const char* get_name() const;
  const char* get_alias() const;
  TDR_DATA_SIGNAL_TYPE get_signal_type() const;
  TDR_DATA_GROUP_LINKING_TYPE get_bus_linking_type() const;
  TDR_DATA_GROUP_DISPLAY_TYPE get_bus_display_type() const;
  const char* get_mnemonics_table() const;
  // Only for a bus shown through a mnemonics plug-in; creates the
  // "mnemonics_plugin" child when missing.
  std::unique_ptr<TDR_DATA_BUS_MNEMONICS_PLUGIN> get_mnemonics_plugin() const;
  bool is_bus_expanded() const;
  bool is_lsb_to_msb() const;
  bool is_signal_inverted() const;

  bool set_name(const char* name);
  // On a net this renames the alias of the wire of the node's name.
  bool set_alias(const char* alias);
  // On a net this sets the signal type of the wire of the node's name.
  bool set_signal_type(TDR_DATA_SIGNAL_TYPE type);
  bool set_bus_linking_type(TDR_DATA_GROUP_LINKING_TYPE type);
  bool set_bus_display_type(TDR_DATA_GROUP_DISPLAY_TYPE type);
  bool set_signal_inverted(bool inverted);
  bool set_mnemonics_table(const char* name);
  bool set_bus_display_state(bool expand);
  bool set_lsb_to_msb(bool lsb_to_msb);

  // Navigation over "net"/"bus" elements only.
  TDR_DATA_SIGNAL_VIEW_NODE get_first_child() const;
  TDR_DATA_SIGNAL_VIEW_NODE get_last_child() const;
  TDR_DATA_SIGNAL_VIEW_NODE get_next_sibling() const;
  TDR_DATA_SIGNAL_VIEW_NODE get_prev_sibling() const;
  TDR_DATA_SIGNAL_VIEW_NODE clone(bool deep) const;

  // Tree changes; false without change when a handle is null or the document
  // refuses the change.
  bool append_after(const TDR_DATA_SIGNAL_VIEW_NODE& node);
  bool insert_before(const TDR_DATA_SIGNAL_VIEW_NODE& node);
  bool append_child(const TDR_DATA_SIGNAL_VIEW_NODE& node);
  // Takes the element out of its parent and makes this handle null.
  bool remove();

  // The wire whose name or alias equals the node's name; with `report`, a
  // missing wire is reported (WTDR_INVALID_SIGNAL_REF).
  TDR_DATA_SIGNAL_WIRE* get_data_wire(bool report) const;

 private:
  struct BUS_STATE {
    bool alias_read = false;
    bool has_alias = false;
    std::string alias;
    bool type_read = false;
    TDR_DATA_SIGNAL_TYPE signal_type = TDR_STYPE_UNKNOWN_SIGNAL;
    bool table_read = false;
    bool has_table = false;
    std::string table;
  };
  BUS_STATE* bus_state() const;
  // The wire named by this net node (by name or alias), or null.
  TDR_DATA_SIGNAL_WIRE* find_wire() const;
  void clear_caches();

  TDR_DATA_SIGNAL_VIEW* m_view = nullptr;
  mutable bool m_name_read = false;
  mutable bool m_has_name = false;
  mutable std::string m_name;
  mutable std::unique_ptr<BUS_STATE> m_bus;
  DOMElement* m_element = nullptr;
};

#endif
