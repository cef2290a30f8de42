#include "Artwork.h"

std::vector<Picture> makeButtonPictures() { return {}; }
