// Import of the older line-based file format.
#define TDR_SOURCE_FILE "tdr_tvf_signal_set"

#include "tdr_data_session.h"

// The line-based importer is not written yet: legacy files open as empty sessions.
bool TDR_DATA_SESSION::parse_tvf_file() { return false; }
