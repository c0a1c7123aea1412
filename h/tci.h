// Advanced-trigger compiler: turns the advanced condition of one trigger level
// into an expression tree and derives from the tree a canonical CRC text, a
// pipeline latency and an estimate of the logic cells it needs. The language,
// the node codes and the models are described in docs/tci.md.
#ifndef H_TCI_H
#define H_TCI_H

#include <string>
#include <unordered_map>
#include <vector>

// Node type codes. The numbers are part of the interface (callers ask for
// counts by code) and never change.
enum TCI_NODE_TYPE {
  TCI_NTYPE_OUTPUT = 0,             // root of a level: one operand
  TCI_NTYPE_CONSTANT = 1,           // 0 or 1
  TCI_NTYPE_NOT = 2,                // ! ~
  TCI_NTYPE_AND = 3,                // && &   (two or more operands)
  TCI_NTYPE_OR = 4,                 // || |   (two or more operands)
  TCI_NTYPE_XOR = 5,                // ^ !=   (two or more operands)
  TCI_NTYPE_XNOR = 6,               // ==     (exactly two operands)
  TCI_NTYPE_RISING_EDGE = 7,        // rising(x)
  TCI_NTYPE_FALLING_EDGE = 8,       // falling(x)
  TCI_NTYPE_EITHER_EDGE = 9,        // either_edge(x)
  TCI_NTYPE_INPUT = 10,             // trigger port read through the classic route
  TCI_NTYPE_INCREMENTAL_INPUT = 11, // trigger port read through the incremental route
  TCI_NTYPE_COUNT = 12
};

// Maps signal names and aliases of one trigger to trigger-port indices and
// remembers which ports the trees built against it read.
class TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP {
 public:
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP();
  ~TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP();
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP(const TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP&) = delete;
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP& operator=(const TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP&) =
      delete;

  // Forgets every name, port, used flag and both node counts.
  void clear_table();
  // Maps `name` (exact, case-sensitive) to port `index`. False for a null or
  // empty name, a negative index, or a name already mapped (the first entry
  // stays; mapping the same name to the same index again answers true).
  bool insert_table_entry(const char* name, int index);
  bool insert_table_entry(const std::string& name, int index);
  // Port index of `name`, or -1 when the name is not mapped.
  int find_port_index(const std::string& name) const;

  // Ports at or above (trigger nodes - incremental nodes) are read through the
  // incremental route; with no incremental nodes no port is. Negative counts
  // are taken as 0.
  void set_num_trigger_nodes(int n);
  void set_num_incremental_trigger_nodes(int n);
  int get_num_trigger_nodes() const { return m_num_trigger_nodes; }
  int get_num_incremental_trigger_nodes() const { return m_num_incremental_trigger_nodes; }
  bool is_incremental_port(int index) const;

  // Used flags accumulate over every successful build that marks ports until
  // they are cleared; deleting a tree does not clear them.
  void clear_used_flags();
  void set_port_used(int index);  // ignored for ports without a name
  bool is_port_used(int index) const;
  // True when every port that has a name is used (so also for an empty table).
  bool all_signals_used() const;
  // The number of trigger nodes, or one past the highest mapped port when that is larger.
  int get_trigger_port_width() const;

 private:
  bool insert(const char* name, size_t length, int index);
  // The slot holding `name`, or the free slot it would take (slots not empty).
  size_t probe(const char* name, size_t length) const;
  void grow_slots();
  void map_port(int index);

  // A trigger's map is refilled with much the same names after every commit,
  // so a cleared table keeps its storage: the first m_count entries are live,
  // found through open-addressed slots (entry number + 1, 0 for none).
  struct ENTRY {
    std::string name;
    int index;
  };
  std::vector<ENTRY> m_entries;
  size_t m_count;
  std::vector<unsigned> m_slots;  // a power of two in size, at most half full
  // Ports below PORT_STATES_LIMIT: -1 unmapped, 0 mapped, 1 used; the others
  // (only a caller's odd index) in a map to used.
  static const int PORT_STATES_LIMIT = 1 << 20;
  std::vector<signed char> m_port_states;
  std::unordered_map<int, bool> m_far_ports;
  int m_mapped_ports;
  int m_used_count;
  int m_max_index;
  int m_num_trigger_nodes;
  int m_num_incremental_trigger_nodes;
};

// One node of an expression tree. Nodes belong to their factory; a node never
// deletes its operands. Operands form a list: get_first_operand, then
// get_next_sibling of each operand.
class TCI_ADVANCED_TRIGGER_BASE {
 public:
  virtual ~TCI_ADVANCED_TRIGGER_BASE();
  TCI_ADVANCED_TRIGGER_BASE(const TCI_ADVANCED_TRIGGER_BASE&) = delete;
  TCI_ADVANCED_TRIGGER_BASE& operator=(const TCI_ADVANCED_TRIGGER_BASE&) = delete;

  TCI_NODE_TYPE get_node_type() const { return m_type; }
  int get_operand_count() const { return m_operand_count; }
  TCI_ADVANCED_TRIGGER_BASE* get_first_operand() const { return m_first_operand; }
  TCI_ADVANCED_TRIGGER_BASE* get_next_sibling() const { return m_next_sibling; }
  // Port index of an input node, -1 for other nodes.
  int get_port_index() const;
  // Value of a constant node (0 or 1), -1 for other nodes.
  int get_constant_value() const;
  // LUT levels from the inputs to this node's output under the latency model.
  int get_logic_depth() const { return m_logic_depth; }
  // Clock cycles from sampling the inputs to a registered output of this node.
  // On a level's root this is the coordinated latency once latencies were coordinated.
  virtual int get_pipeline_latency() const;

