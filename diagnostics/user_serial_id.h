// The user serial ID: a 32-bit number the owner of the PC may set freely.
#pragma once

namespace drux {

int ShowUserSerialId();
// setting: hexadecimal text, or nullptr to ask on the console. 0, 1 or 6.
int ChangeUserSerialId(const char* setting);

}  // namespace drux
