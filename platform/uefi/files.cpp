// UEFI files through the shell protocol (names follow the shell's current directory) or, started
// without a shell, on the image's own volume. The firmware neither truncates on open nor knows
// text mode or appending: this file adds them.
#include <efi.h>

#include "platform/fresh_name.h"
#include "platform/platform.h"
#include "platform/uefi/file_service.h"
#include "platform/uefi/status_text.h"
#include "platform/uefi/text_encoding.h"
#include "platform/uefi/uefi_backend.h"

struct platform::File {
  platform::uefi::FileHandle handle;
  platform::FileMode mode;
  bool open;
};

namespace platform::uefi {
namespace {

constexpr size_t kMaxOpenFiles = 16;
// A path of a few directories and a last component of the full 255 characters.
constexpr size_t kMaxNameUnits = 600;
constexpr const char kSeparators[] = "\\/:";
constexpr UINT64 kEndPosition = ~UINT64{0};

File openFiles[kMaxOpenFiles];
EFI_STATUS lastStatus = EFI_SUCCESS;
char statusText[48];

const FileService* Service() {
  return fileService;
}

bool ToWideName(const char* name, CHAR16* out) {
  if (!EncodeFileName(name, out, kMaxNameUnits)) {
    return RecordStatus(EFI_INVALID_PARAMETER);
  }
  return true;
}

File* FreeSlot() {
  for (File& file : openFiles) {
    if (!file.open) {
      return &file;
    }
  }
  return nullptr;
}

// The file information block from the shell; freed by the caller with FreeInfo.
EFI_FILE_INFO* InfoOf(FileHandle handle) {
  EFI_FILE_INFO* info = Service()->info(handle);
  if (info == nullptr) {
    RecordStatus(EFI_DEVICE_ERROR);
  }
  return info;
}

void FreeInfo(EFI_FILE_INFO* info) {
  Boot()->FreePool(info);
}

bool IsDirectory(FileHandle handle) {
  EFI_FILE_INFO* info = InfoOf(handle);
  bool directory = info != nullptr && (info->Attribute & EFI_FILE_DIRECTORY) != 0;
  if (info != nullptr) {
    FreeInfo(info);
  }
  return directory;
}

bool Truncate(FileHandle handle) {
  EFI_FILE_INFO* info = InfoOf(handle);
  if (info == nullptr) {
    return false;
  }
  bool ok = true;
  if (info->FileSize != 0) {
    info->FileSize = 0;
    ok = RecordStatus(Service()->setInfo(handle, info));
  }
  FreeInfo(info);
  return ok;
}

EFI_STATUS OpenHandle(const CHAR16* name, FileMode mode, FileHandle* handle) {
  switch (mode) {
    case FileMode::ReadBinary:
      return Service()->open(name, EFI_FILE_MODE_READ, handle);
    case FileMode::ReadWriteBinary:
      return Service()->open(name, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE, handle);
    case FileMode::WriteBinary:
    case FileMode::WriteText:
    case FileMode::AppendBinary:
      return Service()->create(name, 0, handle);
  }
  return EFI_INVALID_PARAMETER;
}

size_t WriteBytes(File* file, const void* data, size_t length) {
  UINTN size = length;
  if (!RecordStatus(Service()->write(file->handle, &size, const_cast<void*>(data)))) {
    return 0;
  }
  return size;
}

size_t WriteText(File* file, const char* data, size_t length) {
  char bytes[512];
  size_t done = 0;
  while (done < length) {
    size_t produced = 0;
    size_t consumed =
        EncodeTextFileBytes(data + done, length - done, bytes, sizeof bytes, &produced);
    if (WriteBytes(file, bytes, produced) != produced) {
      break;
    }
    done += consumed;
  }
  return done;
}

const CHAR16* LastComponent(const CHAR16* path) {
  const CHAR16* last = path;
  for (const CHAR16* p = path; *p != 0; ++p) {
    if (*p == u'\\' || *p == u':') {
      last = p + 1;
    }
  }
  return last;
}

// FAT compares names without regard to ASCII case.
bool SameName(const CHAR16* a, const CHAR16* b) {
  auto lower = [](CHAR16 c) { return c >= u'A' && c <= u'Z' ? static_cast<CHAR16>(c + 32) : c; };
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (lower(*a) != lower(*b)) {
      return false;
    }
  }
  return *a == *b;
}

bool SameDirectory(const CHAR16* from, const CHAR16* to) {
  size_t fromDirectory = static_cast<size_t>(LastComponent(from) - from);
  size_t toDirectory = static_cast<size_t>(LastComponent(to) - to);
  if (fromDirectory != toDirectory) {
    return false;
  }
  for (size_t i = 0; i < fromDirectory; ++i) {
    if (from[i] != to[i]) {
      return false;
    }
  }
  return true;
}

// The file system renames through the file information: a new name in the same directory.
bool RenameHandle(FileHandle handle, const CHAR16* newName) {
  EFI_FILE_INFO* info = InfoOf(handle);
  if (info == nullptr) {
    return false;
  }
  size_t nameUnits = WideTextLength(newName) + 1;
  size_t size = SIZE_OF_EFI_FILE_INFO + nameUnits * sizeof(CHAR16);
  void* memory = nullptr;
  bool ok = RecordStatus(Boot()->AllocatePool(EfiLoaderData, size, &memory));
  if (ok) {
    auto* renamed = static_cast<EFI_FILE_INFO*>(memory);
    auto* bytes = reinterpret_cast<unsigned char*>(renamed);
    const auto* old = reinterpret_cast<const unsigned char*>(info);
    for (size_t i = 0; i < SIZE_OF_EFI_FILE_INFO; ++i) {
      bytes[i] = old[i];
    }
    renamed->Size = size;
    for (size_t i = 0; i < nameUnits; ++i) {
      renamed->FileName[i] = newName[i];
    }
    ok = RecordStatus(Service()->setInfo(handle, renamed));
    FreeInfo(renamed);
  }
  FreeInfo(info);
  return ok;
}

// The first candidate beside `name` that names no file yet, narrow in `chosen` and wide in
// `wide`. The shell has no exclusive create; a single-threaded program needs none.
bool FreshName(const char* name, const char* suffix, char* chosen, size_t capacity, CHAR16* wide) {
  for (unsigned attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
    if (!FreshNameCandidate(name, kSeparators, suffix, attempt, chosen, capacity) ||
        !ToWideName(chosen, wide)) {
      return RecordStatus(EFI_INVALID_PARAMETER);
    }
    FileHandle handle = nullptr;
    EFI_STATUS status = Service()->open(wide, EFI_FILE_MODE_READ, &handle);
    if (status == EFI_NOT_FOUND) {
      return true;
    }
    if (!RecordStatus(status)) {
      return false;
    }
    Service()->close(handle);
  }
  return RecordStatus(EFI_ACCESS_DENIED);
}

// The shell's delete-by-name opens with "create" first, so a missing file would count as
// deleted: open it without creating, then delete the handle (which also closes it).
EFI_STATUS DeleteByName(const CHAR16* name) {
  uefi::FileHandle handle = nullptr;
  EFI_STATUS status = Service()->open(name, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE, &handle);
  if (EFI_ERROR(status)) {
    return status;
  }
  status = Service()->remove(handle);
  // A file that could not be deleted comes back as a warning only.
  return status == EFI_SUCCESS || EFI_ERROR(status) ? status : EFI_ACCESS_DENIED;
}

}  // namespace

