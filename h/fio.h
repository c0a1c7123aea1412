// Suite path and file-system service (POSIX paths).
#ifndef H_FIO_H
#define H_FIO_H

#include <string>

class FIO_PATH {
 public:
  FIO_PATH() {}
  FIO_PATH(const char* path) : m_path(path ? path : "") {}
  FIO_PATH(const std::string& path) : m_path(path) {}

  FIO_PATH& operator=(const char* path) { m_path = path ? path : ""; return *this; }
  FIO_PATH& operator=(const std::string& path) { m_path = path; return *this; }

  // Textual comparison after both sides are simplified; case-sensitive.
  bool operator==(const FIO_PATH& other) const;
  bool operator!=(const FIO_PATH& other) const { return !(*this == other); }

  // True when the path starts at the file-system root.
  bool absolute() const;
  // Joins a relative path to `base` (the current directory when empty), then simplifies.
  void become_absolute(const std::string& base = std::string());
  // Resolves "." and ".." and repeated separators textually.
  void become_simplified();

  const std::string& fullpath() const { return m_path; }
  const char* c_str() const { return m_path.c_str(); }
  bool empty() const { return m_path.empty(); }
  // The directory part, ending in a separator ("" when the path has none).
  std::string full_directory() const;
  // The file name after the last separator.
  std::string filename() const;
  // This path written relative to directory `dir` ("../q/board.kfb"); both are
  // made absolute first.
  std::string get_relative_to(const FIO_PATH& dir) const;
  // Paths of the form "//server/share" or "\\server\share".
  bool is_unc_path() const;
  void change_path_separators_for_windows_api();

  static char default_path_separator() { return '/'; }
  static std::string current_directory();

 private:
  std::string m_path;
};

class FIO_FILE_SYSTEM {
 public:
  static bool exists(const char* path);
};

#endif
