// Queries over built trees: node counts, latency coordination, the canonical
// CRC text and the logic-cell estimate. Every walk is iterative.
#define TCI_SOURCE_FILE "tci_utility"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "tci_internal.h"

int TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(const TCI_ADVANCED_TRIGGER_FACTORY* factory,
                                                 int type) {
  if (!factory || type < 0 || type >= TCI_NTYPE_COUNT) return 0;
  int count = 0;
  for (const TCI_ADVANCED_TRIGGER_BASE* node : factory->m_nodes)
    if (node->get_node_type() == type) ++count;
  return count;
}

int TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(
    TCI_ADVANCED_TRIGGER_OUTPUT* const* roots, int count) {
  if (!roots || count <= 0) return -1;
  int latency = -1;
  for (int i = 0; i < count; ++i)
    if (roots[i]) latency = std::max(latency, roots[i]->get_own_pipeline_latency());
  for (int i = 0; i < count; ++i)
    if (roots[i]) roots[i]->m_coordinated_latency = latency;
  return latency;
}

namespace {

// Word of an operator node in the canonical text; null for leaves.
const char* operator_word(TCI_NODE_TYPE type) {
  switch (type) {
    case TCI_NTYPE_OUTPUT: return "OUT";
    case TCI_NTYPE_NOT: return "NOT";
    case TCI_NTYPE_AND: return "AND";
    case TCI_NTYPE_OR: return "OR";
    case TCI_NTYPE_XOR: return "XOR";
    case TCI_NTYPE_XNOR: return "XNOR";
    case TCI_NTYPE_RISING_EDGE: return "RISE";
    case TCI_NTYPE_FALLING_EDGE: return "FALL";
    case TCI_NTYPE_EITHER_EDGE: return "EDGE";
    default: return nullptr;
  }
}

void append_leaf(const TCI_ADVANCED_TRIGGER_BASE* node, std::string& out) {
  switch (node->get_node_type()) {
    case TCI_NTYPE_CONSTANT:
      out += node->get_constant_value() ? '1' : '0';
      break;
    case TCI_NTYPE_INPUT:
      out += "IN";
      out += std::to_string(node->get_port_index());
      break;
    case TCI_NTYPE_INCREMENTAL_INPUT:
      out += "INC";
      out += std::to_string(node->get_port_index());
      break;
    default:
      out += '?';
      break;
  }
}

// Prefix form: WORD(operand,operand,...) for operators, IN<n>/INC<n>/0/1 for leaves.
void append_prefix_form(const TCI_ADVANCED_TRIGGER_BASE* root, std::string& out) {
  struct FRAME {
    const TCI_ADVANCED_TRIGGER_BASE* node;
    const TCI_ADVANCED_TRIGGER_BASE* next;
  };
  std::vector<FRAME> stack;
  auto open = [&](const TCI_ADVANCED_TRIGGER_BASE* node) {
    const char* word = operator_word(node->get_node_type());
    if (!word) {
      append_leaf(node, out);
      return;
    }
    out += word;
    out += '(';
    stack.push_back({node, node->get_first_operand()});
  };
  open(root);
  while (!stack.empty()) {
    FRAME& top = stack.back();
    if (!top.next) {
      out += ')';
      stack.pop_back();
      continue;
    }
    const TCI_ADVANCED_TRIGGER_BASE* child = top.next;
    if (child != top.node->get_first_operand()) out += ',';
    top.next = child->get_next_sibling();
    open(child);  // may grow the stack; `top` is not used after this
  }
}

// Logic cells of one node under the 4-input LUT model.
int cells_of(const TCI_ADVANCED_TRIGGER_BASE* node) {
  switch (node->get_node_type()) {
    case TCI_NTYPE_OUTPUT:  // the level's output register
    case TCI_NTYPE_RISING_EDGE:
    case TCI_NTYPE_FALLING_EDGE:
    case TCI_NTYPE_EITHER_EDGE:  // previous-value register and detector share a cell
      return 1;
    case TCI_NTYPE_AND:
    case TCI_NTYPE_OR:
    case TCI_NTYPE_XOR:
    case TCI_NTYPE_XNOR: {
      // A tree of LUTs: each cell merges up to four signals into one.
      const int operands = node->get_operand_count();
      return operands <= 1 ? 0 : (operands - 1 + TCI_LUT_INPUTS - 2) / (TCI_LUT_INPUTS - 1);
    }
    default:  // inputs and constants are wires; inverters fold into their reader
      return 0;
  }
}

}  // namespace

bool TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(
    const TCI_ADVANCED_TRIGGER_BASE* root, std::string& out, bool power_up) {
  out.clear();
  if (!root) return false;
  if (root->get_node_type() == TCI_NTYPE_OUTPUT) {
    const TCI_ADVANCED_TRIGGER_OUTPUT* output = static_cast<const TCI_ADVANCED_TRIGGER_OUTPUT*>(root);
    if (output->get_expression()) append_prefix_form(output->get_expression(), out);
    // The level's own latency: coordination depends on the other levels and on call order.
    out += "|L";
    out += std::to_string(output->get_own_pipeline_latency());
  } else {
    append_prefix_form(root, out);
  }
  if (power_up) out += "|P";
  return true;
}

int TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(const TCI_ADVANCED_TRIGGER_BASE* root) {
  if (!root) return 0;
  long long cells = 0;
  std::vector<const TCI_ADVANCED_TRIGGER_BASE*> stack(1, root);
  while (!stack.empty()) {
    const TCI_ADVANCED_TRIGGER_BASE* node = stack.back();
    stack.pop_back();
    cells += cells_of(node);
    for (const TCI_ADVANCED_TRIGGER_BASE* op = node->get_first_operand(); op;
         op = op->get_next_sibling())
      stack.push_back(op);
  }
  return static_cast<int>(std::min<long long>(cells, INT_MAX));
}
