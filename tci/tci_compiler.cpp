// Scanner and parser of advanced trigger expressions. The parser keeps its own
// operand and operator stacks (shunting-yard), so nesting depth is bounded only
// by memory and the work is linear in the length of the text.
#define TCI_SOURCE_FILE "tci_compiler"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "tci_internal.h"

namespace {

enum TOKEN_KIND {
  TK_END,
  TK_NAME,
  TK_CONSTANT,
  TK_FUNCTION,  // an edge function's name with its opening parenthesis
  TK_NOT,
  TK_LPAREN,
  TK_RPAREN,
  TK_BINARY
};

struct TOKEN {
  TOKEN_KIND kind = TK_END;
  size_t offset = 0;
  std::string name;                            // TK_NAME
  int value = 0;                               // TK_CONSTANT
  TCI_NODE_TYPE node_type = TCI_NTYPE_OUTPUT;  // TK_FUNCTION, TK_BINARY
  int precedence = 0;                          // TK_BINARY: higher binds tighter
};

// Binary precedence, loosest first; unary operators bind tighter than all.
enum {
  PREC_LOGICAL_OR = 1,
  PREC_LOGICAL_AND,
  PREC_BIT_OR,
  PREC_BIT_XOR,
  PREC_BIT_AND,
  PREC_EQUALITY
};

bool is_blank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool is_name_start(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 128;
}
bool is_name_char(unsigned char c) {
  return is_name_start(c) || is_digit(c) || c == '[' || c == ']' || c == ':' || c == '.' ||
         c == '/' || c == '$';
}

// Longest part of a name quoted in a diagnostic.
constexpr size_t MAX_NAME_IN_MESSAGE = 64;
// Longer texts are refused before scanning; this keeps every count and offset
// far inside an int and the tree's memory proportionate.
constexpr size_t MAX_EXPRESSION_LENGTH = size_t(64) << 20;

class EXPRESSION_COMPILER {
 public:
  EXPRESSION_COMPILER(const char* text, size_t length, const TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP& map)
      : m_text(text), m_length(length), m_pos(0), m_map(map), m_error_offset(0) {}

  // The root of the new tree (still held by the builder), or null with error() set.
  TCI_ADVANCED_TRIGGER_OUTPUT* compile();

  TCI_TREE_BUILDER& builder() { return m_builder; }
  const std::vector<int>& ports_read() const { return m_ports; }
  const std::string& error() const { return m_error; }
  size_t error_offset() const { return m_error_offset; }

 private:
  enum PENDING_KIND { PENDING_UNARY, PENDING_BINARY, PENDING_GROUP, PENDING_FUNCTION };
  struct PENDING {
    PENDING_KIND kind;
    TCI_NODE_TYPE type;
    int precedence;
    size_t offset;
  };

  bool next_token(TOKEN& token);
  bool scan_quoted_name(TOKEN& token);
  bool scan_bare_name(TOKEN& token);
  bool scan_constant(TOKEN& token);
  bool push_operand(const TOKEN& token);
  void reduce_top();
  bool fail(size_t offset, const std::string& what);

