#include "mainwindow/FormMain.h"

#include "calibration/ui/CalibrationPage.h"
#include "calibration/ui/MapPage.h"
#include "calibration/ui/Model2Page.h"
#include "controller/ControllerLink.h"
#include "documents/AppConfig.h"
#include "documents/CustomParams.h"
#include "documents/LangManager.h"
#include "documents/Languages.h"
#include "documents/MessageKeys.h"
#include "documents/ProductProfile.h"
#include "documents/VersionInfo.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/ConfWizard.h"
#include "mainwindow/ConfigurationOps.h"
#include "mainwindow/DiagnosticsPage.h"
#include "mainwindow/FormConnectStatus.h"
#include "mainwindow/FormMultiAIO.h"
#include "mainwindow/FormMultiAdapterInfo.h"
#include "mainwindow/FormMultiOBD.h"
#include "mainwindow/FormUpgrader.h"
#include "mainwindow/FrmHaslo.h"
#include "mainwindow/FrmSelectComPort.h"
#include "mainwindow/GcfOps.h"
#include "mainwindow/LegacyConfigPage.h"
#include "mainwindow/ModuleMirror.h"
#include "mainwindow/OscCsv.h"
#include "mainwindow/OscilloscopePage.h"
#include "mainwindow/ReadingStrip.h"
#include "mainwindow/ReadingsPage.h"
#include "mainwindow/SchemaPage.h"
#include "mainwindow/UiText.h"
#include "serial/PortMap.h"
#include "upgrade/UpgradeSession.h"
#include "upgrade/Upgrader40Logic.h"
#include "widgets/WaitWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cerrno>

namespace lumex {

namespace {

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

QLabel *StatusPanel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMargin(2);
    return label;
}

void SetPanelColours(QLabel *label, const QColor &background, const QColor &text)
{
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    label->setPalette(p);
}

struct TPageAlias
{
    const char *Short;
    TPage Page;
};

constexpr TPageAlias kPageAliases[] = {
    {"readings", TPage::Measure},     {"measure", TPage::Measure},           {"config", TPage::Config},
    {"configuration", TPage::Config}, {"configurator", TPage::Configurator}, {"calibration", TPage::Calibration},
    {"schema", TPage::Schema},        {"diagnostic", TPage::Diagnostic},     {"diagnostics", TPage::Diagnostic},
    {"adapter", TPage::Adapter},
};

} // namespace

TFuelPanel::TFuelPanel(QWidget *parent) : QLabel(parent)
{
    setObjectName("PnlStatusGazSwitch");
    setAlignment(Qt::AlignCenter);
    setMinimumWidth(110);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
}

void TFuelPanel::mousePressEvent(QMouseEvent *event)
{
    if (OnPress)
        OnPress(event->button(), event->modifiers());
    event->accept();
}

TFormMain::TFormMain(const TStartOptions &options, TControllerLink &link, TAppConfig *config, TLM *lm, QWidget *parent)
    : QMainWindow(parent), options_(options), link_(link), config_(config), lm_(lm), hooks_(link),
      worker_(link, config, hooks_)
{
    setObjectName("FormMain");
    title_ = Q(ProductLongName(SelectedProductCode())) + " - " + LUMEX_FILE_VERSION + " (+1.45)";
    QApplication::setApplicationDisplayName(title_);
    setWindowTitle(title_);
    offline_ = options.Offline;

    BuildPages();
    BuildMenus();
    BuildFileMenu();
    BuildHelpMenu();
    BuildStatusBar();
    if (lm_) {
        // The language in force is applied once the window's components exist.
        languageWindow_ = std::make_unique<TQtLanguageWindow>(*lm_, TLanguageWindowId::MainWindow, this);
        lm_->LoadCurrentLanguage();
        ApplyPanelTexts();
        TickLanguageMenu();
        schema_->LoadSchema(lm_->LanguageCode());
    }

    worker_.OnSnapshot = [this](const TDeviceSnapshot &s) {
        QMetaObject::invokeMethod(
            this, [this, s] { ApplySnapshot(s); }, Qt::QueuedConnection);
    };
    worker_.OnOperationFailed = [this](const char *messageKey) {
        const std::string key(messageKey);
        QMetaObject::invokeMethod(
            this,
            [this, key] {
                statusBar()->showMessage(UiText(key, QStringLiteral("Urządzenie nie potwierdziło zapisu.")), 5000);
            },
            Qt::QueuedConnection);
    };
    worker_.OnSearchStarted = [this] {
        QMetaObject::invokeMethod(
            this, [this] { SearchStarted(); }, Qt::QueuedConnection);
    };
    worker_.OnSearchStatus = [this](const TSearchStatus &status) {
        // Worded here, on the window's thread, which alone reloads the language.
        QMetaObject::invokeMethod(
            this,
            [this, status] {
                if (searchWait_)
                    searchWait_->SetStatusText(
                        Q(SearchStatusText(status, [](std::string_view key) { return MessageText(key); })));
            },
            Qt::QueuedConnection);
    };
    worker_.OnInternalError = [this](TDeviceFault where, const std::string &what) {
        QMetaObject::invokeMethod(
            this,
            [this, where, what] {
                // Our own fault, not the device's: named as such, with what
                // was running and the exception's text.
                const char *during = where == TDeviceFault::Tick ? "tick" : "job";
                statusBar()->showMessage(UiText(msg::strInternalError, "Błąd programu") +
                                         QString(" (%1): %2").arg(during, Q(what)));
            },
            Qt::QueuedConnection);
    };
    worker_.OnSearchFinished = [this](const TSearchResult &result) {
        QMetaObject::invokeMethod(
            this, [this, result] { SearchFinished(result); }, Qt::QueuedConnection);
    };
    BindConfigPage();
    BindAdapterPage();
    BindObdWindow();
    ApplyLayout(TNorviData{});
}

