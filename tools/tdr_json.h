// The object tree of a session as JSON, shared by `tdr info --json` and
// `tdr diff`.
#ifndef TDR_JSON_H
#define TDR_JSON_H

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

class TDR_DATA_SESSION;

// Insertion order is kept so the output reads in document order.
using TOOL_JSON = nlohmann::ordered_json;

// The whole tree of `session` read from `file`. With `samples`, each log with
// data also carries "samples": one {"signal", "bits"} row per data wire, for
// comparing logs by content.
TOOL_JSON session_json(TDR_DATA_SESSION* session, const std::string& file, bool samples);

// Lower-case hexadecimal SHA-256 of `size` bytes.
std::string sha256_hex(const unsigned char* data, size_t size);

#endif
