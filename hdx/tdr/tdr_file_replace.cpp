// Writing a file by replacing it whole: a new file beside the target, synced,
// then renamed over it.
#include "tdr_file_replace.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <streambuf>
#include <system_error>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> s_sync{true};

// Longest part of the target's name kept in the new file's name, so that the
// suffix never pushes it past the file-system's name limit.
const size_t MAX_NAME_KEPT = 200;

// Six letters that differ between processes, calls and attempts. The C random
// generator is left alone: other parts of the library draw from it.
std::string random_suffix(unsigned attempt) {
  static std::atomic<unsigned long long> counter{0};
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  unsigned long long x = static_cast<unsigned long long>(ts.tv_nsec) ^
                         (static_cast<unsigned long long>(ts.tv_sec) << 30) ^
                         (static_cast<unsigned long long>(getpid()) << 16) ^
                         (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL) ^ attempt;
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s;
  for (int i = 0; i < 6; ++i, x /= 62) s.push_back(letters[x % 62]);
  return s;
}

// The directory part of `path`, with its trailing slash ("" for a bare name).
std::string directory_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// `path` with every symbolic link of its last component followed, so that the
// file the link points to is replaced and the link stays. False on a loop.
bool follow_links(std::string* path) {
  for (int hops = 0; hops < 40; ++hops) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink(path->c_str(), buf, sizeof buf);
    if (n < 0) return true;  // not a link, or nothing there yet
    std::string link(buf, static_cast<size_t>(n));
    *path = !link.empty() && link[0] == '/' ? link : directory_of(*path) + link;
  }
  errno = ELOOP;
  return false;
}

// Makes the rename itself durable; the target is already replaced, so a
// failure here is not the save's.
void sync_directory(const std::string& path) {
  std::string dir = directory_of(path);
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  if (::fsync(fd) != 0) {
    // Not all file systems sync directories.
  }
  ::close(fd);
}

// Dropping the last reference to a replaced file frees its pages and blocks, a
// good share of a save on ext4 (more with `discard`). The save keeps the
// replaced file open across the rename and hands that descriptor to this
// worker, so the save returns once the new file is in place.
class RELEASER {
 public:
  // This process's worker; a forked child starts its own.
  static RELEASER* get() {
    RELEASER* r = s_current.load(std::memory_order_acquire);
    if (r) return r;
    RELEASER* fresh = new RELEASER();
    if (!s_current.compare_exchange_strong(r, fresh, std::memory_order_acq_rel)) {
      delete fresh;
      return r;
    }
    static bool s_fork_handler = pthread_atfork(nullptr, nullptr, &forget) == 0;
    (void)s_fork_handler;
    try {
      std::thread(&RELEASER::run, fresh).detach();
    } catch (const std::system_error&) {
      std::lock_guard<std::mutex> lock(fresh->m_mutex);
      fresh->m_broken = true;
    }
    return fresh;
  }

  // Takes `fd` to close; false (the caller closes it) when the worker could not
  // start or is far behind.
  bool give(int fd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_broken || m_fds.size() >= 16) return false;
    m_fds.push_back(fd);
    m_ready.notify_one();
    return true;
  }

  // Returns once every descriptor given so far is closed.
  static void wait_idle() {
    RELEASER* r = s_current.load(std::memory_order_acquire);
    if (!r) return;
    std::unique_lock<std::mutex> lock(r->m_mutex);
    r->m_idle.wait(lock, [r] { return r->m_broken || (r->m_fds.empty() && !r->m_closing); });
  }

 private:
  // The child has only the forking thread: the parent's worker, its queue and
  // its lock (perhaps held at the fork) are left behind.
  static void forget() { s_current.store(nullptr, std::memory_order_release); }

  void run() {
    std::vector<int> fds;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_fds.empty(); });
        fds.swap(m_fds);
        m_closing = true;
      }
      for (int fd : fds) ::close(fd);
      fds.clear();
      std::lock_guard<std::mutex> lock(m_mutex);
      m_closing = false;
      if (m_fds.empty()) m_idle.notify_all();
    }
  }

  static std::atomic<RELEASER*> s_current;
  std::mutex m_mutex;
  std::condition_variable m_ready, m_idle;
  std::vector<int> m_fds;
  bool m_closing = false;  // the worker holds descriptors taken from m_fds
  bool m_broken = false;
};