 protected:
  explicit TCI_ADVANCED_TRIGGER_BASE(TCI_NODE_TYPE type);

 private:
  friend class TCI_TREE_BUILDER;
  TCI_NODE_TYPE m_type;
  int m_value;  // port index or constant value
  int m_operand_count;
  int m_logic_depth;
  TCI_ADVANCED_TRIGGER_BASE* m_first_operand;
  TCI_ADVANCED_TRIGGER_BASE* m_last_operand;
  TCI_ADVANCED_TRIGGER_BASE* m_next_sibling;
};

// Root of one level's tree (node type TCI_NTYPE_OUTPUT, one operand).
class TCI_ADVANCED_TRIGGER_OUTPUT : public TCI_ADVANCED_TRIGGER_BASE {
 public:
  TCI_ADVANCED_TRIGGER_OUTPUT();
  ~TCI_ADVANCED_TRIGGER_OUTPUT() override;
  TCI_ADVANCED_TRIGGER_BASE* get_expression() const { return get_first_operand(); }
  // The coordinated latency when set_coordinated_latency_delay included this
  // root, else the level's own latency.
  int get_pipeline_latency() const override;
  // The latency of this level alone, whatever coordination did.
  int get_own_pipeline_latency() const;
  bool is_latency_coordinated() const { return m_coordinated_latency >= 0; }

 private:
  friend class TCI_ADVANCED_TRIGGER_UTILITY;
  int m_coordinated_latency;  // -1 until coordinated
};

// Holds the tree of one advanced level (normal or power-up) and what the
// compiler needs to know about the level. Deleting it deletes its tree.
class TCI_ADVANCED_TRIGGER_FACTORY {
 public:
  TCI_ADVANCED_TRIGGER_FACTORY();
  ~TCI_ADVANCED_TRIGGER_FACTORY();
  TCI_ADVANCED_TRIGGER_FACTORY(const TCI_ADVANCED_TRIGGER_FACTORY&) = delete;
  TCI_ADVANCED_TRIGGER_FACTORY& operator=(const TCI_ADVANCED_TRIGGER_FACTORY&) = delete;

  // Names only label diagnostics; null is taken as "".
  void set_trigger_name(const char* name);
  void set_trigger_name(const std::string& name) { m_trigger_name = name; }
  void set_instance_name(const char* name);
  void set_instance_name(const std::string& name) { m_instance_name = name; }
  const std::string& get_trigger_name() const { return m_trigger_name; }
  const std::string& get_instance_name() const { return m_instance_name; }
  // The map is not owned and must outlive every build with this factory.
  void set_name_map(TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* map) { m_name_map = map; }
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* get_name_map() const { return m_name_map; }
  // Zero-based; -1 until set. Only labels diagnostics.
  void set_trigger_level_index(int level) { m_level_index = level; }
  int get_trigger_level_index() const { return m_level_index; }

  // The tree's root, or null when no tree was built or the last build failed.
  TCI_ADVANCED_TRIGGER_OUTPUT* get_root() const { return m_root; }
  // Number of nodes in the tree, the root included (0 without a tree).
  int get_tree_size() const { return static_cast<int>(m_nodes.size()); }

 private:
  friend class TCI_TREE_BUILDER;
  friend class TCI_ADVANCED_TRIGGER_UTILITY;
  void delete_tree();

  std::string m_trigger_name;
  std::string m_instance_name;
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* m_name_map;
  int m_level_index;
  TCI_ADVANCED_TRIGGER_OUTPUT* m_root;
  std::vector<TCI_ADVANCED_TRIGGER_BASE*> m_nodes;  // every node of the tree, owned
};

class TCI_ADVANCED_TRIGGER_UTILITY {
 public:
  // Compiles `expression` against the factory's name map and installs the tree
  // in the factory (replacing an earlier one). True on success; on failure the
  // factory holds no tree and a debug line under "TCI" says why. With
  // `mark_used_ports` the ports the new tree reads are marked used in the map.
  // A null factory or a factory without a name map is an internal error.
  static bool create_expression_tree(const char* expression,
                                     TCI_ADVANCED_TRIGGER_FACTORY* factory,
                                     bool mark_used_ports);
  static bool create_expression_tree(const std::string& expression,
                                     TCI_ADVANCED_TRIGGER_FACTORY* factory,
                                     bool mark_used_ports);
  // Number of nodes of type code `type` in the factory's tree (0 for a null
  // factory, a factory without a tree or an unknown code).
  static int get_node_count(const TCI_ADVANCED_TRIGGER_FACTORY* factory, int type);
  // Raises the latency of every non-null root to the largest own latency among
  // them; null roots (basic levels) are skipped. Returns that latency, or -1
  // when no root was given.
  static int set_coordinated_latency_delay(TCI_ADVANCED_TRIGGER_OUTPUT* const* roots,
                                           int count);
};

class TCI_ADVANCED_TRIGGER_CRC_GENERATOR {
 public:
  // Replaces `out` with the canonical text of the tree under `root` (port
  // indices, the level's own latency, "|P" on the power-up side); the empty
  // text for a null root. Returns whether a root was given.
  static bool create_advanced_trigger_crc(const TCI_ADVANCED_TRIGGER_BASE* root,
                                          std::string& out, bool power_up);
};

class TCI_ADVANCED_TRIGGER_LE_USAGE {
 public:
  // Estimated logic cells of the tree under `root` (0 for null).
  static int get_estimated_le_usage(const TCI_ADVANCED_TRIGGER_BASE* root);
};

#endif
