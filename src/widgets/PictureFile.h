// A window picture saved as a PNG file, replaced atomically like every
// other file the programs write.
#pragma once

#include <QPixmap>
#include <string>

namespace lumex {

// False when the picture cannot be encoded or the file cannot be written.
bool SavePngFile(const QPixmap &picture, const std::string &path);

} // namespace lumex
