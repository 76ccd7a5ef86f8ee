// The file operations under files.cpp, served by the shell when it started the program (names
// follow its current directory and mappings) or, without a shell, by the file system of the
// volume that the image was loaded from. Only platform/uefi includes this header.
#pragma once

#include <efi.h>

namespace platform::uefi {

using FileHandle = void*;

struct FileService {
  // An existing file or directory.
  EFI_STATUS (*open)(const CHAR16* name, UINT64 mode, FileHandle* handle);
  // Opened for reading and writing, created with the attributes when missing; never truncated.
  EFI_STATUS (*create)(const CHAR16* name, UINT64 attributes, FileHandle* handle);
  // Pool memory that the caller frees; nullptr on failure.
  EFI_FILE_INFO* (*info)(FileHandle handle);
  EFI_STATUS (*setInfo)(FileHandle handle, EFI_FILE_INFO* info);
  EFI_STATUS (*read)(FileHandle handle, UINTN* size, void* buffer);
  EFI_STATUS (*write)(FileHandle handle, UINTN* size, void* buffer);
  EFI_STATUS (*setPosition)(FileHandle handle, UINT64 position);
  EFI_STATUS (*getPosition)(FileHandle handle, UINT64* position);
  EFI_STATUS (*getSize)(FileHandle handle, UINT64* size);
  EFI_STATUS (*flush)(FileHandle handle);
  EFI_STATUS (*close)(FileHandle handle);
  // Deletes and closes; a warning status when the file could not be deleted.
  EFI_STATUS (*remove)(FileHandle handle);
};

extern const FileService shellFileService;
extern const FileService volumeFileService;

// The service of this start; set by the entry.
extern const FileService* fileService;

// Without a shell: opens the volume of the image and takes its folder for relative names.
// False when the image came from a device without a file system (files then fail).
bool OpenImageVolume(EFI_HANDLE device, EFI_DEVICE_PATH* imagePath);

// The image's own path as narrow text ("\EFI\BOOT\BOOTX64.EFI"), after OpenImageVolume.
const char* ImagePathText();
// Its folder ("\EFI\BOOT"), where relative names start.
const char* ImageFolderText();

}  // namespace platform::uefi
