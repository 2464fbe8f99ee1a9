#include "widgets/PictureView.h"

#include "documents/Pictures.h"

#include <QPixmap>

namespace lumex {

namespace {

// The size of the stand-in photographs; a frame this big does not jump
// when the first picture arrives.
constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;

} // namespace

QImage ToQImage(const TRgbImage &picture)
{
    if (!picture.IsValid())
        return {};
    const QImage view(picture.Bytes.data(), picture.Width, picture.Height, static_cast<qsizetype>(picture.RowBytes()),
                      QImage::Format_RGB888);
    return view.copy();
}

TPictureView::TPictureView(QWidget *parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setMinimumSize(kFrameWidth, kFrameHeight);
}

bool TPictureView::SetPicture(const std::optional<TRgbImage> &picture)
{
    QImage image = picture ? ToQImage(*picture) : QImage();
    if (image.isNull()) {
        Clear();
        return false;
    }
    setPixmap(QPixmap::fromImage(image));
    hasPicture_ = true;
    return true;
}

void TPictureView::Clear()
{
    clear();
    hasPicture_ = false;
}

bool TPictureView::LoadCommonPicture(const std::string &name, const std::string &ext)
{
    return SetPicture(lumex::LoadCommonPicture(name, ext));
}

bool TPictureView::LoadCommonPicture(const std::string &name, const std::string &ext, const std::string &resourceFolder)
{
    return SetPicture(lumex::LoadCommonPicture(name, ext, resourceFolder));
}

} // namespace lumex
