// The directory the program runs from, and whole-file writes that never leave
// a half-written book behind.
#include "text/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>
#include <string>

namespace vellumara {

namespace {

// Held for the whole of a write; ExitProcessNow takes it and never gives it
// back, so the process cannot end between writing a temporary file and
// renaming or removing it.
constinit std::mutex writeMutex;

Text CurrentDirectory() {
  std::string buf(256, '\0');
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return ".";
    buf.resize(buf.size() * 2);
  }
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

Text FindRunDirectory() {
  std::string exe(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size());
    if (n < 0) return CurrentDirectory();
    if (static_cast<std::size_t>(n) < exe.size()) {
      exe.resize(static_cast<std::size_t>(n));
      break;
    }
    exe.resize(exe.size() * 2);  // the name may have been cut short
  }
  const std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return CurrentDirectory();
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

// The process umask, read without changing it (umask() would change it for a
// moment, for every thread).
mode_t ProcessUmask() {
  mode_t value = 022;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
      unsigned int parsed = 0;
      if (std::sscanf(line, "Umask: %o", &parsed) == 1) {
        value = static_cast<mode_t>(parsed & 0777);
        break;
      }
    }
    std::fclose(f);
  }
  return value;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

const Text& RunDirectory() {
  static const Text directory = FindRunDirectory();
  return directory;
}

namespace {

bool WriteParts(std::string_view path, const std::vector<std::string_view>& data) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  const std::string target(path);
  const std::size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return false;  // "dir/" names no file
  // Keep the temporary name within the file system's limit of 255 bytes.
  if (base.size() > 200) base.resize(200);
  std::string temporary = directory + "." + base + ".XXXXXX.tmp";

  std::lock_guard<std::mutex> lock(writeMutex);
  const int fd = mkstemps(temporary.data(), 4);
  if (fd < 0) return false;

  // mkstemps makes the file 0600; give it the mode of the file it replaces, or
  // that of a freshly created file.
  mode_t mode = 0666 & ~ProcessUmask();
  struct stat old {};
  if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 07777;
  (void)fchmod(fd, mode);  // some file systems keep no modes; not a reason to fail

  bool ok = true;
  for (std::string_view part : data) {
    if (!part.empty() &&
        !WriteAll(fd, reinterpret_cast<const unsigned char*>(part.data()), part.size())) {
      ok = false;
      break;
    }
  }
  // The content is on disk before it replaces the old file.
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(temporary.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

bool WriteWholeFile(std::string_view path, std::initializer_list<const Bytes*> data) {
  std::vector<std::string_view> parts;
  for (const Bytes* part : data) {
    if (part != nullptr) parts.emplace_back(reinterpret_cast<const char*>(part->data()), part->size());
  }
  return WriteParts(path, parts);
}

bool WriteWholeFile(std::string_view path, const Bytes& data) {
  return WriteWholeFile(path, {&data});
}

bool WriteWholeFile(std::string_view path, std::string_view text) {
  return WriteParts(path, {text});
}

void ExitProcessNow(int status) {
  writeMutex.lock();  // never unlocked: the process ends here
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace vellumara
