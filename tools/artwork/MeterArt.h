#pragma once

#include "Artwork.h"

/** The level meters' faces and lit images: the true-peak bar's face, the
    momentary bar's face and lit bar, the arrow meter's face and its arrow,
    and the range bar's face and lit band. */
std::vector<Picture> makeMeterPictures();