TFormMain::~TFormMain()
{
    worker_.Stop();
    // The adapter windows bind to the module copy: they go before it does.
    delete obd_;
    obd_ = nullptr;
    delete aio_;
    aio_ = nullptr;
}

void TFormMain::StartDevice()
{
    TWorkerStartup startup;
    startup.Offline = options_.Offline;
    startup.NoAutoSearch = options_.NoAutoSearch;
    startup.SavedPort = config_ ? config_->PortNumber() : link_.Port.ComDevice();
    startup.FixedDevice = !link_.Port.DevicePath().empty();
    worker_.Start(startup);
    PageChanged();
}

bool TFormMain::ShowWizardPage(const QString &name)
{
    for (int n = 1; n <= kWizardPageCount; ++n) {
        const TWizardPage page = WizardPageOf(n);
        if (name.compare(WizardPageTabName(page), Qt::CaseInsensitive) != 0 &&
            name.compare(QString(WizardPageTabName(page)).mid(7), Qt::CaseInsensitive) != 0)
            continue;
        ShowPage("TbSConfigurator");
        wizard_->GoTo(page);
        return true;
    }
    return false;
}

void TFormMain::BuildPages()
{
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PgCMain");
    readings_ = new TReadingsPage(pages_);
    pages_->addTab(readings_, QStringLiteral("Odczyty (F2)"));
    configPage_ = new TLegacyConfigPage(pages_);
    pages_->addTab(configPage_, QStringLiteral("Konfiguracja (F3)"));
    configuratorPage_ = new QWidget(pages_);
    configuratorPage_->setObjectName("TbSConfigurator");
    wizard_ = new TConfWizard(worker_, modifiedFlag_, configuratorPage_);
    wizard_->ShowMessage = [this](QWidget *owner, const TUserMessage &m) {
        if (ShowMessage)
            ShowMessage(owner, m);
    };
    wizard_->OnPageChanged = [this] { PageChanged(); };
    (new QVBoxLayout(configuratorPage_))->addWidget(wizard_);
    pages_->addTab(configuratorPage_, QStringLiteral("Asystent konfiguracji (F3)"));
    calibration_ = new TCalibrationPage(worker_, pages_);
    calibration_->Present = [this](QWidget *owner, const TQuestion &q) {
        return Ask ? Ask(owner, q) : AskQuestionBox(owner, q);
    };
    calibration_->Warn = [this](const QString &caption, const QString &text) {
        Tell(TMessageKind::Warning, caption.isEmpty() ? title_ : caption, text);
    };
    calibration_->OnStatus = [this](const QString &text) { statusBar()->showMessage(text, 5000); };
    // The model page's "Wczytaj model z pliku..." uses the File menu's dialog and backups.
    TModel2Page *model2 = calibration_->Model2();
    model2->ChooseModelFile = [this] {
        const QString path = ChooseConfigFile ? ChooseConfigFile(this, false, lastGcfFolder_) : QString();
        if (!path.isEmpty())
            lastGcfFolder_ = QFileInfo(path).absolutePath();
        return path;
    };
    model2->BackupFolder = [this] { return BackupFolder(); };
    model2->Tell = [this](const QString &caption, const QString &text) {
        Tell(TMessageKind::Information, caption.isEmpty() ? title_ : caption, text);
    };
    // The configuration pages' installer tools open the calibration pages' windows.
    wizard_->OnConfigureLevelSensor = [this] { calibration_->OpenLevelSensor(); };
    configPage_->OnConfigureLevelSensor = wizard_->OnConfigureLevelSensor;
    wizard_->OnDetermineWorkPressure = [this] {
        calibration_->DetermineWorkingPressure([this](uint8_t workPress) { wizard_->ShowWorkPressure(workPress); });
    };
    calibrationPage_ = calibration_;
    // The reading strip above the calibration pages.
    modelStrip_ = new TReadingStrip(ModelStripLayout(), calibrationPage_);
    static_cast<QVBoxLayout *>(calibrationPage_->layout())->insertWidget(0, modelStrip_);
    pages_->addTab(calibrationPage_, QStringLiteral("Kalibracja (F4)"));
    schema_ = new TSchemaPage(pages_);
    pages_->addTab(schema_, QStringLiteral("Schemat (F5)"));
    auto *diagnosticPage = new QWidget(pages_);
    diagnosticPage->setObjectName("TbSDiagnostic");
    diagnostics_ = new TDiagnosticsPage(worker_, diagnosticPage);
    (new QVBoxLayout(diagnosticPage))->addWidget(diagnostics_);
    diagnostics_->OnProblem = [this](const QString &text) { statusBar()->showMessage(text, 5000); };
    diagnostics_->OnShowInjectorTest = [this] { calibration_->OpenInjectorTest(); };
    diagnostics_->Oscilloscope()->OnProblem = diagnostics_->OnProblem;
    diagnostics_->Oscilloscope()->OnRecordingChanged = [this](bool on) { hooks_.OscRecording = on; };
    if (config_)
        diagnostics_->Oscilloscope()->SetRecordingJournal(RecordingJournalIn(config_->SettingsFolder()));
    hooks_.OnOscSample = [this](const TOscSample &sample, std::chrono::steady_clock::time_point at) {
        QMetaObject::invokeMethod(
            this, [this, sample, at] { diagnostics_->Oscilloscope()->AddSample(sample, at); }, Qt::QueuedConnection);
    };
    pages_->addTab(diagnosticPage, QStringLiteral("Diagnostyka (F6)"));
    adapterInfo_ = new TFormMultiAdapterInfo;
    mirror_ = std::make_unique<TModuleMirror>();
    obd_ = new TFormMultiOBD(*mirror_);
    aio_ = new TFormMultiAIO(*mirror_);
    auto *adapterPage = new QWidget;
    adapterPage->setObjectName("TbSAdapter");
    auto *adapterLayout = new QVBoxLayout(adapterPage);
    adapterLayout->addWidget(adapterInfo_);
    // The adapter's functions, one page each.
    adapterFunctions_ = new QTabWidget;
    adapterFunctions_->setObjectName("PgCAdapterFunctions");
    obd_->setObjectName("TbSAdapterOBD");
    aio_->setObjectName("TbSAdapterAIO");
    adapterFunctions_->addTab(obd_, QStringLiteral("OBD"));
    adapterFunctions_->addTab(aio_, QStringLiteral("Lambda emulation"));
    adapterLayout->addWidget(adapterFunctions_, 1);
    connect(adapterFunctions_, &QTabWidget::currentChanged, this, [this] { ObdPageChanged(); });
    adapterPage_ = adapterPage;
    pages_->addTab(adapterPage, QStringLiteral("Adapter"));
    setCentralWidget(pages_);
    connect(pages_, &QTabWidget::currentChanged, this, [this] { PageChanged(); });
}

