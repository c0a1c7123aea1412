// Advanced-trigger compiler: turns an advanced trigger expression into a
// validated expression tree and derives from it a CRC string, a pipeline
// latency and a logic-usage estimate. This header is what the session library
// calls; the compiler library implements it.
//
// Order of use: a trigger fills its name index map before any of its
// factories is used; a factory gets its names, map and level index before
// create_expression_tree; latencies are coordinated over all levels of a
// trigger before latencies or CRC strings are read.
#ifndef H_TCI_H
#define H_TCI_H

#include <string>

// A node of an expression tree.
class TCI_ADVANCED_TRIGGER_BASE {
 public:
  virtual ~TCI_ADVANCED_TRIGGER_BASE() {}
  // Latency of the subtree in clock cycles (after coordination when the
  // root's latencies were coordinated).
  virtual int get_pipeline_latency() const = 0;
};

// The root of an expression tree: the output of one trigger level.
class TCI_ADVANCED_TRIGGER_OUTPUT : public TCI_ADVANCED_TRIGGER_BASE {
 public:
  ~TCI_ADVANCED_TRIGGER_OUTPUT() override {}
};

// Signal names (and aliases) of a trigger mapped to trigger-port indices,
// with the record of which ports the trees built against it use. One per
// trigger, owned by it.
class TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP {
 public:
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP();
  ~TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP();
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP(const TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP&) = delete;
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP& operator=(const TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP&) =
      delete;

  void clear_table();
  // Maps a signal name or alias to a trigger-port index.
  void insert_table_entry(const char* name, int index);
  void set_num_trigger_nodes(int count);
  void set_num_incremental_trigger_nodes(int count);
  void clear_used_flags();
  // Whether a tree built since clear_used_flags() references the port.
  bool is_port_used(int index) const;
  // Whether the trees reference every port.
  bool all_signals_used() const;
  int get_trigger_port_width() const;

  struct IMPL;
  IMPL* impl() const { return m_impl; }

 private:
  IMPL* m_impl;
};

// Builds and owns the expression tree of one trigger level (normal or
// power-up); deleting the factory deletes its tree.
class TCI_ADVANCED_TRIGGER_FACTORY {
 public:
  TCI_ADVANCED_TRIGGER_FACTORY();
  ~TCI_ADVANCED_TRIGGER_FACTORY();
  TCI_ADVANCED_TRIGGER_FACTORY(const TCI_ADVANCED_TRIGGER_FACTORY&) = delete;
  TCI_ADVANCED_TRIGGER_FACTORY& operator=(const TCI_ADVANCED_TRIGGER_FACTORY&) = delete;

  void set_trigger_name(const char* name);
  void set_instance_name(const char* name);
  // Not owned; must outlive the factory's use.
  void set_name_map(TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* map);
  // Zero-based.
  void set_trigger_level_index(int index);
  // The tree root, or null while no valid tree was built.
  TCI_ADVANCED_TRIGGER_OUTPUT* get_root() const;

  struct IMPL;
  IMPL* impl() const { return m_impl; }

 private:
  IMPL* m_impl;
};

class TCI_ADVANCED_TRIGGER_UTILITY {
 public:
  // True when `expression` is valid; its tree is then built in `factory`.
  // `flag` is true from the data layer and false from trigger editing. On
  // false the caller deletes the factory.
  static bool create_expression_tree(const char* expression,
                                     TCI_ADVANCED_TRIGGER_FACTORY* factory, bool flag);
  // Number of nodes of compiler node type `type` in the factory's tree.
  static int get_node_count(TCI_ADVANCED_TRIGGER_FACTORY* factory, int type);
  // Aligns the latencies of all levels of one trigger; `roots` has `count`
  // entries, null for levels without a tree.
  static void set_coordinated_latency_delay(TCI_ADVANCED_TRIGGER_OUTPUT** roots, int count);
};

class TCI_ADVANCED_TRIGGER_CRC_GENERATOR {
 public:
  // Writes the CRC string of one level into *out; `root` may be null.
  // Equal trees give equal strings.
  static void create_advanced_trigger_crc(TCI_ADVANCED_TRIGGER_OUTPUT* root, std::string* out,
                                          bool power_up);
};

class TCI_ADVANCED_TRIGGER_LE_USAGE {
 public:
  // Estimated number of logic cells the level's tree needs.
  static int get_estimated_le_usage(TCI_ADVANCED_TRIGGER_OUTPUT* root);
};

#endif
