// Whether the images the setup carries are as they were built: a download or a disk may
// damage the program file, and a damaged library must never be written out and loaded.
#pragma once

#include "payload/Payload.h"

// True when every word of the image has a zero high byte and the CRC-32 of the low bytes (as
// ZIP and zlib compute it) is the one recorded beside them. One pass over the words.
bool ImageIntact(const EmbeddedImage& image);