void TFormMain::BuildMenus()
{
    auto action = [](QMenu *menu, const char *name, const QString &text) {
        auto *a = menu->addAction(text);
        a->setObjectName(name);
        return a;
    };
    deviceMenu_ = menuBar()->addMenu(QStringLiteral("&Urządzenie"));
    deviceMenu_->setObjectName("MnIDevice");
    actStart_ = action(deviceMenu_, "MnIStart", QStringLiteral("&Start"));
    actStop_ = action(deviceMenu_, "MnIStop", QStringLiteral("&Stop"));
    actStart_->setShortcut(Qt::Key_F9);
    actStop_->setShortcut(Qt::Key_F9);
    actStart_->setVisible(false);
    // The run flag only switches which entry is offered; nothing is sent.
    connect(actStart_, &QAction::triggered, this, [this] {
        running_ = true;
        actStart_->setVisible(false);
        actStop_->setVisible(true);
    });
    connect(actStop_, &QAction::triggered, this, [this] {
        running_ = false;
        actStop_->setVisible(false);
        actStart_->setVisible(true);
    });
    deviceMenu_->addSeparator();
    actOffline_ = action(deviceMenu_, "MnIDeviceOffline", QStringLiteral("Off-line"));
    actOffline_->setCheckable(true);
    actOffline_->setChecked(offline_);
    connect(actOffline_, &QAction::triggered, this, [this] { MarkDeviceOffline(!offline_); });
    actConnect_ = action(deviceMenu_, "MnIDeviceConnect", QStringLiteral("Połącz"));
    connect(actConnect_, &QAction::triggered, this, [this] {
        if (!last_.ConnectBusy)
            worker_.SearchPorts();
    });
    actPort_ = action(deviceMenu_, "MnIDeviceCom", QStringLiteral("COM ..."));
    connect(actPort_, &QAction::triggered, this, [this] { ShowConnectStatus(); });
    connect(deviceMenu_, &QMenu::aboutToShow, this,
            [this] { actPort_->setText(QString("COM ... (%1)").arg(last_.PortNumber)); });
    deviceMenu_->addSeparator();
    actLock_ = action(deviceMenu_, "MnIDeviceLock", QStringLiteral("Zablokuj"));
    actUnlock_ = action(deviceMenu_, "MnIDeviceUnlock", QStringLiteral("Odblokuj"));
    connect(actLock_, &QAction::triggered, this, [this] { LockOrUnlock(true); });
    connect(actUnlock_, &QAction::triggered, this, [this] { LockOrUnlock(false); });
    deviceMenu_->addSeparator();
    auto *upgrade = action(deviceMenu_, "MnIDeviceUpgradeFirmware", QStringLiteral("Aktualizacja sterownika..."));
    connect(upgrade, &QAction::triggered, this, [this] { ShowConnectStatus(); });
    wizard_->OnUpgradeFirmware = [this] { ShowConnectStatus(); };
    deviceMenu_->addSeparator();
    auto *exit = action(deviceMenu_, "MnIExit", QStringLiteral("Zakończ"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    fuelMenu_ = menuBar()->addMenu(QStringLiteral("&Paliwo"));
    fuelMenu_->setObjectName("MnIFuel");
    for (const TFuelMenuEntry &entry : FuelMenuEntries()) {
        auto *a = action(fuelMenu_, entry.ObjectName, QString::fromUtf8(entry.Caption));
        const TWorkType workType = entry.WorkType;
        connect(a, &QAction::triggered, this, [this, workType] { worker_.SetWorkType(workType); });
    }

    auto *windows = menuBar()->addMenu(QStringLiteral("&Okna"));
    windows->setObjectName("MnIWindows");
    auto pageAction = [&](const char *name, const QString &text, Qt::Key key, QWidget *page) {
        auto *a = action(windows, name, text);
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, [this, page] { pages_->setCurrentWidget(page); });
        return a;
    };
    pageAction("MnIWinMeasure", QStringLiteral("Odczyty"), Qt::Key_F2, readings_);
    actConfig_ = pageAction("MnIWinConfig", QStringLiteral("Konfiguracja"), Qt::Key_F3, configPage_);
    actConfigurator_ =
        pageAction("MnIWinConfigurator", QStringLiteral("Asystent konfiguracji"), Qt::Key_F3, configuratorPage_);
    pageAction("MnIWinCalibration", QStringLiteral("Kalibracja"), Qt::Key_F4, calibrationPage_);
    pageAction("MnIWinSchema", QStringLiteral("Schemat"), Qt::Key_F5, pages_->widget(4));
    pageAction("MnIWinDiagnostic", QStringLiteral("Diagnostyka"), Qt::Key_F6, pages_->widget(5));
    auto *osc = action(windows, "MnIWindowDgnOscyloskop", QStringLiteral("Rejestrator"));
    osc->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
    connect(osc, &QAction::triggered, this, [this] { ShowPage("TbSDgnOscyloskop"); });
    auto *codes = action(windows, "MnIWindowDgnTroubleCodes", QStringLiteral("Kody błędów"));
    codes->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F9));
    connect(codes, &QAction::triggered, this, [this] { ShowPage("TbSDgnErrorCodes"); });
    auto *injectorTest = action(windows, "MnIWinInjectorTest", QStringLiteral("Test wtryskiwaczy gazowych"));
    connect(injectorTest, &QAction::triggered, this, [this] { calibration_->OpenInjectorTest(); });
    windows->addSeparator();
    auto *advanced = action(windows, "ChBAdvancedView", QStringLiteral("Widok zaawansowany"));
    advanced->setCheckable(true);

    // The languages the product offers; the menu items carry the names the
    // language files address.
    languageMenu_ = menuBar()->addMenu(QStringLiteral("&Język"));
    languageMenu_->setObjectName("MnILanguage");
    TCustomParameters offered;
    offered.ApplyProfile(SelectedProductProfile());
    for (unsigned i = 0; i < LanguageCount; ++i) {
        const TLanguageInfo &info = Languages()[i];
        auto *a = action(languageMenu_, std::string(info.MenuItem).c_str(),
                         QString::fromUtf8(info.Caption.data(), static_cast<int>(info.Caption.size())));
        // No exclusive group: a click must not move the tick before the
        // language file has loaded.
        a->setCheckable(true);
        a->setVisible(offered.IsLanguageOffered(i));
        a->setData(QString::fromUtf8(info.Code.data(), static_cast<int>(info.Code.size())));
        const std::string code(info.Code);
        connect(a, &QAction::triggered, this, [this, code] {
            if (lm_ && lm_->LanguageCode() != code)
                SetLanguage(code, false);
            TickLanguageMenu();
        });
    }
    connect(languageMenu_, &QMenu::aboutToShow, this, [this] {
        TickLanguageMenu();
        diagnostics_->RebuildTroubleLists();
    });
    TickLanguageMenu();
}

