#include "mainwindow/SchemaPage.h"

#include "documents/LangManager.h"
#include "documents/Languages.h"
#include "documents/MessageKeys.h"
#include "documents/Pictures.h"
#include "mainwindow/UiText.h"
#include "widgets/PictureView.h"

#include <QApplication>
#include <QMarginsF>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QVBoxLayout>

namespace lumex {

namespace {

constexpr double kMarginMm = 10.0;
// The pixels of a picture to the inch when it is printed at its natural size.
constexpr double kPictureDpi = 96.0;

} // namespace

TSchemaImage::TSchemaImage(QScrollArea *box) : QLabel(box), box_(box)
{
    setObjectName("ImgSchema");
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
}

void TSchemaImage::mousePressEvent(QMouseEvent *event)
{
    // Only the left button grabs, and only a picture that is shown whole.
    if (event->button() != Qt::LeftButton || dragging_ || pixmap().isNull()) {
        event->ignore();
        return;
    }
    grab_ = event->position().toPoint();
    QApplication::setOverrideCursor(Qt::ClosedHandCursor);
    dragging_ = true;
    event->accept();
}

void TSchemaImage::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging_)
        return;
    // The image moves with the scroll bars, so each step keeps the grabbed
    // point of the picture under the mouse.
    const QPoint now = event->position().toPoint();
    QScrollBar *v = box_->verticalScrollBar();
    QScrollBar *h = box_->horizontalScrollBar();
    v->setValue(v->value() + grab_.y() - now.y());
    h->setValue(h->value() + grab_.x() - now.x());
    event->accept();
}

void TSchemaImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (!dragging_)
        return;
    QApplication::restoreOverrideCursor();
    dragging_ = false;
    event->accept();
}

TSchemaPage::TSchemaPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TbSSchema");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    problemLabel_ = new QLabel(this);
    problemLabel_->setObjectName("LblSchemaProblem");
    problemLabel_->setWordWrap(true);
    problemLabel_->hide();
    layout->addWidget(problemLabel_);
    box_ = new QScrollArea(this);
    box_->setObjectName("ScBSchema");
    box_->setBackgroundRole(QPalette::Base);
    QPalette white = box_->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    box_->setPalette(white);
    box_->setAutoFillBackground(true);
    box_->setAlignment(Qt::AlignCenter);
    image_ = new TSchemaImage(box_);
    image_->setPalette(white);
    image_->setAutoFillBackground(true);
    box_->setWidget(image_);
    box_->setWidgetResizable(false);
    layout->addWidget(box_, 1);
}

void TSchemaPage::LoadSchema(const std::string &languageCode, const std::string &resourceFolder)
{
    const std::string folder = resourceFolder.empty() ? TLM::DefaultResourceFolder() : resourceFolder;
    TPictureLoad load;
    if (IsKnownLanguageCode(languageCode))
        load = LoadPicture(PicturePath(folder, languageCode, "schema", ".jpg"));
    else
        load.Error = "no language \"" + languageCode + "\"";
    picture_ = load.Image ? ToQImage(*load.Image) : QImage();
    if (picture_.isNull()) {
        image_->clear();
        image_->resize(0, 0);
        problem_ = UiText(msg::strSchemaMissing, QStringLiteral("Schemat instalacji jest niedostępny.")) + " (" +
                   QString::fromStdString(load.Error) + ")";
        problemLabel_->setText(problem_);
        problemLabel_->show();
        return;
    }
    image_->setPixmap(QPixmap::fromImage(picture_));
    image_->resize(picture_.size());
    problem_.clear();
    problemLabel_->hide();
}

void TSchemaPage::PrintPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    PrepareSchemaPrinter(printer);
    QPrintPreviewDialog preview(&printer, window());
    preview.setObjectName("TQRpSchemaPreview");
    preview.setWindowTitle(UiText(msg::strSchemaPrint, QStringLiteral("Drukuj schemat")));
    const QImage picture = picture_;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [picture](QPrinter *target) { PrintSchema(*target, picture); });
    preview.exec();
}

void PrepareSchemaPrinter(QPrinter &printer)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("Schema"));
}

bool PrintSchema(QPrinter &printer, const QImage &picture)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    if (picture.isNull())
        return painter.end();
    // The painter's origin is the top left of the margins.
    const QRectF paper = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = printer.resolution() / kPictureDpi;
    QSizeF size(picture.width() * scale, picture.height() * scale);
    if (size.width() > paper.width() || size.height() > paper.height())
        size.scale(paper.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRectF(QPointF(0, 0), size), picture);
    return painter.end();
}

} // namespace lumex
