// One DIP switch: a slide in a slot, up for on. A checkable button, so it
// takes clicks and the space key like a check box.
#pragma once

#include <QAbstractButton>

namespace lumex {

class TDipSwitch : public QAbstractButton
{
public:
    explicit TDipSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override { return {18, 36}; }

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace lumex
