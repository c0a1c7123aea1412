// The object tree of a session as JSON, shared by `tdr info --json` and
// `tdr diff`.
#ifndef TDR_JSON_H
#define TDR_JSON_H

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class TDR_DATA_LOG;
class TDR_DATA_SESSION;

// Insertion order is kept so the output reads in document order.
using TOOL_JSON = nlohmann::ordered_json;

// The whole tree of `session` read from `file`. With `logs`, each log with data
// is appended to it and carries "samples": its index there, so that logs can
// be compared by content while the session is open.
TOOL_JSON session_json(TDR_DATA_SESSION* session, const std::string& file,
                       std::vector<TDR_DATA_LOG*>* logs = nullptr);

// Lower-case hexadecimal SHA-256 of `size` bytes.
std::string sha256_hex(const unsigned char* data, size_t size);

#endif
