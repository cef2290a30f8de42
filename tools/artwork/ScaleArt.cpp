#include "Artwork.h"

std::vector<Picture> makeScalePictures() { return {}; }
