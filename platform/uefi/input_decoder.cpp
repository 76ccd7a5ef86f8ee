#include "platform/uefi/input_decoder.h"

namespace platform::uefi {

int DecodeKey(InputDecoder* decoder) {
  size_t left = decoder->length - decoder->position;
  if (!decoder->formatKnown) {
    if (left < 2) {
      return kNeedBytes;
    }
    decoder->formatKnown = true;
    decoder->wide =
        decoder->bytes[decoder->position] == 0xFF && decoder->bytes[decoder->position + 1] == 0xFE;
    if (decoder->wide) {
      decoder->position += 2;
      left -= 2;
    }
  }
  if (decoder->wide) {
    if (left < 2) {
      return kNeedBytes;
    }
    int key = decoder->bytes[decoder->position] | (decoder->bytes[decoder->position + 1] << 8);
    decoder->position += 2;
    return key;
  }
  if (left < 1) {
    return kNeedBytes;
  }
  return decoder->bytes[decoder->position++];
}

uint8_t* RefillSpace(InputDecoder* decoder, size_t* room) {
  size_t left = decoder->length - decoder->position;
  for (size_t i = 0; i < left; ++i) {
    decoder->bytes[i] = decoder->bytes[decoder->position + i];
  }
  decoder->length = left;
  decoder->position = 0;
  *room = sizeof decoder->bytes - left;
  return decoder->bytes + left;
}

void Filled(InputDecoder* decoder, size_t count) {
  decoder->length += count;
}

bool NoMoreBytes(InputDecoder* decoder) {
  if (decoder->formatKnown) {
    return false;
  }
  decoder->formatKnown = true;
  return decoder->position < decoder->length;
}

}  // namespace platform::uefi
