// The picture viewer for component photographs: a sunken frame that shows
// one decoded picture, centred, or stays an empty frame when there is none.
#pragma once

#include "documents/RgbImage.h"

#include <QImage>
#include <QLabel>
#include <optional>
#include <string>

namespace lumex {

// A deep copy, so the picture may go away afterwards; a null image for an
// invalid picture.
QImage ToQImage(const TRgbImage &picture);

class TPictureView : public QLabel
{
public:
    explicit TPictureView(QWidget *parent = nullptr);

    // Shows the picture, or empties the frame for nothing; true when shown.
    bool SetPicture(const std::optional<TRgbImage> &picture);
    void Clear();
    bool HasPicture() const { return hasPicture_; }

    // The common picture "<name><ext>" of the resource folder (the program's
    // own unless one is given); a missing or broken file empties the frame.
    bool LoadCommonPicture(const std::string &name, const std::string &ext);
    bool LoadCommonPicture(const std::string &name, const std::string &ext, const std::string &resourceFolder);

private:
    bool hasPicture_ = false;
};

} // namespace lumex
