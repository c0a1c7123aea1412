// Fuzz harnesses: one function per entry point that takes hostile bytes.
// Shared by the libFuzzer targets and the regression replay test, so a saved
// crasher runs through exactly the code that found it.
#ifndef TDR_FUZZ_HARNESS_H
#define TDR_FUZZ_HARNESS_H

#include <cstddef>
#include <cstdint>
#include <string>

struct TDR_FUZZ_TARGET {
  const char* name;  // also the directory name under fuzz/regressions/
  void (*run)(const uint8_t* data, size_t size);
};

// Every target, ended by an entry with a null name.
extern const TDR_FUZZ_TARGET tdr_fuzz_targets[];
const TDR_FUZZ_TARGET* tdr_fuzz_find_target(const char* name);

// Where the harnesses write their temporary files. Unset, a private
// directory is made on first use (and removed at exit).
void tdr_fuzz_set_scratch_dir(const std::string& dir);
const std::string& tdr_fuzz_scratch_dir();

// Strict mode also asks a resaved session file for the open/save fixed
// point. Unset, the environment variable TDR_FUZZ_STRICT decides.
void tdr_fuzz_set_strict(bool strict);

// A contract the library broke in a way a message cannot excuse (a null name
// handed to a callback, a reread that is not a fixed point...). Aborts, so
// the fuzzer keeps the input.
[[noreturn]] void tdr_fuzz_fail(const char* what);

// Whole files, shared with the test suite. A file that does not open reads as
// empty; write_file replaces `path`, and says whether every byte was written.
std::string read_file(const std::string& path);
bool write_file(const std::string& path, const void* data, size_t size);
bool write_file(const std::string& path, const std::string& content);
// Removes `path` and everything below it; true when nothing is left.
bool remove_tree(const std::string& path);

void tdr_fuzz_session(const uint8_t* data, size_t size);
void tdr_fuzz_condition(const uint8_t* data, size_t size);
void tdr_fuzz_legacy(const uint8_t* data, size_t size);
void tdr_fuzz_basic(const uint8_t* data, size_t size);
void tdr_fuzz_tci(const uint8_t* data, size_t size);
void tdr_fuzz_enum(const uint8_t* data, size_t size);
// An editing script for the player, run on a bundled session.
void tdr_fuzz_replay(const uint8_t* data, size_t size);
// Editing calls, undo and redo on a canonical session; undoing all of them
// must give back the unedited file.
void tdr_fuzz_edit(const uint8_t* data, size_t size);

#endif
