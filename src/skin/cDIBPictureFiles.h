// Loading an image or its mask from a picture file through the platform's picture loader.
#pragma once

#include "skin/cDIB.h"

#include <string>

// The image takes the picture's size and pixels; a picture with its own alpha (a 32-bit
// bitmap) sets Masked, any other has every alpha byte 255. Failures raise EDIBError.
void LoadDIBFromFile(TAbstractSuperDIB& image, const std::string& path);

// The mask picture, stretched to the image's size, gives each pixel's alpha from its first
// (blue) byte, and Masked is set. Raises EDIBError "You cannot import a mask until you have an
// image." when the image has no pixels.
void LoadDIBMaskFromFile(TAbstractSuperDIB& image, const std::string& path);
