// Windows of an export: a range of samples and the signals patterns pick.
#ifndef TDR_EXPORT_WINDOW_H
#define TDR_EXPORT_WINDOW_H

#include <string>

class WAVEFORM;

// Reads "FROM:TO" (both included, either may be left out) over a log of
// `depth` samples into the half-open [first, end); false when malformed or
// when FROM lies outside the log.
bool parse_window(const std::string& text, int depth, int* first, int* end);

// Keeps the signals whose name or alias (a bus: its name or alias) equals a
// pattern of the comma-separated `list` or matches it as a shell pattern, in
// their own order. False, after a warning per pattern, when a pattern matches
// nothing.
bool filter_signals(WAVEFORM* wave, const std::string& list);

#endif