std::atomic<RELEASER*> RELEASER::s_current{nullptr};

// Whether the file system of `fd` keeps an open file that lost its name out of
// sight: local ones do, network ones show it under a temporary name.
bool hides_unlinked_open_files(int fd) {
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

// A descriptor that keeps the file about to be replaced alive past the rename,
// or -1.
int hold_replaced(const std::string& path) {
  // Non-blocking: something else (a pipe) may have taken the name meanwhile.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    fd = -1;
  }
  return fd;
}

void release_replaced(int fd) {
  if (fd >= 0 && !RELEASER::get()->give(fd)) ::close(fd);
}

}  // namespace

// Output buffer over the new file; remembers the first write error and
// accepts nothing after it.
class TDR_FILE_REPLACE::BUFFER : public std::streambuf {
 public:
  BUFFER() : m_fd(-1), m_error(0), m_buf(new char[k_size]) { discard(); }
  void attach(int fd) { m_fd = fd; }
  int error() const { return m_error; }
  void discard() { setp(m_buf.get(), m_buf.get() + k_size); }
  bool put(const char* s, size_t n) {
    return xsputn(s, static_cast<std::streamsize>(n)) == static_cast<std::streamsize>(n);
  }

 protected:
  int_type overflow(int_type ch) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n <= epptr() - pptr()) {
      std::memcpy(pptr(), s, static_cast<size_t>(n));
      pbump(static_cast<int>(n));
      return n;
    }
    if (!drain()) return 0;
    if (n < static_cast<std::streamsize>(k_size) / 2) {
      std::memcpy(pptr(), s, static_cast<size_t>(n));
      pbump(static_cast<int>(n));
      return n;
    }
    return write_all(s, static_cast<size_t>(n)) ? n : 0;
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  static const size_t k_size = 1 << 16;

  bool write_all(const char* s, size_t n) {
    if (m_error) return false;
    m_error = tdr_write_all(m_fd, s, n);
    return m_error == 0;
  }
  bool drain() {
    size_t n = static_cast<size_t>(pptr() - pbase());
    discard();
    return n == 0 ? m_error == 0 : write_all(m_buf.get(), n);
  }

  int m_fd;
  int m_error;
  std::unique_ptr<char[]> m_buf;
};

int tdr_write_all(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t w = ::write(fd, p, size);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return w < 0 ? errno : EIO;
    p += w;
    size -= static_cast<size_t>(w);
  }
  return 0;
}

TDR_FILE_REPLACE::TDR_FILE_REPLACE(const char* target)
    : m_fd(-1), m_error(0), m_stdio(nullptr), m_buffer(new BUFFER()), m_stream(m_buffer.get()) {
  if (!target || !*target) {
    m_error = ENOENT;
    return;
  }
  m_path = target;
  struct stat st;
  bool exists = ::stat(target, &st) == 0;
  if (!exists && errno != ENOENT) {
    m_error = errno;
    return;
  }
  if (exists && S_ISDIR(st.st_mode)) {
    m_error = EISDIR;
    return;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    m_fd = ::open(target, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) m_error = errno;
    m_buffer->attach(m_fd);
    return;
  }
  // A file the user may not write stays refused, as when it was opened for
  // writing: replacing it would go around its permissions.
  if (exists && ::faccessat(AT_FDCWD, target, W_OK, AT_EACCESS) != 0) {
    m_error = errno;
    return;
  }
  if (!follow_links(&m_path) || !open_temp()) {
    m_error = errno;
    return;
  }
  m_buffer->attach(m_fd);
  if (!exists) return;
  // The new file usually has the target's owner and mode already; setting the
  // mode anyway would cost every save an inode update.
  struct stat now;
  if (::fstat(m_fd, &now) != 0) {
    fail(errno);
    return;
  }
  if ((st.st_uid != now.st_uid || st.st_gid != now.st_gid) &&
      ::fchown(m_fd, st.st_uid, st.st_gid) != 0 && ::fchown(m_fd, uid_t(-1), st.st_gid) != 0) {
    // Only a privileged process may give the file to someone else.
  }
  mode_t mode = st.st_mode & 07777;
  if ((now.st_mode & 07777) != mode && ::fchmod(m_fd, mode) != 0 &&
      (::fstat(m_fd, &now) != 0 || (now.st_mode & 07777) != mode))
    fail(errno ? errno : EPERM);
}

