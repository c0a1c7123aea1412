// A waveform view of one acquisition log: the scalars and buses to draw and
// their values per sample, shared by the VCD, CSV and SVG writers.
#ifndef TDR_WAVEFORM_H
#define TDR_WAVEFORM_H

#include <cstdio>
#include <string>
#include <vector>

#include "tdr_data_global_enum.h"

class TDR_DATA_LOG;
class TDR_DATA_MNEMONICS;

struct WAVE_SIGNAL {
  std::string name;
  std::string other_name;  // the wire's or bus's name when `name` is its alias
  std::vector<int> wires;  // data-wire indices, bit 0 first
  bool bus = false;
  TDR_DATA_GROUP_DISPLAY_TYPE radix = TDR_GTYPE_HEX_DISPLAY;
  std::string table;  // mnemonic table of the bus, if any
};

class WAVEFORM {
 public:
  // Every data wire as a scalar (alias or name), then the buses of the data view.
  WAVEFORM(TDR_DATA_LOG* log, TDR_DATA_MNEMONICS* mnemonics);

  int depth() const { return m_depth; }
  // The exported window: samples first() up to, not including, end().
  int first() const { return m_first; }
  int end() const { return m_end; }
  void set_window(int first, int end) {
    m_first = first;
    m_end = end;
  }
  void keep_signals(std::vector<WAVE_SIGNAL> kept) { m_signals = std::move(kept); }
  int trigger_sample() const { return m_trigger; }
  int segment_size() const { return m_segment; }
  const std::vector<WAVE_SIGNAL>& signals() const { return m_signals; }

  bool bit(int wire, int sample) const;
  // The value of a signal at a sample, bit 0 lowest; buses wider than 64 bits
  // keep their low 64.
  unsigned long long value(const WAVE_SIGNAL& s, int sample) const;
  // A bus value as the bus shows it: its radix, or its table's symbol.
  std::string format(const WAVE_SIGNAL& s, int sample) const;
  // The value as binary digits, most significant first.
  std::string binary(const WAVE_SIGNAL& s, int sample) const;

 private:
  TDR_DATA_LOG* m_log;
  TDR_DATA_MNEMONICS* m_mnemonics;
  int m_depth = 0;
  int m_first = 0;
  int m_end = 0;
  int m_trigger = -1;
  int m_segment = 0;
  std::vector<WAVE_SIGNAL> m_signals;
};

void write_vcd(const WAVEFORM& wave, const std::string& scope, FILE* out);
void write_csv(const WAVEFORM& wave, FILE* out);
void write_svg(const WAVEFORM& wave, const std::string& title, FILE* out);

#endif
