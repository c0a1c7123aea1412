// One acquisition recorded under a trigger, bound to its "data" element. The
// element's text is the sample matrix: one character per sample and data
// wire, row after row ("1" high, anything else low). The log reads the
// matrix in place from the document's text node; it never keeps a copy.
#ifndef TDR_DATA_LOG_H
#define TDR_DATA_LOG_H

#include <cstddef>
#include <string>

#include "tdr_data_xml_util.h"

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_TRIGGER;

class TDR_DATA_LOG {
 public:
  // New, unattached "data" element with a generated name.
  explicit TDR_DATA_LOG(DOMDocument* doc);
  TDR_DATA_LOG(DOMDocument* doc, const char* name);
  // Reads an existing element; the width is the set's data-wire count.
  TDR_DATA_LOG(DOMDocument* doc, DOMElement* element, TDR_DATA_SIGNAL_SET* signal_set,
               TDR_DATA_TRIGGER* trigger);
  virtual ~TDR_DATA_LOG();
  TDR_DATA_LOG(const TDR_DATA_LOG&) = delete;
  TDR_DATA_LOG& operator=(const TDR_DATA_LOG&) = delete;

  const char* get_name() const { return m_name.c_str(); }
  // Renames within the trigger; false (nothing changed) when the name is taken.
  bool set_name(const char* name);
  DOMElement* get_dom_node() const { return m_element; }
  TDR_DATA_SIGNAL_SET* get_signal_set() const { return m_signal_set; }
  // Binds the set; the width becomes its current data-wire count.
  void set_signal_set(TDR_DATA_SIGNAL_SET* signal_set);
  TDR_DATA_TRIGGER* get_trigger() const { return m_trigger; }
  void set_trigger(TDR_DATA_TRIGGER* trigger) { m_trigger = trigger; }
  bool is_global_temp() const;
  void set_global_temp();

  int get_data_sample_depth() const { return m_sample_depth; }
  int get_data_segment_size() const { return m_segment_size; }
  int get_data_trigger_position() const { return m_trigger_position; }
  // Number of data wires a sample row holds.
  int get_data_width() const { return m_width; }
  bool is_power_up_trigger() const { return m_power_up; }
  bool is_acquiring_data() const { return m_acquiring; }
  // Copy of the set's signal-connections string taken with the data; null when none.
  const char* get_unconnected_ports() const {
    return m_has_unconnected ? m_unconnected.c_str() : nullptr;
  }
  // The sample matrix in the document (null without data) and its length.
  const XMLCh* get_samples() const { return m_samples; }
  size_t get_samples_length() const { return m_samples_length; }

  // True when the sample of `wire` at `sample` is "1"; false for indices out
  // of range and past the end of the text.
  bool get_bit(int wire, int sample) const;
  bool is_data_available() const { return m_samples != nullptr && !m_acquiring; }
  // Whether a data wire was connected when the data were stored.
  bool get_connection_status(int wire) const;

  bool start_acquisition();
  bool end_acquisition();

  // Stores a new sample matrix (laid out as above) with its depth, trigger
  // position and power-up flag, and writes the attributes that describe it.
  bool translate_bit_stream(const XMLCh* bits, int sample_depth, int trigger_position,
                            bool power_up);
  // Copies the data and unconnected ports of another log; nothing without data.
  void copy_data(const TDR_DATA_LOG* source);
  // Whether the samples agree with the trigger's last level; with `record`,
  // "sanity_check" becomes "PASS" or "FAIL".
  bool sanity_check_data_validity(bool record);
  // Fabricates data that satisfy the trigger's first level, without hardware.
  void simulate_run();

  // Takes the log out of its trigger and the document, then deletes it.
  void remove();

 private:
  void create_element();
  bool check_validity() const;
  bool sample_high(long long wire, long long sample) const;

  std::string m_name;
  int m_trigger_position = -1;
  int m_sample_depth = 0;
  int m_segment_size = 0;
  int m_width = 0;
  TDR_DATA_SIGNAL_SET* m_signal_set = nullptr;
  TDR_DATA_TRIGGER* m_trigger = nullptr;
  bool m_acquiring = false;
  bool m_power_up = false;
  bool m_has_unconnected = false;
  std::string m_unconnected;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_element = nullptr;
  // Points into the element's text node, which the document owns.
  const XMLCh* m_samples = nullptr;
  size_t m_samples_length = 0;
};

#endif
