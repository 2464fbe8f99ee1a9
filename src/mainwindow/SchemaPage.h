// The installation schema page: the picture of the wiring in the user's
// language, in a white scroll box that the mouse drags, and its one-page
// printout (A4 landscape, 10 mm margins, the picture at the top left).
#pragma once

#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QString>
#include <string>

class QPrinter;

namespace lumex {

// The image inside the scroll box; a left press grabs the picture, a move
// scrolls so the grabbed point stays under the mouse, any release lets go.
class TSchemaImage : public QLabel
{
public:
    explicit TSchemaImage(QScrollArea *box);
    bool Dragging() const { return dragging_; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QScrollArea *box_;
    bool dragging_ = false;
    QPoint grab_; // in image coordinates
};

class TSchemaPage : public QWidget
{
public:
    explicit TSchemaPage(QWidget *parent = nullptr);

    // "_<code>_schema.jpg" of the resource folder (the program's own when
    // empty); a missing or broken file leaves the page and the printout
    // empty and says why on the page.
    void LoadSchema(const std::string &languageCode, const std::string &resourceFolder = {});
    const QImage &Picture() const { return picture_; }
    QString Problem() const { return problem_; }
    TSchemaImage *Image() const { return image_; }
    QScrollArea *ScrollBox() const { return box_; }

    // The print preview, from which the user prints.
    void PrintPreview();

private:
    QScrollArea *box_;
    TSchemaImage *image_;
    QLabel *problemLabel_;
    QImage picture_;
    QString problem_;
};

// Sets up the printer for the schema sheet: A4 landscape, 10 mm margins.
void PrepareSchemaPrinter(QPrinter &printer);
// Paints the one sheet: the picture at its natural size (96 pixels to the
// inch) at the top left of the margins, made smaller only when it would not
// fit. An empty picture gives an empty sheet. False when the printer would
// not start.
bool PrintSchema(QPrinter &printer, const QImage &picture);

} // namespace lumex
