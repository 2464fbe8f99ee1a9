// One picture out of a list, chosen by index: a lamp that is off or on, a
// state out of several. An index outside the list shows nothing.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <vector>

namespace lumex {

class TSelectedImage : public QWidget
{
public:
    explicit TSelectedImage(QWidget *parent = nullptr);

    void SetImages(std::vector<QPixmap> images);
    void SetIndex(int index);
    int Index() const { return index_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<QPixmap> images_;
    int index_ = -1;
};

} // namespace lumex
