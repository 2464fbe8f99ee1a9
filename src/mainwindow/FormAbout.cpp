#include "mainwindow/FormAbout.h"

#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "documents/Pictures.h"
#include "documents/VersionInfo.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/UiText.h"
#include "widgets/PictureView.h"
#include "widgets/ProgramIcon.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumex {

namespace {

// The icon reports its clicks.
class TClickableIcon : public QLabel
{
public:
    std::function<void()> OnClick;
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && OnClick)
            OnClick();
        event->accept();
    }
};

QLabel *Named(QWidget *parent, const char *name, const QString &text = {})
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString Unknown()
{
    return UiText(msg::strUnknown, QStringLiteral("nieznana"));
}

} // namespace

TFormAbout::TFormAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName("FormAbout");
    setWindowTitle(QStringLiteral("Informacje o programie"));
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *icon = new TClickableIcon(this);
    icon->setObjectName("ImgIco");
    icon->setCursor(Qt::PointingHandCursor);
    icon->OnClick = [this] { CopyToClipboard(); };
    icon_ = icon;
    top->addWidget(icon_, 0, Qt::AlignTop);
    productName_ = Named(this, "verProductName");
    QFont bold = productName_->font();
    bold.setBold(true);
    productName_->setFont(bold);
    top->addWidget(productName_, 1);
    layout->addLayout(top);

    auto *grid = new QGridLayout;
    fileVersionLabel_ = Named(this, "LblFileVersion", QStringLiteral("Wersja programu:"));
    fileVersion_ = Named(this, "verFileVersion");
    dateLabel_ = Named(this, "LblInternalName", QStringLiteral("Z dnia:"));
    buildDate_ = Named(this, "verInternalName");
    deviceLabel_ = Named(this, "LblDeviceVersion", QStringLiteral("Odczytana wersja urządzenia:"));
    deviceVersion_ = Named(this, "verDeviceVersion");
    compilationTime_ = Named(this, "verCompilationTime");
    serialLabel_ = Named(this, "LblSN", QStringLiteral("SN:"));
    serial_ = Named(this, "verSN");
    grid->addWidget(fileVersionLabel_, 0, 0);
    grid->addWidget(fileVersion_, 0, 1, 1, 2);
    grid->addWidget(dateLabel_, 1, 0);
    grid->addWidget(buildDate_, 1, 1, 1, 2);
    grid->addWidget(deviceLabel_, 2, 0);
    grid->addWidget(deviceVersion_, 2, 1);
    grid->addWidget(compilationTime_, 2, 2);
    grid->addWidget(serialLabel_, 3, 0);
    grid->addWidget(serial_, 3, 1, 1, 2);
    layout->addLayout(grid);

    logo_ = new QLabel(this);
    logo_->setObjectName("ImageLogo");
    logo_->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo_);

    auto *support = new QGroupBox(QStringLiteral("  INFOLINIA  "), this);
    support->setObjectName("GrBInfolinia");
    auto *supportLayout = new QVBoxLayout(support);
    supportLayout->addWidget(
        Named(support, "LblInfolinia1", QStringLiteral("Serwis techniczny: +48 12 345 67 89 (pn.-pt. 8:00-16:00)")));
    supportLayout->addWidget(
        Named(support, "LblInfolinia2", QStringLiteral("Pomoc dla warsztatów: serwis@lumex2.example")));
    layout->addWidget(support);

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("BtnOK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);

    language_ = AttachLanguage(TLanguageWindowId::About, this);
    Prepare();
    SetDevice({});
}

TFormAbout::~TFormAbout() = default;

void TFormAbout::Prepare(const std::string &resourceFolder)
{
    // The program's icon; painted here when the application has none, so
    // the icon that copies the texts is always there to click.
    const QIcon icon = QApplication::windowIcon();
    icon_->setPixmap(icon.isNull() ? ProgramIconPixmap(48) : icon.pixmap(48, 48));
    const std::string folder = resourceFolder.empty() ? TLM::DefaultResourceFolder() : resourceFolder;
    // The logo is a JPEG picture under its own extension.
    const std::optional<TRgbImage> logo = LoadPictureFile(folder + "_data.reg");
    const QImage image = logo ? ToQImage(*logo) : QImage();
    if (image.isNull())
        logo_->clear();
    else
        logo_->setPixmap(QPixmap::fromImage(image));
    productName_->setText(QString::fromUtf8(version::ProductName) + " " + QString::fromUtf8(version::FileDescription));
    fileVersion_->setText(QString::fromUtf8(version::FileVersion));
    buildDate_->setText(QString::fromUtf8(version::BuildDate));
}

void TFormAbout::SetDevice(const TAboutDevice &device)
{
    deviceKnown_ = device.Known;
    if (!device.Known) {
        deviceVersion_->setText(Unknown());
        compilationTime_->setText(Unknown());
        serial_->setText(Unknown());
        return;
    }
    deviceVersion_->setText(QString::fromStdString(device.Version));
    compilationTime_->setText(QString::fromStdString(device.CompilationTime));
    serial_->setText(QString::fromStdString(device.Serial));
}

bool TFormAbout::HasLogo() const
{
    return !logo_->pixmap().isNull();
}

QString TFormAbout::ClipboardText() const
{
    auto s = [](const QLabel *label) { return label->text().toStdString(); };
    TAboutTexts t;
    t.ProductName = s(productName_);
    t.FileVersionLabel = s(fileVersionLabel_);
    t.FileVersion = s(fileVersion_);
    t.DateLabel = s(dateLabel_);
    t.BuildDate = s(buildDate_);
    t.DeviceLabel = s(deviceLabel_);
    t.DeviceVersion = s(deviceVersion_);
    t.CompilationTime = s(compilationTime_);
    t.SerialLabel = s(serialLabel_);
    t.Serial = s(serial_);
    return QString::fromStdString(AboutClipboardText(t));
}

void TFormAbout::CopyToClipboard()
{
    QApplication::clipboard()->setText(ClipboardText());
    // A second click while the message is up copies again but opens no
    // second message.
    if (messageShowing_ || !ShowMessage)
        return;
    messageShowing_ = true;
    ShowMessage(this, {TMessageKind::Information, windowTitle(),
                       UiText(msg::strInfoCopiedToClipboard, QStringLiteral("Informacje skopiowano do schowka."))});
    messageShowing_ = false;
}

} // namespace lumex
