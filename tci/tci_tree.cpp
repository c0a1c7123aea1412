// Expression-tree nodes, the factory that owns a level's tree, and the builder
// that assembles trees.
#define TCI_SOURCE_FILE "tci_tree"

#include <algorithm>
#include <cstdarg>

#include "tci_internal.h"

namespace {

// Inner nodes have no behaviour of their own beyond the base class.
class TCI_EXPRESSION_NODE : public TCI_ADVANCED_TRIGGER_BASE {
 public:
  explicit TCI_EXPRESSION_NODE(TCI_NODE_TYPE type) : TCI_ADVANCED_TRIGGER_BASE(type) {}
};

int cycles_for_levels(int levels) {
  return (levels + TCI_LEVELS_PER_CYCLE - 1) / TCI_LEVELS_PER_CYCLE;
}

}  // namespace

bool tci_debug(const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool result = msg_local_vdebug("TCI", format, args);
  va_end(args);
  return result;
}

// ---------------------------------------------------------------------------
// Nodes

TCI_ADVANCED_TRIGGER_BASE::TCI_ADVANCED_TRIGGER_BASE(TCI_NODE_TYPE type)
    : m_type(type),
      m_value(-1),
      m_operand_count(0),
      m_logic_depth(-1),
      m_first_operand(nullptr),
      m_last_operand(nullptr),
      m_next_sibling(nullptr) {}

TCI_ADVANCED_TRIGGER_BASE::~TCI_ADVANCED_TRIGGER_BASE() {}

int TCI_ADVANCED_TRIGGER_BASE::get_port_index() const {
  return (m_type == TCI_NTYPE_INPUT || m_type == TCI_NTYPE_INCREMENTAL_INPUT) ? m_value : -1;
}

int TCI_ADVANCED_TRIGGER_BASE::get_constant_value() const {
  return m_type == TCI_NTYPE_CONSTANT ? m_value : -1;
}

int TCI_ADVANCED_TRIGGER_BASE::get_pipeline_latency() const {
  // One output register plus a cycle for every started group of logic levels.
  return 1 + cycles_for_levels(std::max(m_logic_depth, 0));
}

TCI_ADVANCED_TRIGGER_OUTPUT::TCI_ADVANCED_TRIGGER_OUTPUT()
    : TCI_ADVANCED_TRIGGER_BASE(TCI_NTYPE_OUTPUT), m_coordinated_latency(-1) {}

TCI_ADVANCED_TRIGGER_OUTPUT::~TCI_ADVANCED_TRIGGER_OUTPUT() {}

int TCI_ADVANCED_TRIGGER_OUTPUT::get_pipeline_latency() const {
  return m_coordinated_latency >= 0 ? m_coordinated_latency : get_own_pipeline_latency();
}

int TCI_ADVANCED_TRIGGER_OUTPUT::get_own_pipeline_latency() const {
  return TCI_ADVANCED_TRIGGER_BASE::get_pipeline_latency();
}

// ---------------------------------------------------------------------------
// Factory

TCI_ADVANCED_TRIGGER_FACTORY::TCI_ADVANCED_TRIGGER_FACTORY()
    : m_name_map(nullptr), m_level_index(-1), m_root(nullptr) {}

TCI_ADVANCED_TRIGGER_FACTORY::~TCI_ADVANCED_TRIGGER_FACTORY() { delete_tree(); }

void TCI_ADVANCED_TRIGGER_FACTORY::set_trigger_name(const char* name) {
  m_trigger_name = name ? name : "";
}

void TCI_ADVANCED_TRIGGER_FACTORY::set_instance_name(const char* name) {
  m_instance_name = name ? name : "";
}

void TCI_ADVANCED_TRIGGER_FACTORY::delete_tree() {
  // Flat: nodes never delete their operands, so any depth is safe.
  for (TCI_ADVANCED_TRIGGER_BASE* node : m_nodes) delete node;
  m_nodes.clear();
  m_root = nullptr;
}

// ---------------------------------------------------------------------------
// Builder

TCI_TREE_BUILDER::~TCI_TREE_BUILDER() {
  for (TCI_ADVANCED_TRIGGER_BASE* node : m_nodes) delete node;
}

TCI_ADVANCED_TRIGGER_BASE* TCI_TREE_BUILDER::keep(TCI_ADVANCED_TRIGGER_BASE* node) {
  m_nodes.back() = node;
  return node;
}

TCI_ADVANCED_TRIGGER_BASE* TCI_TREE_BUILDER::make_leaf(TCI_NODE_TYPE type, int value) {
  m_nodes.push_back(nullptr);  // room first, so a failed allocation leaks nothing
  TCI_ADVANCED_TRIGGER_BASE* node = keep(new TCI_EXPRESSION_NODE(type));
  node->m_value = value;
  return node;
}

TCI_ADVANCED_TRIGGER_BASE* TCI_TREE_BUILDER::make_unary(TCI_NODE_TYPE type,
                                                        TCI_ADVANCED_TRIGGER_BASE* operand) {
  m_nodes.push_back(nullptr);
  TCI_ADVANCED_TRIGGER_BASE* node = keep(new TCI_EXPRESSION_NODE(type));
  append(node, operand);
  return node;
}

