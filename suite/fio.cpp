// Suite path service for POSIX paths; all operations are textual.
#include "fio.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

bool is_sep(char c) { return c == '/'; }

// Splits on separators, dropping empty and "." parts, folding "..".
std::vector<std::string> simplified_parts(const std::string& path, bool absolute) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && is_sep(path[i])) ++i;
    size_t j = i;
    while (j < path.size() && !is_sep(path[j])) ++j;
    std::string part = path.substr(i, j - i);
    i = j;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
        continue;
      }
      if (absolute) continue;  // ".." at the root stays at the root
    }
    parts.push_back(part);
  }
  return parts;
}

std::string join(const std::vector<std::string>& parts, bool absolute) {
  std::string out = absolute ? "/" : "";
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out += '/';
    out += parts[k];
  }
  if (out.empty()) out = ".";
  return out;
}

}  // namespace

std::string FIO_PATH::current_directory() {
  std::vector<char> buf(4096);
  while (!getcwd(buf.data(), buf.size())) {
    if (buf.size() > (1u << 20)) return "/";
    buf.resize(buf.size() * 2);
  }
  return std::string(buf.data());
}

bool FIO_PATH::absolute() const { return !m_path.empty() && is_sep(m_path[0]); }

void FIO_PATH::become_simplified() {
  if (m_path.empty()) return;
  bool abs = absolute();
  bool unc = is_unc_path();
  std::string s = join(simplified_parts(m_path, abs), abs);
  m_path = unc ? "/" + s : s;
}

void FIO_PATH::become_absolute(const std::string& base) {
  if (!absolute()) {
    std::string dir = base.empty() ? current_directory() : base;
    if (dir.empty() || !is_sep(dir.back())) dir += '/';
    m_path = dir + m_path;
  }
  become_simplified();
}

bool FIO_PATH::operator==(const FIO_PATH& other) const {
  FIO_PATH a(*this), b(other);
  a.become_simplified();
  b.become_simplified();
  return a.m_path == b.m_path;
}

std::string FIO_PATH::full_directory() const {
  size_t slash = m_path.find_last_of('/');
  return slash == std::string::npos ? std::string() : m_path.substr(0, slash + 1);
}

std::string FIO_PATH::filename() const {
  size_t slash = m_path.find_last_of('/');
  return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

std::string FIO_PATH::get_relative_to(const FIO_PATH& dir) const {
  FIO_PATH target(*this), base(dir);
  target.become_absolute();
  base.become_absolute();
  std::vector<std::string> t = simplified_parts(target.m_path, true);
  std::vector<std::string> b = simplified_parts(base.m_path, true);
  size_t common = 0;
  while (common < t.size() && common < b.size() && t[common] == b[common]) ++common;
  std::vector<std::string> rel;
  for (size_t k = common; k < b.size(); ++k) rel.push_back("..");
  for (size_t k = common; k < t.size(); ++k) rel.push_back(t[k]);
  return join(rel, false);
}

bool FIO_PATH::is_unc_path() const {
  return m_path.size() > 2 &&
         ((m_path[0] == '/' && m_path[1] == '/' && m_path[2] != '/') ||
          (m_path[0] == '\\' && m_path[1] == '\\' && m_path[2] != '\\'));
}

void FIO_PATH::change_path_separators_for_windows_api() {
  // POSIX file calls take '/' already; only backslashes need turning round.
  for (char& c : m_path)
    if (c == '\\') c = '/';
}

bool FIO_FILE_SYSTEM::exists(const char* path) {
  struct stat st;
  return path && *path && stat(path, &st) == 0;
}
