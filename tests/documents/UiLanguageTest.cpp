#include "DocumentsTestSupport.h"

#include "documents/CustomCatalogue.h"
#include "documents/FileIo.h"
#include "documents/LangManager.h"
#include "documents/ui/QtCatalogueWindow.h"
#include "documents/ui/QtLanguageWindow.h"
#include "documents/ui/WidgetLookup.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace lumex {
namespace {

using test::TTempFolder;
using test::WriteLanguageFile;

template <class T> T *Add(QWidget *parent, const char *name, const QString &text = {})
{
    auto *widget = new T(parent);
    widget->setObjectName(name);
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>)
        widget->setText(text);
    return widget;
}

// An adapter page designed in English, as the catalogue sees it.
struct TAdapterPage
{
    TAdapterPage()
    {
        window.setObjectName("FormMultiOBD");
        window.setWindowTitle("Adapter");
        title = Add<QLabel>(&window, "LblOBDTitle", "Configuration");
        read = Add<QPushButton>(&window, "BtBOBDReadConfig", "Read");
        read->setToolTip("Read");
        tabs = Add<QTabWidget>(&window, "PgCOBD");
        tabs->addTab(new QWidget, "Live Data");
        tabs->addTab(new QWidget, "Trouble Codes");
        spin = Add<QSpinBox>(&window, "YEdOBDMaxCorr");
        spin->setSuffix(" Read");
        spin->setValue(12);
        group = Add<QGroupBox>(&window, "GrBOBDAdaptation");
        group->setTitle("Adaptation");
        untranslated = Add<QLabel>(&window, "LblOBDValue", "P0300");
    }
    QWidget window;
    QLabel *title, *untranslated;
    QPushButton *read;
    QTabWidget *tabs;
    QSpinBox *spin;
    QGroupBox *group;
};

TEST(Catalogue, SwitchesBetweenLanguagesFromTheEnglishOriginals)
{
    TTempFolder folder;
    TCustom catalogue(folder.Path(), TCustom::DefaultLocaleFolder());
    TAdapterPage page;
    RegisterWindow(catalogue, &page.window);
    RegisterWindow(catalogue, &page.window);
    EXPECT_EQ(catalogue.RegisteredWindowCount(), 1u) << "a window registers once";

    catalogue.SetCatalogueLanguage("CZ");
    EXPECT_EQ(page.title->text(), "Konfigurace");
    EXPECT_EQ(page.read->text(), "Načíst");
    EXPECT_EQ(page.read->toolTip(), "Načíst");
    EXPECT_EQ(page.tabs->tabText(0), "Aktuální data");
    EXPECT_EQ(page.tabs->tabText(1), "Chybové kódy");
    EXPECT_EQ(page.group->title(), "Adaptace");

    catalogue.SetCatalogueLanguage("DE");
    EXPECT_EQ(page.title->text(), "Konfiguration");
    EXPECT_EQ(page.read->text(), "Lesen");
    EXPECT_EQ(page.tabs->tabText(0), "Live-Daten");
    EXPECT_EQ(page.group->title(), "Adaption");

    catalogue.SetCatalogueLanguage("CZ");
    EXPECT_EQ(page.title->text(), "Konfigurace");
    EXPECT_EQ(page.tabs->tabText(1), "Chybové kódy");

    catalogue.SetCatalogueLanguage("EN");
    EXPECT_EQ(page.title->text(), "Configuration") << "no English catalogue: the originals";
    EXPECT_EQ(page.untranslated->text(), "P0300");
    // The numeric edit's text is its value and stays as it is.
    EXPECT_EQ(page.spin->text(), "12 Read");
}

TEST(Catalogue, WindowsRegisteredLaterAreTranslatedAtOnce)
{
    TTempFolder folder;
    TCustom catalogue(folder.Path(), TCustom::DefaultLocaleFolder());
    catalogue.SetCatalogueLanguage("DE");
    TAdapterPage page;
    RegisterWindow(catalogue, &page.window);
    EXPECT_EQ(page.read->text(), "Lesen");
    EXPECT_EQ(page.read->property(CharsetProperty).toInt(), 0);
}

