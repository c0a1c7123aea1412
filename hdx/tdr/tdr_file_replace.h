// Writing a file by replacing it whole, so that a failed or interrupted write
// never loses what the file held. Every writer of a user's file goes through it.
#ifndef TDR_FILE_REPLACE_H
#define TDR_FILE_REPLACE_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

#include <sys/types.h>

// The bytes go to a new file beside the target, named
// "NAME.tdr-saving-XXXXXX" (NAME the target's file name, X random), which
// commit() flushes, syncs and renames over the target. Until then the target
// is untouched; a failure at any step removes the new file, and a process
// killed half-way leaves only that file behind.
//
// On local disk file systems the replaced file is closed for the last time by
// a worker thread, so that freeing its pages and blocks does not hold up the
// save.
//
// An existing target keeps its permission bits (and its owner and group, where
// the process may set them); a target it may not write is refused as before.
// A symbolic link stays: the file it points to is replaced. A target that is a
// directory is refused; one that is a device or pipe (/dev/stdout) is written
// in place, as it has nothing to lose.
class TDR_FILE_REPLACE {
 public:
  explicit TDR_FILE_REPLACE(const char* target);
  // Abandons the write unless it was committed.
  ~TDR_FILE_REPLACE();
  TDR_FILE_REPLACE(const TDR_FILE_REPLACE&) = delete;
  TDR_FILE_REPLACE& operator=(const TDR_FILE_REPLACE&) = delete;

  // False when the new file could not be made (the target is then unchanged).
  bool is_open() const { return m_fd >= 0; }
  // Buffered output to the new file; large pieces go straight to it.
  std::ostream& stream() { return m_stream; }
  // A C stream over the same output, for printf-style writers. Made on first
  // use; do not interleave it with stream().
  FILE* stdio();
  bool write(const void* data, size_t size);

  // Flushes, syncs, closes and renames the new file over the target. False
  // (target unchanged, new file removed) when anything written or any of these
  // steps failed.
  bool commit();
  // Removes the new file; the target stays as it was.
  void abandon();
  // The errno of the first failure, 0 if none.
  int error() const { return m_error; }
  // The file that will be replaced (the target with its links followed).
  const std::string& path() const { return m_path; }
  const std::string& temp_path() const { return m_temp; }

  // Returns once every file replaced so far is closed for the last time, so
  // its space is back (a save does not wait for that); for callers that need
  // the space, and for timing what comes after a save on its own.
  static void wait_for_release();

  // Whether commit() syncs the data before renaming (on by default; turned
  // off only to measure what the sync costs).
  static void set_sync(bool sync);
  static bool sync_enabled();

 private:
  class BUFFER;
  bool fail(int error);
  bool open_temp();
  static ssize_t stdio_write(void* self, const char* data, size_t size);

  std::string m_path;
  std::string m_temp;  // empty when writing in place
  int m_fd;
  int m_error;
  FILE* m_stdio;
  std::unique_ptr<BUFFER> m_buffer;
  std::ostream m_stream;
};

// Writes all `size` bytes to the descriptor `fd`, going on after short and
// interrupted writes. 0 when done, else the errno of the failure (EIO when a
// write took nothing).
int tdr_write_all(int fd, const void* data, size_t size);

#endif