void TFormMain::TickLanguageMenu()
{
    const QString current = lm_ ? QString::fromStdString(lm_->LanguageCode()) : QString();
    for (QAction *a : languageMenu_->actions())
        if (a->isCheckable())
            a->setChecked(a->data().toString() == current);
}

void TFormMain::SetLanguage(const std::string &code, bool reload)
{
    if (!code.empty() && lm_) {
        if (reload)
            lm_->LoadCurrentLanguage();
        else
            lm_->LoadLanguage(code);
        // The schema follows the language; a language without one empties it.
        schema_->LoadSchema(lm_->LanguageCode());
        ApplyPanelTexts();
        ApplyPanels(last_);
        UpdateCaption(last_);
    }
    // The page on screen rebuilds what it composes in the language in force.
    readings_->RebuildLayout(last_.Data, false);
    configPage_->Retranslate();
    wizard_->Retranslate();
    adapterInfo_->Retranslate();
    obd_->Retranslate();
    SendObdCodes();
    diagnostics_->RebuildTroubleLists();
    PageChanged();
    TickLanguageMenu();
}

void TFormMain::ApplyPanelTexts()
{
    pnlNotConnected_->setText(UiText(msg::strComError, QStringLiteral("Brak połączenia")));
    pnlVersion_->setText(UiText(msg::strVerError, QStringLiteral("Niezgodna wersja")));
}