TEST(Catalogue, CharsetComesFromTheCatalogueTableNotTheLanguageFile)
{
    TTempFolder folder;
    WriteLanguageFile(folder.Path(), "CZ", "FileVersion=3.0.5.1\n[FormMultiOBD]\nLblOBDTitle=Nadpis\n");
    TCustom catalogue(folder.Path(), TCustom::DefaultLocaleFolder());
    TLM lm(folder.Path(), "3.0.5.1");
    lm.SetCatalogue(&catalogue);
    TAdapterPage page;
    RegisterWindow(catalogue, &page.window);
    TQtLanguageWindow main(lm, TLanguageWindowId::MainWindow, &page.window);
    ASSERT_TRUE(lm.LoadLanguage("CZ"));
    // "CZ" is not a row of the catalogue table: charset 0, except where the
    // language file names the control.
    EXPECT_EQ(page.read->property(CharsetProperty).toInt(), 0);
    EXPECT_EQ(page.title->property(CharsetProperty).toInt(), 238);
    EXPECT_EQ(page.title->text(), "Nadpis");
}

class LanguageWindowTest : public ::testing::Test
{
protected:
    LanguageWindowTest() : lm(folder.Path(), "3.0.5.1")
    {
        window.setObjectName("FormMain");
        memo = Add<QPlainTextEdit>(&window, "MemInfo");
        memo->setPlainText("Polski tekst\nDruga linia");
        combo = Add<QComboBox>(&window, "CmBKnfFuel");
        combo->addItems({"Benzyna", "Gaz"});
        button = Add<QPushButton>(&window, "BtnKnfWrite", "Zapisz");
        auto *panel = Add<QWidget>(&window, "PnlOuter");
        nested = Add<QLabel>(Add<QWidget>(panel, "PnlInner"), "LblDeep", "Głęboko");
        menu = new QMenu(&window);
        menu->setObjectName("MnILang");
        action = menu->addAction("Polski");
        action->setObjectName("MnILangPolish");
        tabs = Add<QTabWidget>(&window, "PgCMain");
        page = new QWidget;
        page->setObjectName("TbSSchema");
        tabs->addTab(page, "Schemat (F5)");
    }
    TTempFolder folder;
    TLM lm;
    QWidget window;
    QPlainTextEdit *memo;
    QComboBox *combo;
    QPushButton *button;
    QLabel *nested;
    QMenu *menu;
    QAction *action;
    QTabWidget *tabs;
    QWidget *page;
};

TEST_F(LanguageWindowTest, AppliesCaptionsHintsItemsAndMemoLines)
{
    WriteLanguageFile(folder.Path(), "CZ",
                      "FileVersion=3.0.5.1\n"
                      "[FormMain]=Konfigurátor\n"
                      "MemInfo=^\n"
                      "MemInfo=První řádek\n"
                      "MemInfo=Druhý řádek\n"
                      "CmBKnfFuel=^\n"
                      "CmBKnfFuel=Benzín\n"
                      "CmBKnfFuel=\n"
                      "CmBKnfFuel=Plyn\n"
                      "BtnKnfWrite=Zapsat\n"
                      "BtnKnfWrite=|Zapíše konfiguraci||Řádek jedna||Řádek dva\n"
                      "LblDeep=Hluboko\n"
                      "MnILangPolish=Polština\n"
                      "MnILangPolish=|Přepne jazyk\n"
                      "TbSSchema=Schéma (F5)\n"
                      "NoSuchThing=ignored\n");
    TQtLanguageWindow main(lm, TLanguageWindowId::MainWindow, &window);
    ASSERT_TRUE(lm.LoadLanguage("CZ"));
    EXPECT_EQ(window.windowTitle(), "Konfigurátor");
    EXPECT_EQ(window.property(CharsetProperty).toInt(), 238);
    EXPECT_EQ(memo->toPlainText(), "První řádek\nDruhý řádek") << "exactly the two new lines";
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "Benzín");
    EXPECT_EQ(combo->itemText(1), "Plyn");
    EXPECT_EQ(combo->property(CharsetProperty).toInt(), 238);
    EXPECT_EQ(button->text(), "Zapsat");
    EXPECT_EQ(button->toolTip(), "Zapíše konfiguraci");
    EXPECT_EQ(lm.HintExtension("BtnKnfWrite"), "Řádek jedna\r\nŘádek dva");
    EXPECT_EQ(nested->text(), "Hluboko") << "found depth-first in the child tree";
    EXPECT_EQ(action->text(), "Polština");
    EXPECT_EQ(action->toolTip(), "Přepne jazyk");
    EXPECT_EQ(tabs->tabText(0), "Schéma (F5)");
    EXPECT_FALSE(memo->property(CharsetProperty).isValid()) << "memos keep their font";
}

