// Hosted files: C stdio streams.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/fresh_name.h"
#include "platform/hosted/hosted_backend.h"
#include "platform/platform.h"

struct platform::File {
  FILE* stream;
};

namespace platform {
namespace {

int lastError = 0;
// The file the console was redirected into stays open, owned here, until the process ends.
File* consoleFile = nullptr;

const char* ModeText(FileMode mode) {
  switch (mode) {
    case FileMode::ReadBinary:
      return "rb";
    case FileMode::WriteBinary:
      return "w+b";
    case FileMode::WriteText:
      return "wt";
    case FileMode::ReadWriteBinary:
      return "r+b";
    case FileMode::AppendBinary:
      return "ab";
  }
  return "rb";
}

bool Check(bool ok) {
  if (!ok) {
    lastError = errno;
  }
  return ok;
}

}  // namespace

File* OpenFile(const char* name, FileMode mode) {
  FILE* stream = std::fopen(name, ModeText(mode));
  if (!Check(stream != nullptr)) {
    return nullptr;
  }
  File* file = new File{stream};
  if (mode == FileMode::WriteBinary || mode == FileMode::WriteText) {
    hosted::RememberWrittenFile(file, name);
  }
  return file;
}

size_t ReadFile(File* file, void* buffer, size_t length) {
  size_t done = std::fread(buffer, 1, length, file->stream);
  Check(done == length || !std::ferror(file->stream));
  return done;
}

size_t WriteFile(File* file, const void* data, size_t length) {
  size_t done = std::fwrite(data, 1, length, file->stream);
  Check(done == length);
  return done;
}

bool SeekFile(File* file, long offset, SeekOrigin origin) {
  int whence = origin == SeekOrigin::Begin ? SEEK_SET
               : origin == SeekOrigin::End ? SEEK_END
                                           : SEEK_CUR;
  return Check(std::fseek(file->stream, offset, whence) == 0);
}

long TellFile(File* file) {
  long position = std::ftell(file->stream);
  Check(position >= 0);
  return position;
}

bool FlushFile(File* file) {
  return Check(std::fflush(file->stream) == 0);
}

bool CloseFile(File* file) {
  hosted::ForgetWrittenFile(file);
  bool ok = Check(std::fclose(file->stream) == 0);
  delete file;
  return ok;
}

// O_EXCL makes the test for a free name and the creation one step.
File* CreateFreshFileBeside(const char* name, const char* suffix, char* chosen, size_t capacity) {
  for (unsigned attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
    if (!FreshNameCandidate(name, "/", suffix, attempt, chosen, capacity)) {
      lastError = ENAMETOOLONG;
      return nullptr;
    }
    const int descriptor = ::open(chosen, O_RDWR | O_CREAT | O_EXCL, 0666);
    if (descriptor >= 0) {
      FILE* stream = ::fdopen(descriptor, "w+b");
      if (Check(stream != nullptr)) {
        File* file = new File{stream};
        hosted::RememberWrittenFile(file, chosen);
        return file;
      }
      ::close(descriptor);
      ::unlink(chosen);
      return nullptr;
    }
    if (!Check(errno == EEXIST)) {
      return nullptr;
    }
  }
  lastError = EEXIST;
  return nullptr;
}

bool DeleteFile(const char* name) {
  return Check(std::remove(name) == 0);
}

bool RenameFile(const char* from, const char* to) {
  return Check(std::rename(from, to) == 0);
}

bool CanCreateFile(const char* name) {
  struct stat info {};
  if (::stat(name, &info) == 0 && S_ISDIR(info.st_mode)) {
    lastError = EISDIR;
    return false;
  }
  const char* separator = std::strrchr(name, '/');
  if (std::strlen(separator != nullptr ? separator + 1 : name) > kMaxNameComponent) {
    lastError = ENAMETOOLONG;
    return false;
  }
  return true;
}

bool CreateDirectory(const char* name) {
  if (::mkdir(name, 0777) == 0) {
    return true;
  }
  struct stat info {};
  return Check(::stat(name, &info) == 0 && S_ISDIR(info.st_mode));
}

const char* SystemErrorText() {
  return std::strerror(lastError);
}

bool RedirectConsole(File* file) {
  consoleFile = file;
  hosted::ForgetWrittenFile(file);  // the report stays, even when the run is interrupted
  std::fflush(stdout);
  std::fflush(stderr);
  std::fflush(file->stream);
  int descriptor = fileno(file->stream);
  return Check(::dup2(descriptor, STDOUT_FILENO) >= 0 && ::dup2(descriptor, STDERR_FILENO) >= 0);
}

}  // namespace platform
