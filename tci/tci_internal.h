// Shared internals of the advanced-trigger compiler: diagnostics and the one
// class allowed to assemble trees.
#ifndef TCI_INTERNAL_H
#define TCI_INTERNAL_H

#include <vector>

#include "msg.h"
#include "tci.h"

// Each source file defines TCI_SOURCE_FILE (its base name) before using these.
#define TCI_INTERNAL_ERROR(text) \
  MSG_INTERNAL_ERROR::report((text), "TCI", TCI_SOURCE_FILE, __LINE__)
#define TCI_CHECK(cond) ((cond) ? true : (TCI_INTERNAL_ERROR(#cond), false))

// Debug line under the module tag "TCI".
bool tci_debug(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Logic levels that fit into one clock cycle under the latency model.
constexpr int TCI_LEVELS_PER_CYCLE = 4;
// Inputs of one logic cell's LUT under the usage model.
constexpr int TCI_LUT_INPUTS = 4;

// Builds trees node by node. Nodes stay in `m_nodes` (owned) until install()
// hands the reachable ones to a factory; the rest are deleted with the builder.
class TCI_TREE_BUILDER {
 public:
  TCI_TREE_BUILDER() = default;
  ~TCI_TREE_BUILDER();
  TCI_TREE_BUILDER(const TCI_TREE_BUILDER&) = delete;
  TCI_TREE_BUILDER& operator=(const TCI_TREE_BUILDER&) = delete;

  TCI_ADVANCED_TRIGGER_BASE* make_leaf(TCI_NODE_TYPE type, int value);
  TCI_ADVANCED_TRIGGER_BASE* make_unary(TCI_NODE_TYPE type, TCI_ADVANCED_TRIGGER_BASE* operand);
  // AND, OR and XOR absorb operands of their own type, so a chain of one
  // operator is one node however it is grouped; each call is O(1).
  TCI_ADVANCED_TRIGGER_BASE* make_binary(TCI_NODE_TYPE type, TCI_ADVANCED_TRIGGER_BASE* left,
                                         TCI_ADVANCED_TRIGGER_BASE* right);
  TCI_ADVANCED_TRIGGER_OUTPUT* make_output(TCI_ADVANCED_TRIGGER_BASE* expression);

  // Computes logic depths under `root`, replaces the factory's tree with the
  // nodes reachable from it and drops the others.
  void install(TCI_ADVANCED_TRIGGER_FACTORY* factory, TCI_ADVANCED_TRIGGER_OUTPUT* root);

  // Leaves the factory without a tree.
  static void clear(TCI_ADVANCED_TRIGGER_FACTORY* factory) { factory->delete_tree(); }

  static bool is_associative(TCI_NODE_TYPE type) {
    return type == TCI_NTYPE_AND || type == TCI_NTYPE_OR || type == TCI_NTYPE_XOR;
  }
  // LUT levels of a gate with `operands` inputs.
  static int gate_levels(int operands);

 private:
  static void append(TCI_ADVANCED_TRIGGER_BASE* parent, TCI_ADVANCED_TRIGGER_BASE* child);
  static void prepend(TCI_ADVANCED_TRIGGER_BASE* parent, TCI_ADVANCED_TRIGGER_BASE* child);
  static void compute_depth(TCI_ADVANCED_TRIGGER_BASE* node);
  TCI_ADVANCED_TRIGGER_BASE* keep(TCI_ADVANCED_TRIGGER_BASE* node);

  std::vector<TCI_ADVANCED_TRIGGER_BASE*> m_nodes;
};

#endif
