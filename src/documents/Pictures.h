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

struct TPictureLoad
{
    std::optional<TRgbImage> Image;
    std::string Error; // why there is no picture, naming the file; empty with one
};

// The decoded file, or the reason there is none: missing, unreadable, too
// big, or not a picture we can decode.
TPictureLoad LoadPicture(const std::string &path);
// The same without the reason.
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
