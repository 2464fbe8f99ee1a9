// Stand-in photographs of the installation's components: a labelled line
// drawing of each, the size the picture viewer frames.
#pragma once

#include "configuration/ComponentPhotos.h"
#include "documents/RgbImage.h"

#include <QImage>

namespace lumex::pictures {

inline constexpr int kPhotoWidth = 320;
inline constexpr int kPhotoHeight = 240;

QImage DrawComponentPhoto(const TComponentPhoto &photo);

// Rows copied without the image's line padding.
TRgbImage ToRgbImage(const QImage &image);

} // namespace lumex::pictures
