// The pictures of the resource folder: one that follows the language (the
// installation schema) and common ones (the component photographs). A
// missing or broken file is silent: the caller shows an empty frame.
#pragma once

#include "documents/RgbImage.h"

#include <optional>
#include <string>

namespace lumex {

// "<resourceFolder>_<code>_<name><ext>"; an empty code gives the common
// pattern "<resourceFolder>__<name><ext>". `resourceFolder` ends with "/".
std::string PicturePath(const std::string &resourceFolder, const std::string &code, const std::string &name,
                        const std::string &ext);

// The decoded file; nothing when it is missing, unreadable, too big or not
// a picture we can decode.
std::optional<TRgbImage> LoadPictureFile(const std::string &path);

// From the program's resource folder, or from `resourceFolder`. A language
// code that is not one of ours, or a name or extension that would leave the
// folder, gives nothing without looking.
std::optional<TRgbImage> LoadLanguagePicture(const std::string &name, const std::string &ext,
                                             const std::string &languageCode);
std::optional<TRgbImage> LoadLanguagePicture(const std::string &name, const std::string &ext,
                                             const std::string &languageCode, const std::string &resourceFolder);
std::optional<TRgbImage> LoadCommonPicture(const std::string &name, const std::string &ext);
std::optional<TRgbImage> LoadCommonPicture(const std::string &name, const std::string &ext,
                                           const std::string &resourceFolder);

} // namespace lumex