  const char* m_text;
  size_t m_length;
  size_t m_pos;
  const TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP& m_map;
  TCI_TREE_BUILDER m_builder;
  std::vector<TCI_ADVANCED_TRIGGER_BASE*> m_operands;
  std::vector<PENDING> m_pending;
  std::vector<int> m_ports;
  std::string m_error;
  size_t m_error_offset;
};

bool EXPRESSION_COMPILER::fail(size_t offset, const std::string& what) {
  if (m_error.empty()) {
    m_error = what;
    m_error_offset = offset;
  }
  return false;
}

std::string quote_for_message(const std::string& name) {
  if (name.size() <= MAX_NAME_IN_MESSAGE) return "\"" + name + "\"";
  return "\"" + name.substr(0, MAX_NAME_IN_MESSAGE) + "...\"";
}

bool EXPRESSION_COMPILER::next_token(TOKEN& token) {
  while (m_pos < m_length && is_blank(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
  token.offset = m_pos;
  if (m_pos >= m_length) {
    token.kind = TK_END;
    return true;
  }
  const unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
  const unsigned char next =
      m_pos + 1 < m_length ? static_cast<unsigned char>(m_text[m_pos + 1]) : 0;
  auto binary = [&](TCI_NODE_TYPE type, int precedence, size_t width) {
    token.kind = TK_BINARY;
    token.node_type = type;
    token.precedence = precedence;
    m_pos += width;
    return true;
  };
  switch (c) {
    case '(':
      token.kind = TK_LPAREN;
      ++m_pos;
      return true;
    case ')':
      token.kind = TK_RPAREN;
      ++m_pos;
      return true;
    case '!':
      if (next == '=') return binary(TCI_NTYPE_XOR, PREC_EQUALITY, 2);
      token.kind = TK_NOT;
      ++m_pos;
      return true;
    case '~':
      token.kind = TK_NOT;
      ++m_pos;
      return true;
    case '&':
      return next == '&' ? binary(TCI_NTYPE_AND, PREC_LOGICAL_AND, 2)
                         : binary(TCI_NTYPE_AND, PREC_BIT_AND, 1);
    case '|':
      return next == '|' ? binary(TCI_NTYPE_OR, PREC_LOGICAL_OR, 2)
                         : binary(TCI_NTYPE_OR, PREC_BIT_OR, 1);
    case '^':
      return binary(TCI_NTYPE_XOR, PREC_BIT_XOR, 1);
    case '=':
      if (next == '=') return binary(TCI_NTYPE_XNOR, PREC_EQUALITY, 2);
      return fail(m_pos, "a single '=' (compare with '==')");
    case '\'':
      return scan_quoted_name(token);
    default:
      break;
  }
  if (is_digit(c)) return scan_constant(token);
  if (is_name_start(c)) return scan_bare_name(token);
  if (c < 32 || c >= 127) {
    static const char hex[] = "0123456789ABCDEF";
    return fail(m_pos, std::string("an unexpected byte 0x") + hex[c >> 4] + hex[c & 15]);
  }
  return fail(m_pos, std::string("an unexpected character '") + static_cast<char>(c) + "'");
}

bool EXPRESSION_COMPILER::scan_quoted_name(TOKEN& token) {
  const size_t start = m_pos++;
  token.kind = TK_NAME;
  token.name.clear();
  while (m_pos < m_length) {
    const char c = m_text[m_pos];
    if (c == '\'') {
      ++m_pos;
      return true;
    }
    if (c == '\\') {
      if (m_pos + 1 >= m_length) break;
      token.name.push_back(m_text[m_pos + 1]);
      m_pos += 2;
      continue;
    }
    // Copy the plain run in one go.
    size_t end = m_pos + 1;
    while (end < m_length && m_text[end] != '\'' && m_text[end] != '\\') ++end;
    token.name.append(m_text + m_pos, end - m_pos);
    m_pos = end;
  }
  return fail(start, "an unterminated quoted name");
}

bool EXPRESSION_COMPILER::scan_bare_name(TOKEN& token) {
  const size_t start = m_pos++;
  while (m_pos < m_length) {
    const unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
    if (is_name_char(c)) {
      ++m_pos;
    } else if (c == '|' && m_pos + 1 < m_length &&
               is_name_start(static_cast<unsigned char>(m_text[m_pos + 1]))) {
      // Hierarchy separator: a '|' glued to name characters on both sides.
      ++m_pos;
    } else {
      break;
    }
  }
  token.kind = TK_NAME;
  token.name.assign(m_text + start, m_pos - start);

  TCI_NODE_TYPE edge = TCI_NTYPE_OUTPUT;
  if (token.name == "rising") edge = TCI_NTYPE_RISING_EDGE;
  else if (token.name == "falling") edge = TCI_NTYPE_FALLING_EDGE;
  else if (token.name == "either_edge") edge = TCI_NTYPE_EITHER_EDGE;
  if (edge != TCI_NTYPE_OUTPUT) {
    // A function only when a parenthesis follows; otherwise a signal of that name.
    size_t look = m_pos;
    while (look < m_length && is_blank(static_cast<unsigned char>(m_text[look]))) ++look;
    if (look < m_length && m_text[look] == '(') {
      token.kind = TK_FUNCTION;
      token.node_type = edge;
      m_pos = look + 1;
    }
  }
  return true;
}

bool EXPRESSION_COMPILER::scan_constant(TOKEN& token) {
  const size_t start = m_pos;
  while (m_pos < m_length && is_digit(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
  const size_t digits = m_pos - start;
  token.kind = TK_CONSTANT;
  if (digits == 1 && m_text[start] == '1' && m_pos + 2 < m_length && m_text[m_pos] == '\'' &&
      (m_text[m_pos + 1] == 'b' || m_text[m_pos + 1] == 'B') &&
      (m_text[m_pos + 2] == '0' || m_text[m_pos + 2] == '1')) {
    token.value = m_text[m_pos + 2] - '0';  // 1'b0, 1'b1
    m_pos += 3;
  } else if (digits == 1 && (m_text[start] == '0' || m_text[start] == '1')) {
    token.value = m_text[start] - '0';
  } else {
    return fail(start, "a constant other than 0, 1, 1'b0 or 1'b1");
  }
  if (m_pos < m_length &&
      (is_name_char(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '\''))
    return fail(start, "a constant other than 0, 1, 1'b0 or 1'b1");
  return true;
}

bool EXPRESSION_COMPILER::push_operand(const TOKEN& token) {
  if (token.kind == TK_CONSTANT) {
    m_operands.push_back(m_builder.make_leaf(TCI_NTYPE_CONSTANT, token.value));
    return true;
  }
  const int port = m_map.find_port_index(token.name);
  if (port < 0) return fail(token.offset, "unknown name " + quote_for_message(token.name));
  const TCI_NODE_TYPE type =
      m_map.is_incremental_port(port) ? TCI_NTYPE_INCREMENTAL_INPUT : TCI_NTYPE_INPUT;
  m_operands.push_back(m_builder.make_leaf(type, port));
  m_ports.push_back(port);
  return true;
}

void EXPRESSION_COMPILER::reduce_top() {
  const PENDING op = m_pending.back();
  m_pending.pop_back();
  TCI_ADVANCED_TRIGGER_BASE* right = m_operands.back();
  m_operands.pop_back();
  if (op.kind == PENDING_BINARY) {
    TCI_ADVANCED_TRIGGER_BASE* left = m_operands.back();
    m_operands.back() = m_builder.make_binary(op.type, left, right);
  } else {  // unary operator or edge function
    m_operands.push_back(m_builder.make_unary(op.type, right));
  }
}

TCI_ADVANCED_TRIGGER_OUTPUT* EXPRESSION_COMPILER::compile() {
  bool expect_operand = true;
  TOKEN token;
  for (;;) {
    if (!next_token(token)) return nullptr;
    if (expect_operand) {
      switch (token.kind) {
        case TK_NOT:
          m_pending.push_back({PENDING_UNARY, TCI_NTYPE_NOT, 0, token.offset});
          break;
        case TK_LPAREN:
          m_pending.push_back({PENDING_GROUP, TCI_NTYPE_OUTPUT, 0, token.offset});
          break;
        case TK_FUNCTION:
          m_pending.push_back({PENDING_FUNCTION, token.node_type, 0, token.offset});
          break;
        case TK_NAME:
        case TK_CONSTANT:
          if (!push_operand(token)) return nullptr;
          expect_operand = false;
          break;
        case TK_END:
          fail(token.offset, m_pending.empty() ? "an empty expression"
                                               : "the end of the text where an operand belongs");
          return nullptr;
        default:
          fail(token.offset, "an operator or ')' where an operand belongs");
          return nullptr;
      }
      continue;
    }
    switch (token.kind) {
      case TK_BINARY:
        while (!m_pending.empty() &&
               (m_pending.back().kind == PENDING_UNARY ||
                (m_pending.back().kind == PENDING_BINARY &&
                 m_pending.back().precedence >= token.precedence)))
          reduce_top();
        m_pending.push_back({PENDING_BINARY, token.node_type, token.precedence, token.offset});
        expect_operand = true;
        break;
      case TK_RPAREN:
        while (!m_pending.empty() && (m_pending.back().kind == PENDING_UNARY ||
                                      m_pending.back().kind == PENDING_BINARY))
          reduce_top();
        if (m_pending.empty()) {
          fail(token.offset, "a ')' without its '('");
          return nullptr;
        }
        if (m_pending.back().kind == PENDING_GROUP)
          m_pending.pop_back();
        else
          reduce_top();  // the edge function over the operand just closed
        break;
      case TK_END:
        while (!m_pending.empty()) {
          const PENDING& top = m_pending.back();
          if (top.kind == PENDING_GROUP || top.kind == PENDING_FUNCTION) {
            fail(top.offset, "a '(' without its ')'");
            return nullptr;
          }
          reduce_top();
        }
        return m_builder.make_output(m_operands.back());
      default:
        fail(token.offset, "a missing operator");
        return nullptr;
    }
  }
}

// Compiles and installs; on failure says why in `error` and `error_offset`.
bool try_compile(const char* text, size_t length, TCI_ADVANCED_TRIGGER_FACTORY* factory,
                 TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* map, bool mark_used_ports,
                 std::string& error, size_t& error_offset) {
  if (length > MAX_EXPRESSION_LENGTH) {
    error = "a text longer than 64 MiB";
    return false;
  }
  try {
    EXPRESSION_COMPILER compiler(text, length, *map);
    TCI_ADVANCED_TRIGGER_OUTPUT* root = compiler.compile();
    if (!root) {
      error = compiler.error();
      error_offset = compiler.error_offset();
      return false;
    }
    compiler.builder().install(factory, root);
    if (mark_used_ports)
      for (int port : compiler.ports_read()) map->set_port_used(port);
    return true;
  } catch (const std::bad_alloc&) {
    error = "too little memory";
    return false;
  }
}

bool compile_into(const char* text, size_t length, TCI_ADVANCED_TRIGGER_FACTORY* factory,
                  bool mark_used_ports) {
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* map = factory->get_name_map();
  if (!TCI_CHECK(map != nullptr)) {
    TCI_TREE_BUILDER::clear(factory);
    return false;
  }
  std::string error;
  size_t error_offset = 0;
  if (try_compile(text, length, factory, map, mark_used_ports, error, error_offset)) return true;
  TCI_TREE_BUILDER::clear(factory);
  tci_debug("invalid advanced trigger expression of trigger \"%s\" level %d: %s at offset %lu",
            factory->get_trigger_name().c_str(), factory->get_trigger_level_index(),
            error.c_str(), static_cast<unsigned long>(error_offset));
  return false;
}

}  // namespace

bool TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(const char* expression,
                                                          TCI_ADVANCED_TRIGGER_FACTORY* factory,
                                                          bool mark_used_ports) {
  if (!TCI_CHECK(factory != nullptr)) return false;
  if (!expression) expression = "";
  return compile_into(expression, std::strlen(expression), factory, mark_used_ports);
}

bool TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(const std::string& expression,
                                                          TCI_ADVANCED_TRIGGER_FACTORY* factory,
                                                          bool mark_used_ports) {
  if (!TCI_CHECK(factory != nullptr)) return false;
  return compile_into(expression.data(), expression.size(), factory, mark_used_ports);
}