void TFormMain::Tell(TMessageKind kind, const QString &caption, const QString &text)
{
    if (ShowMessage)
        ShowMessage(this, {kind, caption, text});
}

void TFormMain::ShowUnsupportedVersion(const std::string &versionDigits)
{
    // The texts as the language gives them, "!_" for a missing key included:
    // the version numbers are what the user needs to read.
    const auto text = [this](std::string_view key) {
        return QString::fromStdString(lm_ ? lm_->MessageText(key) : MessageText(key));
    };
    Tell(TMessageKind::Information, text(msg::strInfoVerTitle),
         text(msg::strInfoProgVer) + " [" + version::ProductVersion + "] " + text(msg::strInfoVer) + " [" +
             QString::fromStdString(versionDigits) + "]");
}

void TFormMain::BuildStatusBar()
{
    QStatusBar *bar = statusBar();
    pnlDevice_ = StatusPanel(bar, "PnlStatusDevice", "----");
    pnlDevice_->setMinimumWidth(60);
    pnlNotConnected_ = StatusPanel(bar, "PnlStatusNotConnected", "");
    SetPanelColours(pnlNotConnected_, QColor(255, 90, 90), Qt::black);
    pnlVersion_ = StatusPanel(bar, "PnlStatusVersion", "");
    SetPanelColours(pnlVersion_, QColor(255, 200, 0), Qt::black);
    pnlLock_ = StatusPanel(bar, "PnlStatusLock", QStringLiteral("Zablokowany"));
    SetPanelColours(pnlLock_, QColor(255, 200, 0), Qt::black);
    pnlCorrMap_ = StatusPanel(bar, "PnlStatusCorrMap", "");
    pnlObdAdapt_ = StatusPanel(bar, "PnlStatusObdAdapt", QStringLiteral("Adaptacja OBD"));
    pnlMapAdapt_ = StatusPanel(bar, "PnlStatusMapAdapt", QStringLiteral("Adaptacja mapy"));
    pnlPort_ = StatusPanel(bar, "PnlStatusPort", "");
    pnlFuel_ = new TFuelPanel(bar);
    pnlFuel_->OnPress = [this](Qt::MouseButton b, Qt::KeyboardModifiers m) { FuelPressed(b, m); };
    bar->addWidget(pnlDevice_);
    bar->addWidget(pnlNotConnected_);
    bar->addWidget(pnlVersion_);
    bar->addWidget(pnlLock_);
    bar->addWidget(pnlCorrMap_);
    bar->addWidget(pnlObdAdapt_);
    bar->addWidget(pnlMapAdapt_);
    bar->addPermanentWidget(pnlPort_);
    bar->addPermanentWidget(pnlFuel_);
    for (QLabel *l : {pnlVersion_, pnlLock_, pnlCorrMap_, pnlObdAdapt_, pnlMapAdapt_})
        l->setVisible(false);
    pnlFuel_->setVisible(false);
    ApplyPanelTexts();
}

