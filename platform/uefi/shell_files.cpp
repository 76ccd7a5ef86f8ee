// File operations through the shell protocol, for a program that the shell started.
#include "platform/uefi/file_service.h"
#include "platform/uefi/uefi_backend.h"

namespace platform::uefi {
namespace {

EFI_SHELL_PROTOCOL* Shell() {
  return firmware.shell;
}

EFI_STATUS Open(const CHAR16* name, UINT64 mode, FileHandle* handle) {
  return Shell()->OpenFileByName(name, handle, mode);
}

EFI_STATUS Create(const CHAR16* name, UINT64 attributes, FileHandle* handle) {
  return Shell()->CreateFile(name, attributes, handle);
}

EFI_FILE_INFO* Info(FileHandle handle) {
  return Shell()->GetFileInfo(handle);
}

EFI_STATUS SetInfo(FileHandle handle, EFI_FILE_INFO* info) {
  return Shell()->SetFileInfo(handle, info);
}

EFI_STATUS Read(FileHandle handle, UINTN* size, void* buffer) {
  return Shell()->ReadFile(handle, size, buffer);
}

EFI_STATUS Write(FileHandle handle, UINTN* size, void* buffer) {
  return Shell()->WriteFile(handle, size, buffer);
}

EFI_STATUS SetPosition(FileHandle handle, UINT64 position) {
  return Shell()->SetFilePosition(handle, position);
}

EFI_STATUS GetPosition(FileHandle handle, UINT64* position) {
  return Shell()->GetFilePosition(handle, position);
}

EFI_STATUS GetSize(FileHandle handle, UINT64* size) {
  return Shell()->GetFileSize(handle, size);
}

EFI_STATUS Flush(FileHandle handle) {
  return Shell()->FlushFile(handle);
}

EFI_STATUS Close(FileHandle handle) {
  return Shell()->CloseFile(handle);
}

EFI_STATUS Remove(FileHandle handle) {
  return Shell()->DeleteFile(handle);
}

}  // namespace

const FileService shellFileService = {Open,        Create,      Info,    SetInfo, Read,  Write,
                                      SetPosition, GetPosition, GetSize, Flush,   Close, Remove};

}  // namespace platform::uefi