bool RecordStatus(EFI_STATUS status) {
  if (EFI_ERROR(status)) {
    lastStatus = status;
    return false;
  }
  return true;
}

void CloseAllFiles() {
  for (File& file : openFiles) {
    if (file.open) {
      CloseFile(&file);
    }
  }
}

}  // namespace platform::uefi

namespace platform {

using uefi::RecordStatus;
using uefi::Service;

File* OpenFile(const char* name, FileMode mode) {
  CHAR16 wideName[uefi::kMaxNameUnits];
  if (!uefi::ToWideName(name, wideName)) {
    return nullptr;
  }
  File* file = uefi::FreeSlot();
  if (file == nullptr) {
    RecordStatus(EFI_OUT_OF_RESOURCES);
    return nullptr;
  }
  uefi::FileHandle handle = nullptr;
  if (!RecordStatus(uefi::OpenHandle(wideName, mode, &handle))) {
    return nullptr;
  }
  if (uefi::IsDirectory(handle)) {
    Service()->close(handle);
    RecordStatus(EFI_ACCESS_DENIED);
    return nullptr;
  }
  bool truncate = mode == FileMode::WriteBinary || mode == FileMode::WriteText;
  if (truncate && !uefi::Truncate(handle)) {
    Service()->close(handle);
    return nullptr;
  }
  *file = File{handle, mode, true};
  return file;
}

size_t ReadFile(File* file, void* buffer, size_t length) {
  UINTN size = length;
  if (!RecordStatus(Service()->read(file->handle, &size, buffer))) {
    return 0;
  }
  return size;
}

size_t WriteFile(File* file, const void* data, size_t length) {
  if (file->mode == FileMode::ReadBinary) {
    RecordStatus(EFI_ACCESS_DENIED);
    return 0;
  }
  if (file->mode == FileMode::AppendBinary &&
      !RecordStatus(Service()->setPosition(file->handle, uefi::kEndPosition))) {
    return 0;
  }
  if (file->mode == FileMode::WriteText) {
    return uefi::WriteText(file, static_cast<const char*>(data), length);
  }
  return uefi::WriteBytes(file, data, length);
}

bool SeekFile(File* file, long offset, SeekOrigin origin) {
  UINT64 base = 0;
  if (origin == SeekOrigin::Current && !RecordStatus(Service()->getPosition(file->handle, &base))) {
    return false;
  }
  if (origin == SeekOrigin::End && !RecordStatus(Service()->getSize(file->handle, &base))) {
    return false;
  }
  if (offset < 0 && static_cast<UINT64>(-offset) > base) {
    return RecordStatus(EFI_INVALID_PARAMETER);
  }
  return RecordStatus(Service()->setPosition(file->handle, base + offset));
}

long TellFile(File* file) {
  UINT64 position = 0;
  if (!RecordStatus(Service()->getPosition(file->handle, &position))) {
    return -1;
  }
  return static_cast<long>(position);
}

bool FlushFile(File* file) {
  return RecordStatus(Service()->flush(file->handle));
}

bool CloseFile(File* file) {
  bool flushed = file->mode == FileMode::ReadBinary || FlushFile(file);
  bool closed = RecordStatus(Service()->close(file->handle));
  file->open = false;
  return flushed && closed;
}

File* CreateFreshFileBeside(const char* name, const char* suffix, char* chosen, size_t capacity) {
  CHAR16 wideName[uefi::kMaxNameUnits];
  File* file = uefi::FreeSlot();
  if (file == nullptr) {
    RecordStatus(EFI_OUT_OF_RESOURCES);
    return nullptr;
  }
  if (!uefi::FreshName(name, suffix, chosen, capacity, wideName)) {
    return nullptr;
  }
  uefi::FileHandle handle = nullptr;
  if (!RecordStatus(Service()->create(wideName, 0, &handle))) {
    return nullptr;
  }
  *file = File{handle, FileMode::WriteBinary, true};
  return file;
}

bool DeleteFile(const char* name) {
  CHAR16 wideName[uefi::kMaxNameUnits];
  return uefi::ToWideName(name, wideName) && RecordStatus(uefi::DeleteByName(wideName));
}

// Like rename(): an existing target is replaced. It is first moved aside under a backup name
// that no file has and only deleted once the new file has its name, so a failed replace never
// loses it.
bool RenameFile(const char* from, const char* to) {
  CHAR16 wideFrom[uefi::kMaxNameUnits];
  CHAR16 wideTo[uefi::kMaxNameUnits];
  CHAR16 wideBackup[uefi::kMaxNameUnits];
  char backup[uefi::kMaxNameUnits];
  if (!uefi::ToWideName(from, wideFrom) || !uefi::ToWideName(to, wideTo)) {
    return false;
  }
  if (!uefi::SameDirectory(wideFrom, wideTo)) {
    return RecordStatus(EFI_UNSUPPORTED);
  }
  uefi::FileHandle handle = nullptr;
  if (!RecordStatus(Service()->open(wideFrom, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE, &handle))) {
    return false;
  }
  uefi::FileHandle old = nullptr;
  bool replacing =
      !uefi::SameName(wideFrom, wideTo) &&
      !EFI_ERROR(Service()->open(wideTo, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE, &old));
  if (replacing) {
    if (!uefi::FreshName(to, "~", backup, sizeof backup, wideBackup) ||
        !uefi::RenameHandle(old, uefi::LastComponent(wideBackup))) {
      Service()->close(old);
      Service()->close(handle);
      return false;
    }
  }
  bool ok = uefi::RenameHandle(handle, uefi::LastComponent(wideTo));
  bool closed = RecordStatus(Service()->close(handle));
  if (replacing) {
    if (ok) {
      Service()->remove(old);  // deletes and closes
    } else {
      uefi::RenameHandle(old, uefi::LastComponent(wideTo));
      Service()->close(old);
    }
  }
  return ok && closed;
}

bool CanCreateFile(const char* name) {
  CHAR16 wideName[uefi::kMaxNameUnits];
  if (!uefi::ToWideName(name, wideName)) {
    return false;
  }
  if (uefi::WideTextLength(uefi::LastComponent(wideName)) > kMaxNameComponent) {
    return RecordStatus(EFI_INVALID_PARAMETER);
  }
  uefi::FileHandle handle = nullptr;
  if (EFI_ERROR(Service()->open(wideName, EFI_FILE_MODE_READ, &handle))) {
    return true;  // nothing there yet
  }
  const bool directory = uefi::IsDirectory(handle);
  Service()->close(handle);
  return !directory || RecordStatus(EFI_ACCESS_DENIED);
}

bool CreateDirectory(const char* name) {
  CHAR16 wideName[uefi::kMaxNameUnits];
  if (!uefi::ToWideName(name, wideName)) {
    return false;
  }
  uefi::FileHandle handle = nullptr;
  if (!RecordStatus(Service()->create(wideName, EFI_FILE_DIRECTORY, &handle))) {
    return false;
  }
  bool directory = uefi::IsDirectory(handle);
  Service()->close(handle);
  return directory || RecordStatus(EFI_ACCESS_DENIED);
}

const char* SystemErrorText() {
  return uefi::StatusText(uefi::lastStatus, uefi::statusText, sizeof uefi::statusText);
}

}  // namespace platform