TDR_FILE_REPLACE::~TDR_FILE_REPLACE() { abandon(); }

bool TDR_FILE_REPLACE::open_temp() {
  std::string dir = directory_of(m_path);
  std::string name = m_path.substr(dir.size());
  if (name.size() > MAX_NAME_KEPT) name.resize(MAX_NAME_KEPT);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string temp = dir + name + ".tdr-saving-" + random_suffix(attempt);
    // 0666 before the creation mask, as a new target always got.
    m_fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
      m_temp = temp;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

FILE* TDR_FILE_REPLACE::stdio() {
  if (!m_stdio && m_fd >= 0) {
    cookie_io_functions_t io{};
    io.write = &TDR_FILE_REPLACE::stdio_write;
    m_stdio = fopencookie(this, "w", io);
  }
  return m_stdio;
}

ssize_t TDR_FILE_REPLACE::stdio_write(void* self, const char* data, size_t size) {
  return static_cast<TDR_FILE_REPLACE*>(self)->write(data, size) ? static_cast<ssize_t>(size) : 0;
}

bool TDR_FILE_REPLACE::write(const void* data, size_t size) {
  return m_fd >= 0 && m_buffer->put(static_cast<const char*>(data), size);
}

bool TDR_FILE_REPLACE::commit() {
  if (m_fd < 0) return false;
  if (m_stdio) {
    FILE* f = m_stdio;
    m_stdio = nullptr;
    if (std::fclose(f) != 0 && !m_buffer->error()) return fail(EIO);
  }
  m_stream.flush();
  if (m_buffer->error() || !m_stream.good()) return fail(m_buffer->error() ? m_buffer->error() : EIO);
  bool replacing = !m_temp.empty();
  if (replacing && s_sync && ::fsync(m_fd) != 0) return fail(errno);
  int fd = m_fd;
  m_fd = -1;
  bool hold = replacing && hides_unlinked_open_files(fd);
  if (::close(fd) != 0) return fail(errno);
  if (!replacing) return true;
  int replaced = hold ? hold_replaced(m_path) : -1;
  if (::rename(m_temp.c_str(), m_path.c_str()) != 0) {
    int error = errno;
    if (replaced >= 0) ::close(replaced);
    return fail(error);
  }
  m_temp.clear();
  if (s_sync) sync_directory(m_path);
  release_replaced(replaced);
  return true;
}

bool TDR_FILE_REPLACE::fail(int error) {
  if (!m_error) m_error = error;
  abandon();
  return false;
}

void TDR_FILE_REPLACE::abandon() {
  if (m_stdio) {
    std::fclose(m_stdio);
    m_stdio = nullptr;
  }
  m_buffer->discard();
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (!m_temp.empty()) ::unlink(m_temp.c_str());
  m_temp.clear();
}

void TDR_FILE_REPLACE::wait_for_release() { RELEASER::wait_idle(); }

void TDR_FILE_REPLACE::set_sync(bool sync) { s_sync = sync; }
bool TDR_FILE_REPLACE::sync_enabled() { return s_sync; }
