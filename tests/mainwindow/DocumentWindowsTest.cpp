// The installer documents of the main window: the schema page and its
// printout, the about box and its clipboard text, and the refused-port
// message; offscreen, with pictures written into a temporary folder.
#include "../controller/SimLink.h"
#include "../documents/PictureTestSupport.h"

#include "controller/Version.h"
#include "documents/Pictures.h"
#include "mainwindow/AboutInfo.h"
#include "mainwindow/ConnectionWorkflow.h"
#include "mainwindow/FormAbout.h"
#include "mainwindow/SchemaPage.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPrinter>
#include <QScrollBar>
#include <QStringList>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace lumex;

namespace {

namespace fs = std::filesystem;

class TempFolder
{
public:
    TempFolder()
    {
        path_ =
            fs::temp_directory_path() / ("lumex-docs-" + std::to_string(::getpid()) + "-" + std::to_string(next_++));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string Slash() const { return path_.string() + "/"; }
    void Write(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
    }

private:
    fs::path path_;
    static inline int next_ = 0;
};

// A picture bigger than the page, so both scroll bars have room.
constexpr int kSchemaWidth = 1400;
constexpr int kSchemaHeight = 1000;

void Mouse(QWidget *target, QEvent::Type type, Qt::MouseButton button, QPoint at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST(SchemaPage, LanguagePictureIsShownAndAnotherLanguageWithoutOneEmptiesIt)
{
    TempFolder folder;
    folder.Write("_CZ_schema.jpg", test::QuarterJpeg(kSchemaWidth, kSchemaHeight));
    TSchemaPage page;
    page.resize(600, 400);
    page.LoadSchema("CZ", folder.Slash());
    EXPECT_EQ(page.Picture().size(), QSize(kSchemaWidth, kSchemaHeight));
    EXPECT_EQ(page.Image()->size(), QSize(kSchemaWidth, kSchemaHeight)) << "the image sizes itself to the picture";
    EXPECT_TRUE(page.Problem().isEmpty());

    page.LoadSchema("DE", folder.Slash());
    EXPECT_TRUE(page.Picture().isNull()) << "no German schema: the Czech one must not stay";
    EXPECT_TRUE(page.Image()->pixmap().isNull());
    EXPECT_TRUE(page.Problem().contains("_DE_schema.jpg")) << page.Problem().toStdString();

    folder.Write("_EN_schema.jpg", "\xFF\xD8\xFF\xE0 not really a picture");
    page.LoadSchema("EN", folder.Slash());
    EXPECT_TRUE(page.Picture().isNull());
    EXPECT_TRUE(page.Problem().contains("not a picture that can be shown")) << page.Problem().toStdString();
}

TEST(SchemaPage, LeftDragScrollsWithThePictureAndOtherButtonsDoNot)
{
    TempFolder folder;
    folder.Write("_PL_schema.jpg", test::QuarterJpeg(kSchemaWidth, kSchemaHeight));
    TSchemaPage page;
    page.resize(500, 400);
    page.LoadSchema("PL", folder.Slash());
    page.show();
    QApplication::processEvents();
    QScrollBar *h = page.ScrollBox()->horizontalScrollBar();
    QScrollBar *v = page.ScrollBox()->verticalScrollBar();
    ASSERT_GT(h->maximum(), 100);
    ASSERT_GT(v->maximum(), 100);
    h->setValue(50);
    v->setValue(50);
    TSchemaImage *image = page.Image();

    Mouse(image, QEvent::MouseButtonPress, Qt::RightButton, {300, 300});
    EXPECT_FALSE(image->Dragging());
    Mouse(image, QEvent::MouseMove, Qt::NoButton, {250, 240});
    EXPECT_EQ(h->value(), 50);
    EXPECT_EQ(v->value(), 50);

    Mouse(image, QEvent::MouseButtonPress, Qt::LeftButton, {300, 300});
    EXPECT_TRUE(image->Dragging());
    // Dragging left and up brings the right and lower part into view.
    Mouse(image, QEvent::MouseMove, Qt::LeftButton, {270, 280});
    EXPECT_EQ(h->value(), 80);
    EXPECT_EQ(v->value(), 70);
    Mouse(image, QEvent::MouseButtonRelease, Qt::MiddleButton, {270, 280});
    EXPECT_FALSE(image->Dragging()) << "any button ends the drag";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor of before the drag is back";
    Mouse(image, QEvent::MouseMove, Qt::NoButton, {100, 100});
    EXPECT_EQ(h->value(), 80);
}

TEST(SchemaPage, PrintsOneA4LandscapePageToPdf)
{
    TempFolder folder;
    // The size the shipped schemas have: natural size within the margins.
    folder.Write("_EN_schema.jpg", test::QuarterJpeg(1040, 700));
    TSchemaPage page;
    page.LoadSchema("EN", folder.Slash());
    ASSERT_FALSE(page.Picture().isNull());
    const QString pdf = QString::fromStdString(folder.Slash() + "schema.pdf");
    QPrinter printer(QPrinter::HighResolution);
    PrepareSchemaPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(PrintSchema(printer, page.Picture()));

    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("%PDF"));
    // One page object (the page tree is "/Type /Pages").
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 1)
        << bytes.left(2000).toStdString();
    EXPECT_TRUE(bytes.contains("/Count 1"));
    // A4 landscape in points: 842 wide, 595 high (to the point; the writer
    // may give fractions).
    const qsizetype box = bytes.indexOf("/MediaBox [");
    ASSERT_GE(box, 0);
    const QList<QByteArray> corners = bytes.mid(box + 11, bytes.indexOf(']', box) - box - 11).simplified().split(' ');
    ASSERT_EQ(corners.size(), 4) << bytes.mid(box, 40).toStdString();
    EXPECT_EQ(qRound(corners[2].toDouble()), 842) << "not an A4 landscape sheet: " << bytes.mid(box, 40).toStdString();
    EXPECT_EQ(qRound(corners[3].toDouble()), 595) << "not an A4 landscape sheet: " << bytes.mid(box, 40).toStdString();
    EXPECT_TRUE(bytes.contains("/Subtype /Image")) << "the picture is on the sheet";
}

TEST(AboutBox, ClipboardHasFiveLinesOfTheScreenTextsAndOneMessage)
{
    TempFolder folder;
    TFormAbout about;
    int messages = 0;
    QString caption;
    about.ShowMessage = [&](QWidget *, const TUserMessage &m) {
        ++messages;
        caption = m.Caption;
        // A click while the message is up copies again, without a second one.
        if (messages == 1)
            about.CopyToClipboard();
    };
    about.Prepare(folder.Slash());
    EXPECT_FALSE(about.HasLogo()) << "no logo file: an empty logo, nothing said";
    const auto *icon = about.findChild<QLabel *>("ImgIco");
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull()) << "the icon that copies is there to click, application icon or not";
    about.CopyToClipboard();
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(caption, about.windowTitle());
    const QString text = QApplication::clipboard()->text();
    EXPECT_EQ(text, about.ClipboardText());
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 6) << text.toStdString();
    EXPECT_TRUE(lines[5].isEmpty()) << "every line ends with CR LF";
    EXPECT_TRUE(lines[1].startsWith("Wersja programu: ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("Z dnia: ")) << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("Odczytana wersja urządzenia: nieznana nieznana"))
        << "label, version, time, each after one space";
    EXPECT_TRUE(lines[4].startsWith("SN: "));

    folder.Write("_data.reg", test::QuarterJpeg(120, 40));
    about.Prepare(folder.Slash());
    EXPECT_TRUE(about.HasLogo()) << "the logo is a JPEG picture under its own extension";
}

TEST(AboutBox, ConnectedControllerFillsTheFourthLine)
{
    sim::SimulatorOptions options;
    options.controller.generation = 0x30;
    linktest::SimLink sim(options);
    ASSERT_TRUE(sim.Connect());
    const TAboutDevice device = ReadAboutDevice(sim.Manager());
    ASSERT_TRUE(device.Known);
    EXPECT_EQ(device.Version, VersionString(sim.Data(), false));
    EXPECT_EQ(device.CompilationTime, sim.Data().CompileDate + " " + sim.Data().CompileTime);
    EXPECT_FALSE(device.Serial.empty());

    TFormAbout about;
    about.SetDevice(device);
    const QStringList lines = about.ClipboardText().split("\r\n");
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[3].toStdString(), "Odczytana wersja urządzenia: " + device.Version + " " + device.CompilationTime);
    EXPECT_EQ(lines[4].toStdString(), "SN: " + device.Serial);
}

TEST(AboutBox, NoControllerReadsUnknown)
{
    TControllerLink link;
    link.Port.SetDevicePath("/nonexistent/lumex-about-test");
    const TAboutDevice device = ReadAboutDevice(link.Manager);
    EXPECT_FALSE(device.Known);
}

TEST(PortPermission, PortsAndUserFillTheTwoPlaceholdersAndNothingElseIsAFormat)
{
    EXPECT_EQ(
        PortPermissionMessage("Port %s refused; usermod -aG dialout %s.", {"/dev/ttyUSB0", "/dev/ttyUSB1"}, "jan"),
        "Port /dev/ttyUSB0, /dev/ttyUSB1 refused; usermod -aG dialout jan.");
    // A translator's stray format signs stay as they are.
    EXPECT_EQ(PortPermissionMessage("%s %d %s %s %", {"COM1"}, "ewa"), "COM1 %d ewa %s %");
    EXPECT_FALSE(LoginName().empty());
}
