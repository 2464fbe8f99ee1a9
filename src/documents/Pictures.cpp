#include "documents/Pictures.h"

#include "documents/FileIo.h"
#include "documents/JpegDecode.h"
#include "documents/LangManager.h"
#include "documents/Languages.h"

namespace lumex {

namespace {

// The schema is the largest picture we ship, well under this.
constexpr std::size_t MaxPictureFileSize = std::size_t{16} * 1024 * 1024;

// Name and extension are ours, but a path separator or a parent step in
// either would reach outside the resource folder.
bool StaysInFolder(const std::string &part)
{
    return part.find('/') == std::string::npos && part.find('\\') == std::string::npos &&
           part.find("..") == std::string::npos;
}

} // namespace

std::string PicturePath(const std::string &resourceFolder, const std::string &code, const std::string &name,
                        const std::string &ext)
{
    return resourceFolder + "_" + code + "_" + name + ext;
}

TPictureLoad LoadPicture(const std::string &path)
{
    TPictureLoad result;
    std::optional<std::string> bytes;
    try {
        bytes = ReadWholeFile(path, MaxPictureFileSize);
    } catch (const EFileReadError &e) {
        result.Error = e.what();
        return result;
    }
    if (!bytes) {
        result.Error = "Cannot open " + path + ": no such file";
        return result;
    }
    const std::string &file = *bytes;
    TJpegDecodeResult decoded = DecodeJpeg({reinterpret_cast<const uint8_t *>(file.data()), file.size()});
    if (!decoded.Image) {
        result.Error = path + " is not a picture that can be shown: " + decoded.Error;
        return result;
    }
    result.Image = std::move(decoded.Image);
    return result;
}

std::optional<TRgbImage> LoadPictureFile(const std::string &path)
{
    return LoadPicture(path).Image;
}

std::optional<TRgbImage> LoadLanguagePicture(const std::string &name, const std::string &ext,
                                             const std::string &languageCode, const std::string &resourceFolder)
{
    if (!IsKnownLanguageCode(languageCode) || !StaysInFolder(name) || !StaysInFolder(ext))
        return std::nullopt;
    return LoadPictureFile(PicturePath(resourceFolder, languageCode, name, ext));
}

std::optional<TRgbImage> LoadLanguagePicture(const std::string &name, const std::string &ext,
                                             const std::string &languageCode)
{
    return LoadLanguagePicture(name, ext, languageCode, TLM::DefaultResourceFolder());
}

std::optional<TRgbImage> LoadCommonPicture(const std::string &name, const std::string &ext,
                                           const std::string &resourceFolder)
{
    if (!StaysInFolder(name) || !StaysInFolder(ext))
        return std::nullopt;
    return LoadPictureFile(PicturePath(resourceFolder, "", name, ext));
}

std::optional<TRgbImage> LoadCommonPicture(const std::string &name, const std::string &ext)
{
    return LoadCommonPicture(name, ext, TLM::DefaultResourceFolder());
}

} // namespace lumex
