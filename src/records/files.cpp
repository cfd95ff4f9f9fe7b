// Files of the tools: regular files opened for reading without waiting, lines of text read whole
// whatever bytes they hold, telling an output that is the input itself, and sets of files made anew that replace the old ones only once all of
// them are whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include "records/records.h"

namespace {

constexpr int TemporaryNameTries = 100;

// A file created beside name, never one that exists: name.part0, name.part1, ...
std::FILE* CreateTemporary(const std::string& name, std::string& temporary) {
  for (int n = 0; n < TemporaryNameTries; n++) {
    temporary = name + ".part" + std::to_string(n);
    int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      if (std::FILE* file = fdopen(descriptor, "wb")) return file;
      close(descriptor);
      unlink(temporary.c_str());
      return nullptr;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

}  // namespace

int OpenRegularFile(const char* name, struct stat* info) {
  struct stat status;
  if (!info) info = &status;
  int descriptor = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor >= 0 && (fstat(descriptor, info) != 0 || !S_ISREG(info->st_mode))) {
    close(descriptor);
    descriptor = -1;
    errno = 0;
  }
  return descriptor;
}

// fgets reads fast but tells neither the length of a line holding a NUL nor whether a line
// end came: the buffer is filled with line feeds first, so that the first one after the call
// is either the line's own (followed by the terminating NUL) or the first of the filling (just
// after the terminating NUL).
bool ReadTextLine(std::FILE* file, char* text, size_t limit, TextLine& line) {
  const size_t size = limit + 2;
  line = TextLine{};
  std::memset(text, '\n', size);
  if (!std::fgets(text, static_cast<int>(size), file)) return false;
  const char* feed = static_cast<const char*>(std::memchr(text, '\n', size));
  size_t at = feed ? static_cast<size_t>(feed - text) : size;
  bool ended = at + 1 < size && text[at + 1] == 0;
  line.length = ended ? at : at - 1;
  line.consumed = line.length + ended;
  line.hasNul = std::memchr(text, 0, line.length) != nullptr;
  bool more = false;
  if (!feed) {  // the buffer is full: the line end may still follow, or the rest of a long line
    int c;
    while ((c = getc_unlocked(file)) != EOF && c != '\n') line.consumed++, more = true;
    line.consumed += c == '\n';
  }
  if (line.length > 0 && text[line.length - 1] == '\r') line.length--;
  line.tooLong = more || line.length > limit;
  if (line.tooLong) line.length = limit;
  text[line.length] = 0;
  return true;
}

bool IsSameFile(const char* a, const char* b) {
  struct stat first, second;
  return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

NewFileSet::~NewFileSet() {
  for (Entry& entry : entries_) {
    if (entry.file) std::fclose(entry.file);
    unlink(entry.temporary.c_str());
  }
}

std::FILE* NewFileSet::Add(const std::string& name) {
  struct stat info;
  std::string temporary;
  std::FILE* file = nullptr;
  // Only a regular file is replaced; a directory or a device in its place is left alone.
  if (stat(name.c_str(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode)) file = CreateTemporary(name, temporary);
  if (!file) {
    failed_ = name;
    return nullptr;
  }
  entries_.push_back({name, temporary, file});
  return file;
}

bool NewFileSet::Commit() {
  bool whole = true;
  for (Entry& entry : entries_) {
    bool written = !std::ferror(entry.file);
    written = std::fclose(entry.file) == 0 && written;
    entry.file = nullptr;
    if (!written && whole) failed_ = entry.name;
    whole = whole && written;
  }
  for (size_t i = 0; whole && i < entries_.size(); i++) {
    if (std::rename(entries_[i].temporary.c_str(), entries_[i].name.c_str()) != 0) {
      failed_ = entries_[i].name;
      whole = false;
    }
  }
  if (whole) entries_.clear();
  return whole;
}