TEST_F(LanguageWindowTest, AListItsPageFillsKeepsItsItemsAndValues)
{
    combo->clear();
    combo->addItem("Benzyna", 0);
    combo->addItem("Gaz", 1);
    combo->setCurrentIndex(1);
    combo->setProperty(PageFilledListProperty, true);
    WriteLanguageFile(folder.Path(), "CZ",
                      "FileVersion=3.0.5.1\n"
                      "[FormMain]\n"
                      "CmBKnfFuel=^\n"
                      "CmBKnfFuel=Benzín\n"
                      "CmBKnfFuel=Plyn\n"
                      "CmBKnfFuel=|Palivo vozu\n");
    TQtLanguageWindow main(lm, TLanguageWindowId::MainWindow, &window);
    ASSERT_TRUE(lm.LoadLanguage("CZ"));
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), "Gaz");
    EXPECT_EQ(combo->itemData(1).toInt(), 1);
    EXPECT_EQ(combo->currentIndex(), 1);
    // The page finds the texts with the manager; the hint still applies.
    EXPECT_EQ(*lm.ListItems(TLanguageWindowId::MainWindow, "CmBKnfFuel"), (std::vector<std::string>{"Benzín", "Plyn"}));
    EXPECT_EQ(combo->toolTip(), "Palivo vozu");
}

TEST_F(LanguageWindowTest, SectionsOfWindowsCreatedLaterApplyOnTheNextLoad)
{
    WriteLanguageFile(folder.Path(), "DE", "FileVersion=3.0.5.1\n[FormInjTest]\nBtnKnfWrite=Schreiben\n");
    ASSERT_TRUE(lm.LoadLanguage("DE"));
    EXPECT_EQ(lm.MessageText("BtnKnfWrite"), "Schreiben");
    EXPECT_EQ(button->text(), "Zapisz");
    {
        TQtLanguageWindow injTest(lm, TLanguageWindowId::InjectorTest, &window);
        ASSERT_TRUE(lm.LoadLanguage("DE"));
        EXPECT_EQ(button->text(), "Schreiben");
        EXPECT_EQ(lm.MessageText("BtnKnfWrite"), "!_BtnKnfWrite");
    }
    // Closed again: the section is message text once more.
    ASSERT_TRUE(lm.LoadLanguage("DE"));
    EXPECT_EQ(lm.MessageText("BtnKnfWrite"), "Schreiben");
}

TEST_F(LanguageWindowTest, OwnChildrenComeBeforeDeeperNamesakes)
{
    auto *deep = Add<QLabel>(Add<QWidget>(&window, "PnlA"), "LblTwin", "deep");
    auto *own = Add<QLabel>(&window, "LblTwin", "own");
    EXPECT_EQ(FindComponent(&window, "LblTwin"), own);
    EXPECT_NE(FindComponent(&window, "LblTwin"), deep);
    EXPECT_EQ(FindComponent(&window, "LblDeep"), nested);
    EXPECT_EQ(FindComponent(&window, ""), nullptr);
    EXPECT_EQ(FindComponent(nullptr, "LblDeep"), nullptr);
}

} // namespace
} // namespace lumex