bool TFormMain::ShowPage(const QString &name)
{
    // A wizard page by its tab name ("TbSConfVerify") or short name ("Verify").
    if (name.startsWith("TbSConf", Qt::CaseInsensitive) && name.size() > 7 &&
        name.compare("TbSConfigurator", Qt::CaseInsensitive) != 0 &&
        name.compare("TbSConfig", Qt::CaseInsensitive) != 0)
        return ShowWizardPage(name);
    if (ShowWizardPage("TbSConf" + name))
        return true;
    TPage page = TPage::Measure;
    bool found = PageFromName(name.toStdString(), page);
    for (const auto &alias : kPageAliases) {
        if (!found && name.compare(alias.Short, Qt::CaseInsensitive) == 0) {
            page = alias.Page;
            found = true;
        }
    }
    if (!found && name.compare("FormInjTest", Qt::CaseInsensitive) == 0)
        return calibration_->OpenInjectorTest();
    if (!found && name.compare("FrmConfigLevelSensor", Qt::CaseInsensitive) == 0)
        return calibration_->OpenLevelSensor();
    if (!found && name.compare("FormWorkingPressure", Qt::CaseInsensitive) == 0)
        return calibration_->OpenWorkingPressure();
    if (!found)
        return ShowSubPage(name);
    QWidget *widget = pages_->findChild<QWidget *>(PageObjectName(page));
    if (!widget)
        return false;
    const int index = pages_->indexOf(widget);
    pages_->setTabVisible(index, true);
    pages_->setCurrentIndex(index);
    return true;
}

bool TFormMain::ShowSubPage(const QString &name)
{
    QWidget *widget = pages_->findChild<QWidget *>(name);
    if (!widget)
        return false;
    // Each page control on the way up shows the page that holds the next.
    bool shown = false;
    for (QWidget *child = widget; child && child != pages_; child = child->parentWidget()) {
        auto *control =
            qobject_cast<QTabWidget *>(child->parentWidget() ? child->parentWidget()->parentWidget() : nullptr);
        if (!control || control->indexOf(child) < 0)
            continue;
        control->setTabVisible(control->indexOf(child), true);
        control->setCurrentWidget(child);
        shown = true;
    }
    return shown;
}

void TFormMain::MarkDeviceOffline(bool offline)
{
    offline_ = offline;
    actOffline_->setChecked(offline);
    worker_.SetOffline(offline);
}

void TFormMain::PageChanged()
{
    QWidget *current = pages_->currentWidget();
    if (!returningToPage_ && lastPage_ == configPage_ && current != configPage_ && configPage_->Modified() &&
        !ConfirmLeavingConfigPage(current))
        return;
    lastPage_ = current;
    calibration_->SetShown(current == calibrationPage_);
    ObdPageChanged();
    TPageView view;
    if (current)
        PageFromName(current->objectName().toStdString(), view.Page);
    if (view.Page == TPage::Configurator) {
        const TWizardPage page = wizard_->CurrentPage();
        view.Sub = page == TWizardPage::Verify    ? TSubPage::ConfVerify
                   : page == TWizardPage::AutoCal ? TSubPage::ConfAutoCal
                                                  : TSubPage::None;
    }
    worker_.SetView(view);
    if (view.Page == TPage::Configurator && view.Page != shownPage_)
        wizard_->Entered();
    shownPage_ = view.Page;
    // The incompatibility notice is due again on every page change.
    worker_.Post([this] { link_.Manager.CompatNoticePending = !link_.Manager.SoftwareCompatible; });
    if (view.Page == TPage::Measure)
        readings_->RebuildLayout(last_.Data, false);
    if (view.Page == TPage::Config && !returningToPage_)
        ReadConfigPage(false);
}

void TFormMain::ApplyLayout(const TNorviData &data)
{
    const TGenerationLayout layout = GenerationLayout(data.VersionCode, data.IdentByte3);
    pages_->setTabVisible(pages_->indexOf(configPage_), layout.ConfigPages);
    pages_->setTabVisible(pages_->indexOf(configuratorPage_), layout.ConfiguratorPages);
    actConfig_->setVisible(layout.ConfigPages);
    actConfig_->setEnabled(layout.F3OnConfig);
    actConfigurator_->setVisible(layout.ConfiguratorPages);
    actConfigurator_->setEnabled(layout.F3OnConfigurator);
    diagnostics_->SetAdvancedPanelShown(layout.AdvancedDiagnostic);
}

