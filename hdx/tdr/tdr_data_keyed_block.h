// The keyed integer block shared by the session's global info and each
// instance's position data: "single" (one int) and "multi" (int array) entries.
#ifndef TDR_DATA_KEYED_BLOCK_H
#define TDR_DATA_KEYED_BLOCK_H

#include <map>
#include <string>
#include <vector>

#include "tdr_data_xml_fwd.h"

class TDR_DATA_KEYED_BLOCK {
 public:
  // Largest "multi" size taken from a file; larger ones are skipped.
  static const int MAX_MULTI_SIZE = 65536;

  // Both false only for a null key. Unless `memory_only`, the first matching
  // child of `element` is updated in place, or a new child is appended.
  bool set_single(const char* key, int value, bool memory_only, xercesc::DOMElement* element);
  bool set_multi(const char* key, const int* values, int count, bool memory_only,
                 xercesc::DOMElement* element);
  // -1 when absent.
  int get_single(const char* key) const;
  // Copies the values (when `values` is not null) and returns their count; -1 when absent.
  int get_multi(const char* key, int* values) const;

  // Reads the "single" and "multi" children of `element` into memory.
  void read(const xercesc::DOMElement* element);
  // Reads the first child of `parent` named `name` and returns it; with none,
  // appends an empty one. Further children of that name are removed: after
  // the next rewrite one of them would come first and be read instead.
  xercesc::DOMElement* read_from(xercesc::DOMElement* parent, const XMLCh* name);
  // Removes `old_element` from `parent`, appends a rebuilt one named `name` as the
  // last child (singles, then multis, each in key order) and returns it.
  xercesc::DOMElement* rewrite(xercesc::DOMElement* parent, xercesc::DOMElement* old_element,
                               const XMLCh* name);
  void clear();

 private:
  std::map<std::string, int> m_single;
  std::map<std::string, std::vector<int>> m_multi;
};

#endif
