#include "widgets/SelectedImage.h"

#include <QPainter>

namespace lumex {

TSelectedImage::TSelectedImage(QWidget *parent) : QWidget(parent) {}

void TSelectedImage::SetImages(std::vector<QPixmap> images)
{
    images_ = std::move(images);
    update();
}

void TSelectedImage::SetIndex(int index)
{
    if (index == index_)
        return;
    index_ = index;
    update();
}

QSize TSelectedImage::sizeHint() const
{
    return images_.empty() ? QSize(16, 16) : images_.front().size();
}

void TSelectedImage::paintEvent(QPaintEvent * /*event*/)
{
    if (index_ < 0 || static_cast<std::size_t>(index_) >= images_.size())
        return;
    QPainter p(this);
    const QPixmap &image = images_[static_cast<std::size_t>(index_)];
    p.drawPixmap((width() - image.width()) / 2, (height() - image.height()) / 2, image);
}

} // namespace lumex