void TFormMain::ApplySnapshot(const TDeviceSnapshot &snapshot)
{
    last_ = snapshot;
    const TTickReport &r = snapshot.Report;
    if (!r.HandedOverTo.empty()) {
        close();
        return;
    }
    if (r.FatalPcCompatCode) {
        Tell(TMessageKind::Critical, title_,
             UiText(msg::strWPCV, "Niezgodny program") + " [" + QString::number(*r.FatalPcCompatCode) + "]");
        close();
        return;
    }
    ApplyPanels(snapshot);
    UpdateCaption(snapshot);
    if (r.JustConnected) {
        ApplyLayout(snapshot.Data);
        readings_->RebuildLayout(snapshot.Data, false);
        if (GenerationLayout(snapshot.Data.VersionCode, snapshot.Data.IdentByte3).ConfigPages)
            ReadConfigPage(false);
    }
    if (r.ReadingsFresh && pages_->currentWidget() == readings_)
        readings_->ShowReadings(snapshot);
    if (r.ReadingsFresh && pages_->currentWidget() == calibrationPage_)
        modelStrip_->ShowReadings(snapshot);
    calibration_->ShowSnapshot(snapshot);
    if (connectStatus_)
        connectStatus_->SetSnapshot(snapshot);
    adapterInfo_->SetSnapshot(snapshot.Adapter);
    mirror_->Apply(snapshot.Obd);
    obd_->SetSnapshot(snapshot.Obd, snapshot.Adapter.Connected);
    if (ObdLivePageShown())
        obd_->SetControllerReadings(TakeObdControllerReadings(snapshot.Data, snapshot.Extras.PsysBar, snapshot.LinkUp));
    aio_->Refresh();
    diagnostics_->SetLockState(snapshot.Data.LockState);
    hooks_.OscInjectorItem = readings_->TimeSelection() < 0 ? 0 : readings_->TimeSelection();
    if (r.OpenTroubleCodes)
        ShowPage("TbSDgnErrorCodes");
    wizard_->ShowSnapshot(snapshot);
    if (OnSnapshotApplied)
        OnSnapshotApplied(snapshot);
    if (r.ShowCompatNotice && !noticeShowing_) {
        noticeShowing_ = true;
        Tell(TMessageKind::Information, UiText(msg::strInfoSoftCompatibleTitle, "Nowsze oprogramowanie sterownika"),
             UiText(msg::strInfoSoftCompatible, "Oprogramowanie sterownika jest nowsze niż program."));
        noticeShowing_ = false;
    }
    if (!snapshot.UnsupportedVersion.empty())
        ShowUnsupportedVersion(snapshot.UnsupportedVersion);
    if (r.BootloaderOffer)
        OfferBootloaderUpgrade(*r.BootloaderOffer);
}

void TFormMain::ApplyPanels(const TDeviceSnapshot &s)
{
    const TStatusPanels &p = s.Panels;
    pnlDevice_->setText(Q(p.DeviceText));
    pnlNotConnected_->setVisible(p.NotConnected);
    pnlVersion_->setVisible(p.VersionIncompatible);
    pnlLock_->setVisible(p.Locked);
    pnlCorrMap_->setVisible(p.CorrMapVisible && !s.Offline);
    pnlCorrMap_->setText(UiText(msg::strQPnlStatusCorrMap, "Mapa korekt") +
                         QString(" (%1/%2)").arg(p.CorrMapCountA).arg(p.CorrMapCountB));
    pnlObdAdapt_->setVisible(p.ObdAdaptationVisible && !s.Offline);
    pnlMapAdapt_->setVisible(p.MapAdaptationVisible && !s.Offline);
    // A device given by path (the simulator, --port) shows its path below
    // /dev: a pseudo-terminal's bare number ("0") would say nothing.
    QString device = Q(s.PortDevice);
    if (device.startsWith("/dev/"))
        device.remove(0, 5);
    pnlPort_->setText(s.PortByPath ? device : QString("COM%1").arg(s.PortNumber));
    pnlPort_->setToolTip(Q(s.PortDevice));

    pnlFuel_->setVisible(p.FuelVisible);
    switch (p.Fuel) {
    case TFuelShown::Gas:
        pnlFuel_->setText(UiText(msg::strGaz, "GAZ"));
        SetPanelColours(pnlFuel_, QColor(0, 200, 0), Qt::black);
        break;
    case TFuelShown::Waiting:
        pnlFuel_->setText(UiText(msg::strOczekiwanie, "OCZEKIWANIE"));
        SetPanelColours(pnlFuel_, QColor(192, 192, 192), Qt::black);
        break;
    case TFuelShown::Petrol:
        pnlFuel_->setText(UiText(msg::strBenzyna, "BENZYNA"));
        SetPanelColours(pnlFuel_, QColor(230, 0, 0), Qt::white);
        break;
    }
    pnlFuel_->setToolTip(QString("WorkType: %1").arg(s.RequestedWorkType));

    actLock_->setEnabled(s.Accessible);
    actUnlock_->setEnabled(!s.Accessible);
    actConnect_->setEnabled(!s.ConnectBusy);
}

void TFormMain::UpdateCaption(const TDeviceSnapshot &s)
{
    QString caption = title_ + " - Gas ECU: " + Q(s.Panels.DeviceText);
    if (!s.SoftwareCompatible)
        caption += " -!!! " + UiText(msg::strInfoSoftCompatibleTitle, "Niezgodne oprogramowanie") + " !!!";
    setWindowTitle(caption);
}

void TFormMain::FuelPressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    const bool linkUp = last_.LinkUp;
    switch (FuelPress(linkUp, last_.CalibrationRunning, modifiers & Qt::ControlModifier)) {
    case TFuelPress::Ignore:
        return;
    case TFuelPress::OpenMenu:
        fuelMenu_->popup(pnlFuel_->mapToGlobal(QPoint(0, 0)));
        return;
    case TFuelPress::SendWorkType:
        worker_.SetWorkType(FuelClickWorkType(last_.Data.SystemState, button == Qt::RightButton));
        return;
    }
}

