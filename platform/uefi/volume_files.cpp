// File operations on the volume that the image was loaded from, for a program started without
// the shell (a boot entry, or \EFI\BOOT\BOOTX64.EFI of a removable disk). Relative names start
// in the image's own folder.
#include "platform/uefi/file_service.h"
#include "platform/uefi/text_encoding.h"
#include "platform/uefi/uefi_backend.h"
#include "platform/uefi/volume_path.h"

namespace platform::uefi {
namespace {

constexpr size_t kMaxPathUnits = 600;

EFI_GUID simpleFileSystemGuid = EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID;
EFI_GUID fileInfoGuid = EFI_FILE_INFO_ID;

EFI_FILE_PROTOCOL* root = nullptr;
uint16_t folder[kMaxPathUnits];
char imagePathText[kMaxPathUnits];
char folderText[kMaxPathUnits];

EFI_FILE_PROTOCOL* AsFile(FileHandle handle) {
  return static_cast<EFI_FILE_PROTOCOL*>(handle);
}

EFI_STATUS OpenPath(const CHAR16* name, UINT64 mode, UINT64 attributes, FileHandle* handle) {
  if (root == nullptr) {
    return EFI_UNSUPPORTED;
  }
  CHAR16 path[kMaxPathUnits];
  if (!VolumePath(folder, name, path, kMaxPathUnits)) {
    return EFI_INVALID_PARAMETER;
  }
  EFI_FILE_PROTOCOL* file = nullptr;
  EFI_STATUS status = root->Open(root, &file, path, mode, attributes);
  *handle = file;
  return status;
}

EFI_STATUS Open(const CHAR16* name, UINT64 mode, FileHandle* handle) {
  return OpenPath(name, mode, 0, handle);
}

EFI_STATUS Create(const CHAR16* name, UINT64 attributes, FileHandle* handle) {
  return OpenPath(name, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE | EFI_FILE_MODE_CREATE, attributes,
                  handle);
}

EFI_FILE_INFO* Info(FileHandle handle) {
  UINTN size = 0;
  EFI_STATUS status = AsFile(handle)->GetInfo(AsFile(handle), &fileInfoGuid, &size, nullptr);
  if (status != EFI_BUFFER_TOO_SMALL) {
    return nullptr;
  }
  void* memory = nullptr;
  if (EFI_ERROR(Boot()->AllocatePool(EfiLoaderData, size, &memory))) {
    return nullptr;
  }
  if (EFI_ERROR(AsFile(handle)->GetInfo(AsFile(handle), &fileInfoGuid, &size, memory))) {
    Boot()->FreePool(memory);
    return nullptr;
  }
  return static_cast<EFI_FILE_INFO*>(memory);
}

EFI_STATUS SetInfo(FileHandle handle, EFI_FILE_INFO* info) {
  return AsFile(handle)->SetInfo(AsFile(handle), &fileInfoGuid, info->Size, info);
}

EFI_STATUS Read(FileHandle handle, UINTN* size, void* buffer) {
  return AsFile(handle)->Read(AsFile(handle), size, buffer);
}

EFI_STATUS Write(FileHandle handle, UINTN* size, void* buffer) {
  return AsFile(handle)->Write(AsFile(handle), size, buffer);
}

EFI_STATUS SetPosition(FileHandle handle, UINT64 position) {
  return AsFile(handle)->SetPosition(AsFile(handle), position);
}

EFI_STATUS GetPosition(FileHandle handle, UINT64* position) {
  return AsFile(handle)->GetPosition(AsFile(handle), position);
}

EFI_STATUS GetSize(FileHandle handle, UINT64* size) {
  EFI_FILE_INFO* info = Info(handle);
  if (info == nullptr) {
    return EFI_DEVICE_ERROR;
  }
  *size = info->FileSize;
  Boot()->FreePool(info);
  return EFI_SUCCESS;
}

EFI_STATUS Flush(FileHandle handle) {
  return AsFile(handle)->Flush(AsFile(handle));
}

EFI_STATUS Close(FileHandle handle) {
  return AsFile(handle)->Close(AsFile(handle));
}

EFI_STATUS Remove(FileHandle handle) {
  return AsFile(handle)->Delete(AsFile(handle));
}

// The image's file path: the text of the file-path nodes of its device path, joined.
void ImagePathOf(EFI_DEVICE_PATH* node, uint16_t* out, size_t capacity) {
  size_t used = 0;
  out[0] = 0;
  for (; node != nullptr && !IsDevicePathEnd(node); node = NextDevicePathNode(node)) {
    if (DevicePathType(node) != MEDIA_DEVICE_PATH || DevicePathSubType(node) != MEDIA_FILEPATH_DP) {
      continue;
    }
    const auto* name = reinterpret_cast<const FILEPATH_DEVICE_PATH*>(node)->PathName;
    size_t units = (DevicePathNodeLength(node) - sizeof(EFI_DEVICE_PATH)) / sizeof(CHAR16);
    if (used > 0 && out[used - 1] != u'\\' && units > 0 && name[0] != u'\\' &&
        used + 1 < capacity) {
      out[used++] = u'\\';
    }
    for (size_t i = 0; i < units && name[i] != 0 && used + 1 < capacity; ++i) {
      out[used++] = name[i] == u'/' ? u'\\' : name[i];
    }
    out[used] = 0;
  }
}

}  // namespace

const FileService volumeFileService = {Open,        Create,      Info,    SetInfo, Read,  Write,
                                       SetPosition, GetPosition, GetSize, Flush,   Close, Remove};

bool OpenImageVolume(EFI_HANDLE device, EFI_DEVICE_PATH* imagePath) {
  uint16_t path[kMaxPathUnits];
  ImagePathOf(imagePath, path, kMaxPathUnits);
  if (!ImageFolder(path, folder, kMaxPathUnits)) {
    folder[0] = u'\\';
    folder[1] = 0;
  }
  DecodeWideText(path, imagePathText, sizeof imagePathText);
  DecodeWideText(folder, folderText, sizeof folderText);
  void* interface = nullptr;
  if (device == nullptr ||
      EFI_ERROR(Boot()->HandleProtocol(device, &simpleFileSystemGuid, &interface))) {
    return false;
  }
  auto* fileSystem = static_cast<EFI_SIMPLE_FILE_SYSTEM_PROTOCOL*>(interface);
  EFI_FILE_PROTOCOL* volume = nullptr;
  if (EFI_ERROR(fileSystem->OpenVolume(fileSystem, &volume))) {
    return false;
  }
  root = volume;
  return true;
}

const char* ImagePathText() {
  return imagePathText;
}

const char* ImageFolderText() {
  return folderText;
}

}  // namespace platform::uefi
