// File names of a program started without the shell: it has no current directory and no
// mappings, so names are taken relative to the folder of its own image on the volume it was
// loaded from, as the shell takes them relative to its current directory. Free of firmware
// headers, so the host tests run it too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::uefi {

// The folder of the image from the path of its file ("\EFI\BOOT\BOOTX64.EFI" gives
// "\EFI\BOOT"; an image in the root, or one without a path, gives "\"). False when it does
// not fit into `capacity` units with the terminator.
bool ImageFolder(const uint16_t* imagePath, uint16_t* out, size_t capacity);

// The path on the volume for a name of the program (separators already '\'): "\..." from the
// volume's root, anything else from `folder`. A name with a mapping ("fs1:\x.bin") has no
// meaning there: false, as for one that does not fit.
bool VolumePath(const uint16_t* folder, const uint16_t* name, uint16_t* out, size_t capacity);

}  // namespace platform::uefi