void TFormMain::SearchStarted()
{
    if (!searchWait_) {
        searchWait_ = new TWaitWindow(this);
        searchWait_->OnCancel = [this] {
            worker_.CancelSearch();
            MarkDeviceOffline(true);
        };
    }
    searchWait_->SetCaption(UiText(msg::strDevSearch, "Szukanie sterownika"));
    searchWait_->SetCancelText(UiText(msg::strCancel, "Anuluj"));
    searchWait_->SetStatusText("");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    searchWait_->Begin();
}

void TFormMain::SearchFinished(const TSearchResult &result)
{
    if (searchWait_)
        searchWait_->Finish();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (result.Outcome == TSearchOutcome::Bootloader)
        OfferBootloaderUpgrade(result.Boot.BootFamily);
    // Nothing found, and the system refused us a port: the usual first-day
    // trouble on Linux, with its cure.
    if (result.Outcome == TSearchOutcome::NotFound && !result.DeniedPorts.empty())
        WarnPortsRefused(result.DeniedPorts);
}

void TFormMain::WarnPortsRefused(const std::vector<std::string> &ports)
{
    const QString text = UiText(msg::strPortPermission,
                                QStringLiteral("Brak dostępu do portu szeregowego %s. Dodaj swoje konto do grupy "
                                               "dialout (sudo usermod -aG dialout %s), wyloguj się i zaloguj "
                                               "ponownie."));
    Tell(TMessageKind::Warning, title_,
         QString::fromStdString(PortPermissionMessage(text.toStdString(), ports, LoginName())));
}

void TFormMain::SelectPortByHand(int n, std::function<void()> done)
{
    worker_.SelectPort(n);
    // Runs on the device thread after the selection: whether the system let
    // us open the port is known there.
    worker_.Post([this, done = std::move(done)] {
        const bool refused = link_.Port.LastOpenError() == EACCES;
        const std::string name = refused ? link_.Port.DeviceName() : std::string();
        QMetaObject::invokeMethod(
            this,
            [this, refused, name, done] {
                if (done)
                    done();
                if (refused)
                    WarnPortsRefused({name});
            },
            Qt::QueuedConnection);
    });
}

void TFormMain::SetConnectStatusWindow(TFormConnectStatus *window)
{
    connectStatus_ = window;
    if (!window)
        return;
    window->OnSelectPort = [this, window](int n) {
        QPointer<TFormConnectStatus> guard(window);
        SelectPortByHand(n, [guard] {
            if (guard)
                guard->PortSelectionDone();
        });
    };
    window->OnUpgrade = [this](bool controller) { DeviceUpgradeFirmware(controller); };
    window->OnOfferRestore = [this] { DeviceRestoreConfig(); };
    window->OnReadDeviceInfo = [this] {
        worker_.Post([this] {
            link_.Manager.ReadCompileInfo();
            link_.Manager.ReadIdentByte(0);
        });
    };
}

void TFormMain::SetSelectPortWindow(TFrmSelectComPort *window)
{
    selectPort_ = window;
}

void TFormMain::ShowConnectStatus()
{
    if (!connectStatus_) {
        auto *made = new TFormConnectStatus(this);
        made->setAttribute(Qt::WA_DeleteOnClose);
        SetConnectStatusWindow(made);
    }
    TFormConnectStatus *status = connectStatus_;
    status->SetSnapshot(last_);
    // The window centred on the main window, modal.
    status->move(geometry().center() - status->rect().center());
    const int result = status->exec();
    if (result != QDialog::Accepted) {
        const auto n =
            selectPort_ ? SelectComPort(*selectPort_, last_.PortNumber) : SelectComPort(this, last_.PortNumber);
        if (n && *n >= kMinPortNumber && *n <= kMaxPortNumber)
            SelectPortByHand(*n);
    }
}

void TFormMain::LockOrUnlock(bool locking)
{
    TFrmHaslo dialog(locking, this);
    dialog.ShowMessage = ShowMessage;
    // A window made on demand reads the language in force again, so its
    // section applies.
    if (lm_)
        SetLanguage(lm_->LanguageCode(), false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (locking)
        worker_.LockDevice(dialog.Password());
    else
        worker_.UnlockDevice(dialog.Password());
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    const QScreen *screen = this->screen();
    const QSize size = screen ? screen->size() : QSize(1024, 768);
    if ((size.width() < 800 || size.height() < 600) && !options_.LowResolutionAllowed) {
        Tell(TMessageKind::Warning, title_, UiText(msg::strResLow, "Screen resolution too low (Min: 800x600)."));
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
        return;
    }
    // The windows made at start-up exist now, so the language reaches all.
    if (lm_)
        SetLanguage(lm_->LanguageCode(), true);
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    worker_.Stop();
    if (saveSettings_ && config_)
        config_->SaveSettings();
    event->accept();
}

} // namespace lumex