TCI_ADVANCED_TRIGGER_BASE* TCI_TREE_BUILDER::make_binary(TCI_NODE_TYPE type,
                                                         TCI_ADVANCED_TRIGGER_BASE* left,
                                                         TCI_ADVANCED_TRIGGER_BASE* right) {
  if (is_associative(type)) {
    if (left->m_type == type) {
      if (right->m_type == type) {
        // Splice the right node's operands; the right node drops out of the tree.
        left->m_last_operand->m_next_sibling = right->m_first_operand;
        left->m_last_operand = right->m_last_operand;
        left->m_operand_count += right->m_operand_count;
        right->m_first_operand = right->m_last_operand = nullptr;
        right->m_operand_count = 0;
      } else {
        append(left, right);
      }
      return left;
    }
    if (right->m_type == type) {
      prepend(right, left);
      return right;
    }
  }
  m_nodes.push_back(nullptr);
  TCI_ADVANCED_TRIGGER_BASE* node = keep(new TCI_EXPRESSION_NODE(type));
  append(node, left);
  append(node, right);
  return node;
}

TCI_ADVANCED_TRIGGER_OUTPUT* TCI_TREE_BUILDER::make_output(
    TCI_ADVANCED_TRIGGER_BASE* expression) {
  m_nodes.push_back(nullptr);
  TCI_ADVANCED_TRIGGER_OUTPUT* root = new TCI_ADVANCED_TRIGGER_OUTPUT();
  keep(root);
  append(root, expression);
  return root;
}

void TCI_TREE_BUILDER::append(TCI_ADVANCED_TRIGGER_BASE* parent,
                              TCI_ADVANCED_TRIGGER_BASE* child) {
  child->m_next_sibling = nullptr;
  if (parent->m_last_operand)
    parent->m_last_operand->m_next_sibling = child;
  else
    parent->m_first_operand = child;
  parent->m_last_operand = child;
  ++parent->m_operand_count;
}

void TCI_TREE_BUILDER::prepend(TCI_ADVANCED_TRIGGER_BASE* parent,
                               TCI_ADVANCED_TRIGGER_BASE* child) {
  child->m_next_sibling = parent->m_first_operand;
  parent->m_first_operand = child;
  if (!parent->m_last_operand) parent->m_last_operand = child;
  ++parent->m_operand_count;
}

int TCI_TREE_BUILDER::gate_levels(int operands) {
  int levels = 0;
  long long reach = 1;
  while (reach < operands) {
    reach *= TCI_LUT_INPUTS;
    ++levels;
  }
  return levels;
}

// Operands are done before their parent (post-order), so their depths are known.
void TCI_TREE_BUILDER::compute_depth(TCI_ADVANCED_TRIGGER_BASE* node) {
  int deepest = 0;
  for (const TCI_ADVANCED_TRIGGER_BASE* op = node->m_first_operand; op; op = op->m_next_sibling)
    deepest = std::max(deepest, op->m_logic_depth);
  switch (node->m_type) {
    case TCI_NTYPE_AND:
    case TCI_NTYPE_OR:
    case TCI_NTYPE_XOR:
    case TCI_NTYPE_XNOR:
      node->m_logic_depth = deepest + gate_levels(node->m_operand_count);
      break;
    case TCI_NTYPE_RISING_EDGE:
    case TCI_NTYPE_FALLING_EDGE:
    case TCI_NTYPE_EITHER_EDGE:
      // The operand is registered once its cycle is complete; the detector
      // shares the register's cell, so the edge costs exactly one more cycle.
      node->m_logic_depth = (cycles_for_levels(deepest) + 1) * TCI_LEVELS_PER_CYCLE;
      break;
    default:  // inputs, constants, inverters (folded into their reader), the output
      node->m_logic_depth = deepest;
      break;
  }
}

void TCI_TREE_BUILDER::install(TCI_ADVANCED_TRIGGER_FACTORY* factory,
                               TCI_ADVANCED_TRIGGER_OUTPUT* root) {
  // Iterative post-order walk: trees may be arbitrarily deep.
  struct FRAME {
    TCI_ADVANCED_TRIGGER_BASE* node;
    TCI_ADVANCED_TRIGGER_BASE* next;
  };
  std::vector<FRAME> stack;
  stack.push_back({root, root->m_first_operand});
  while (!stack.empty()) {
    FRAME& top = stack.back();
    if (top.next) {
      TCI_ADVANCED_TRIGGER_BASE* child = top.next;
      top.next = child->m_next_sibling;
      stack.push_back({child, child->m_first_operand});  // `top` is not used after this
    } else {
      compute_depth(top.node);
      stack.pop_back();
    }
  }
  // Nodes the walk did not reach were absorbed by an associative neighbour.
  factory->delete_tree();
  std::vector<TCI_ADVANCED_TRIGGER_BASE*>& kept = factory->m_nodes;
  size_t reachable = 0;
  for (TCI_ADVANCED_TRIGGER_BASE* node : m_nodes)
    if (node->m_logic_depth >= 0) ++reachable;
  kept.reserve(reachable);
  for (TCI_ADVANCED_TRIGGER_BASE*& node : m_nodes) {
    if (node->m_logic_depth >= 0) kept.push_back(node);
    else delete node;
    node = nullptr;
  }
  m_nodes.clear();
  factory->m_root = root;
}
