#include "umain.h"

#include "uAboutFrame.h"
#include "uAudioMan.h"
#include "uBaseCommon.h"
#include "uBlocsFrame.h"
#include "uBuildThread.h"
#include "uDataVue.h"
#include "uExif.h"
#include "uExportFrame.h"
#include "uFileGraph.h"
#include "uGaugeVolume.h"
#include "uHelpForm.h"
#include "uLog.h"
#include "uMacroEngine.h"
#include "uOptionsFrame.h"
#include "uPreferences.h"
#include "uPrivateLAV.h"
#include "uQXAppliMan.h"
#include "uQXButton.h"
#include "uQXFileBox.h"
#include "uSR2FichierBloc.h"
#include "uScriptAction.h"
#include "uShortcutDispatch.h"
#include "uStatusBar.h"
#include "uTimerNavMan.h"
#include "uVideoFichiers.h"
#include "uViewFrame.h"
#include "uWaitAnimation.h"
#include "uWndComponent.h"
#include "uvideoman.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

namespace {

// Sizes at 96 dots per inch.
constexpr int kBarHeight = 48;
constexpr int kButtonHeight = 38;
constexpr int kDetailsWidth = 272;
constexpr int kGridTop = 310;
constexpr int kStatusHeight = 19;
constexpr int kScanWidth = 688;
constexpr int kScanHeight = 200;

QString withSlash(const QString& folder)
{
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

TMainForm::TMainForm(TBaseCommon* baseCommon, QWidget* parent)
    : QWidget(parent),
      prefs(new TOrvanePreferences(this)),
      al_main(new TQXActionList(this)),
      am(new TQXAppliMan(this)),
      box(new TQXFileBox(this)),
      navman(new TTimerNavman(this)),
      vidman(new TVideoMan(this)),
      audman(new TAudioMan(this)),
      filegraph(new TFileGraph(navman, vidman, audman, this)),
      MainBar(new QWidget(this)),
      DataFrame(new TDataVue(this)),
      Bframe(new TBlocsFrame(this)),
      ViewFrame(new TViewFrame(this)),
      scanframe(new TScanFrame(this)),
      StatusBar(new TStatusBar(this)),
      OptionsFrame(new TOptionsFrame(this)),
      AboutFrame(new TAboutFrame(this)),
      FBaseCommon(baseCommon)
{
    setObjectName(QStringLiteral("MainForm"));
    setAccessibleName(QStringLiteral("Movarium"));
    QPalette workspace = palette();
    workspace.setColor(QPalette::Window, palette().color(QPalette::Dark));
    setPalette(workspace);
    setAutoFillBackground(true);
    QFont text(QStringLiteral("Segoe UI"));
    text.setPixelSize(15);
    setFont(text);
    createSettings();
    buildMainBar();
    am->setOptionsFrame(OptionsFrame);
    am->setAboutFrame(AboutFrame);
    FormCreate();
}

TMainForm::~TMainForm()
{
    // Nothing streams, and no build runs, once the managers start to go.
    ViewFrame->BuildThread->suspend();
    ViewFrame->BuildThread->OnBuild = nullptr;
    navman->stop();
    filegraph->kill();
    // The listing thread stops before the window it reports to goes.
    box->abort();
    freeCurrentVideo();
    logEnd();
}

int TMainForm::scaled(int pixels) const
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInch()) : 96;
    return pixels * dpi / 96;
}

void TMainForm::createSettings()
{
    waFichierExifTool = createExifToolAction(al_main);
    waFichierExifTool->OnAfterApply = [this](const QString& path) { OptionsFrame->showExifToolFile(path); };

    caShowFullexif = new TCheckAction(QStringLiteral("caShowFullexif"), al_main);
    caShowFullexif->ApplyWhenLoad = true;
    DataFrame->setShowFullExifAction(caShowFullexif);

    baMp4 = new TBooleanAction(QStringLiteral("baMp4"), al_main);
    baMp4->DefaultValue = true;
    baMov = new TBooleanAction(QStringLiteral("baMov"), al_main);
    baMov->DefaultValue = true;
    waScanFolder = new TStringAction(QStringLiteral("waScanFolder"), al_main);
    waScanFolder->DefaultValue = getMyVideoFolder();

    caListeLeft = new TCheckAction(QStringLiteral("caListeLeft"), al_main);
    caListeLeft->setShortCut(QKeySequence(Qt::ALT | Qt::Key_W));
    caListeLeft->setTrueCaption(QStringLiteral("Flip"));
    caListeLeft->setFalseCaption(QStringLiteral("Flip"));
    caListeLeft->setTrueHint(QStringLiteral("Click to flip the window left <=> right"));
    caListeLeft->setFalseHint(QStringLiteral("Click to flip the window left <=> right"));
    caListeLeft->setDefaultValue(true);
    caListeLeft->internalTrueApply = [this] { setListLeft(true); };
    caListeLeft->internalFalseApply = [this] { setListLeft(false); };

    waExportExcelFile = new TStringAction(QStringLiteral("waExportExcelFile"), al_main);
    waExportExcelFile->DefaultValue = getPersonalFolder();
    waExportFolder = new TStringAction(QStringLiteral("waExportFolder"), al_main);
    waExportFolder->DefaultValue = getPersonalFolder();

    baIncludeSubFolders = new TBooleanAction(QStringLiteral("baIncludeSubFolders"), al_main);
    baIncludeSubFolders->DefaultValue = true;

    iaExcelFormat = new TIntegerAction(QStringLiteral("iaExcelFormat"), al_main);
    iaExcelFormat->DefaultValue = 43;
    iaExcelFormat->OnAfterApply = [this](const qint32& format) { OptionsFrame->showExcelFormat(format); };

    waPrivateFolder = new TStringAction(QStringLiteral("waPrivateFolder"), al_main);
    const QString common = getCommonAppDataFolder();
    waPrivateFolder->DefaultValue = common.isEmpty() ? QString() : common + QStringLiteral("Tessaly/Private Filters/");
    waPrivateFolder->internalApply = [this](const QString& folder) { applyPrivateFolder(folder); };

    baUsePrivateFilters = new TBooleanAction(QStringLiteral("baUsePrivateFilters"), al_main);
    baUsePrivateFilters->DefaultValue = true;
    baUsePrivateFilters->internalApply = [this](const bool& use) {
        if (use)
            filegraph->usePrivateFilters();
        else
            filegraph->donotusePrivateFilters();
    };
    baUsePrivateFilters->OnAfterApply = [this](const bool& use) { OptionsFrame->showUsePrivateFilters(use); };

    baColumnFolder = new TBooleanAction(QStringLiteral("baColumnFolder"), al_main);
    baColumnExtension = new TBooleanAction(QStringLiteral("baColumnExtension"), al_main);

    baEnableCuvidDXVA = new TBooleanAction(QStringLiteral("baEnableCuvidDXVA"), al_main);
    // Both values exist only under the key the private settings import creates;
    // without it nothing is written and the options page is left as it is.
    baEnableCuvidDXVA->internalApply = [this](const bool& on) {
        if (writeHWAccelValue(QStringLiteral("HWAccelCUVIDXVA"), on ? 1 : 0))
            OptionsFrame->showCuvidDXVA(on);
    };
    iaHWDecoder = new TIntegerAction(QStringLiteral("iaHWDecoder"), al_main);
    iaHWDecoder->internalApply = [this](const qint32& index) {
        if (writeHWAccelValue(QStringLiteral("HWAccel"), static_cast<quint32>(index)))
            OptionsFrame->showHWDecoder(index);
    };

    naEscape = new TNopeAction(QStringLiteral("naEscape"), al_main);
    naEscape->setShortCut(QKeySequence(Qt::Key_Escape));
    naEscape->internalApply = [this] {
        box->abort();
        if (vidman->caFullscreen->Checked())
            vidman->caFullscreen->setChecked(false);
    };

    for (TCustomAbstractAction* action : al_main->actions())
        action->ApplyWhenLoad = action != naEscape;

    scanframe->bindSettings(waScanFolder, baIncludeSubFolders, baMp4, baMov);
    OptionsFrame->bindPreferences(prefs);
    OptionsFrame->bindFiles(FBaseCommon->waFichierBase, waFichierExifTool);
    OptionsFrame->bindFilters(baUsePrivateFilters, waPrivateFolder);
    OptionsFrame->bindHardware(iaHWDecoder, baEnableCuvidDXVA);
    OptionsFrame->bindExcel(iaExcelFormat);
}

void TMainForm::buildMainBar()
{
    MainBar->setAccessibleName(QStringLiteral("Tool bar"));
    auto* layout = new QHBoxLayout(MainBar);
    layout->setContentsMargins(scaled(4), scaled(5), scaled(4), scaled(5));
    layout->setSpacing(scaled(2));
    const auto add = [this, layout](QAction* action, QStyle::StandardPixmap image, int width) {
        if (!action)
            return;
        auto* button = new TQXButton(action, style()->standardIcon(image), MainBar);
        button->setFixedSize(scaled(width), scaled(kButtonHeight));
        // Small enough that "Settings" fits a 60 pixel button.
        QFont small = button->font();
        small.setPixelSize(scaled(12));
        button->setFont(small);
        layout->addWidget(button);
    };
    add(caListeLeft, QStyle::SP_BrowserReload, 100);
    add(vidman->caFullscreen, QStyle::SP_TitleBarMaxButton, 100);
    box->irParentFolder->internalPrepare = [this](qint32& position) {
        position = Bframe->Select();
        return position >= 0 && box->Count() > 0;
    };
    add(box->irParentFolder, QStyle::SP_DirOpenIcon, 100);
    layout->addWidget(new TQXSeparator(MainBar));
    add(am->recuperer(QStringLiteral("caHelp")), QStyle::SP_DialogHelpButton, 60);
    add(am->recuperer(QStringLiteral("caScript")), QStyle::SP_FileDialogDetailedView, 60);
    add(am->recuperer(QStringLiteral("caOptions")), QStyle::SP_FileDialogInfoView, 60);
    add(am->recuperer(QStringLiteral("caAbout")), QStyle::SP_MessageBoxInformation, 60);
    add(am->recuperer(QStringLiteral("naQuit")), QStyle::SP_DialogCloseButton, 60);
    layout->addStretch();
}

void TMainForm::FormCreate()
{
    logStart(withSlash(getPersonalFolder()) + QStringLiteral("Movarium") + QStringLiteral(".log"));
    prefs->setTitre(QStringLiteral("Movarium"));
    prefs->setVersion(TQXAppliMan::fullCaption() + QStringLiteral(" by ") + QStringLiteral("Tessaly"));
    setWindowTitle(prefs->version());
    FBoxPanel = 0;
    box->setClass([] { return std::make_unique<TVideoFichier>(); });
    box->OnOpenTestExtension = scanframe->extensionTest();
    scanframe->setFileBox(box);
    auto* exportFrame = new TExportFrame(scanframe);
    exportFrame->bindSettings(waExportFolder, waExportExcelFile, baColumnFolder, baColumnExtension, iaExcelFormat);
    exportFrame->setFileBox(box);
    exportFrame->setStatusText = [this](const QString& text) { showMessage(text); };
    scanframe->setExportPanel(exportFrame);
    scanframe->OnClear = [this] { unselect(); };
    FScanHandlers.setStatusText = [this](const QString& text) { showMessage(text); };
    FScanHandlers.setStatusState = [this](TPanelState state) { setPanelState(state); };
    FScanHandlers.refreshList = [this] {
        Bframe->updateSource();
        displaycount();
    };
    FScanHandlers.install(*box);
    wirePlayback();
    FBaseCommon->OnBaseOpened = [this](const QString& path, sqlite3* connection) { baseOpened(path, connection); };
    prefs->OnLoadPrefs = [this](TOrvanePreferences& p) { loadPrefs(p); };
    prefs->OnSavePrefs = [this](TOrvanePreferences& p) { savePrefs(p); };
    prefs->OnChangeMode = [this](TSavePreferences mode) { OptionsFrame->showMode(mode); };
    prefs->OnCloseCancelled = [this] { closeCancelled(); };
    TShortcutDispatcher::install(this);
    setMinimumSize(scaled(kScanWidth) + scaled(kDetailsWidth) + 16,
                   AboutFrame->height() + scaled(kStatusHeight) + scaled(kBarHeight) + 50);
    resize(scaled(1010), scaled(648));
    StatusBar->setText(MsgPanel(), QStringLiteral("Ready"));
    logLine(QStringLiteral("Variable PATH:"));
    logLine(qEnvironmentVariable("PATH"));
    logSeparator();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    am->HelpForm()->fill(QStringLiteral("Movarium"), {am, al_main, box});
    // A recorded macro holds lines of every list; each one must replay.
    for (TCustomQXActionList* list : {static_cast<TCustomQXActionList*>(al_main), static_cast<TCustomQXActionList*>(box),
                                      static_cast<TCustomQXActionList*>(FBaseCommon->al)})
        list->setPascalScript(am->MacroEngine());
    const QSize tile = TSR2FichierBloc::blocSize(Bframe->dpi());
    Bframe->setBlocClass(&makeBloc<TSR2FichierBloc>, tile.width(), tile.height());
    Bframe->FonSelect = [this](int i) { selectBloc(i); };
    box->setTableName(QStringLiteral("VideoFichiers"));
    FormResize();
    vidman->setVideoOk();
    displaycount();
}

void TMainForm::wirePlayback()
{
    navman->setNavBar(ViewFrame->NavBar);
    vidman->setWindow(ViewFrame->PanelVideo);
    audman->setAudioGauge(ViewFrame->GaugeVolume);
    vidman->setKeepAspectratio(false);
    navman->setPositionEditInputActif(true);

    TBuildThread* thread = ViewFrame->BuildThread;
    filegraph->runOnUi = [thread](const std::function<void()>& fn) { return thread->runOnUi(fn); };
    filegraph->OnVideoReady = [this] { ViewFrame->FrameResize(); };
    thread->OnBefore = [this] { buildStarting(); };
    thread->OnBuild = [this](const QString& file) { return filegraph->build(file); };
    thread->OnAfter = [this] { buildEnded(); };
}

void TMainForm::loadPrefs(TOrvanePreferences& p)
{
    p.openkey(QStringLiteral("MainForm"));
    am->loadfromprefs(p);
    al_main->loadfromprefs(p);
    vidman->LoadFromPrefs(p);
    audman->LoadFromPrefs(p);
    navman->loadfromprefs(p);
    box->loadfromprefs(p);
    FBaseCommon->al->loadfromprefs(p);
    p.closekey();
}

void TMainForm::savePrefs(TOrvanePreferences& p)
{
    p.openkey(QStringLiteral("MainForm"));
    FBaseCommon->al->savetoprefs(p);
    box->savetoprefs(p);
    navman->savetoprefs(p);
    audman->SaveToPrefs(p);
    vidman->SaveToPrefs(p);
    al_main->savetoprefs(p);
    am->savetoprefs(p);
    p.closekey();
}

void TMainForm::baseOpened(const QString& path, sqlite3* connection)
{
    OptionsFrame->showDatabaseFile(path);
    box->setBase(connection);
    box->setBlocsFrame(Bframe);
    box->wrSort->setValue(QStringLiteral("Folder,CreationDate ASC"));
    displaycount();
    // Said at once: otherwise the user learns it only when a scan stores nothing.
    if (!connection)
        showMessage(QStringLiteral("The catalogue ") + path + QStringLiteral(" could not be opened")
                    + (FBaseCommon->openError() == SQLITE_CANTOPEN
                           ? QString()
                           : QStringLiteral(": ") + catalogueFailureReason(FBaseCommon->openError())));
    else if (sqlite3_db_readonly(connection, "main") == 1)
        showMessage(QStringLiteral("The catalogue ") + path
                    + QStringLiteral(" is read-only: no new video can be stored"));
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A build under way ends first: the graph is taken apart here, not under it.
    ViewFrame->BuildThread->suspend();
    navman->stop();
    filegraph->kill();
    filegraph->donotusePrivateFilters();
    event->accept();
    // The listing stops before the settings are saved and the window goes.
    box->abort();
    clearLBVSettings();
}

void TMainForm::closeCancelled()
{
    // The player comes back as it was: private settings, filter set, video.
    ViewFrame->BuildThread->resume();
    waPrivateFolder->apply();
    baUsePrivateFilters->apply();
    displayVideo();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TMainForm::setListLeft(bool left)
{
    FBoxPanel = left ? 0 : 1;
    StatusBar->setCountPanel(FBoxPanel);
    FormResize();
}

void TMainForm::FormResize()
{
    const int W = width();
    const int H = height();
    const int barHeight = scaled(kBarHeight);
    const int detailsWidth = scaled(kDetailsWidth);
    const int statusHeight = scaled(kStatusHeight);
    const bool left = caListeLeft->Checked();

    MainBar->setGeometry(0, 0, W, barHeight);
    const int listLeft = left ? 2 : W - detailsWidth - 2;
    const int viewLeft = left ? detailsWidth + 10 : 2;
    const int detailsTop = barHeight + 2;
    const int gridTop = scaled(kGridTop);
    DataFrame->setGeometry(listLeft, detailsTop, detailsWidth, gridTop - detailsTop - 2);
    Bframe->setGeometry(listLeft, gridTop, detailsWidth, H - gridTop - statusHeight - 2);

    const int scanWidth = scaled(kScanWidth);
    const int scanHeight = scaled(kScanHeight);
    const int scanTop = H - statusHeight - scanHeight;
    const int viewWidth = W - detailsWidth - 12;
    ViewFrame->setGeometry(viewLeft, detailsTop, viewWidth, scanTop - detailsTop);
    scanframe->setGeometry(viewLeft + (viewWidth - scanWidth) / 2, scanTop, scanWidth, scanHeight);

    StatusBar->setGeometry(0, H - statusHeight, W, statusHeight);
    const int countWidth = detailsWidth + 2;
    StatusBar->setPanelWidth(0, left ? countWidth : W - countWidth);
}

void TMainForm::setPanelState(TPanelState state)
{
    FPanelState = state;
    StatusBar->setState(state);
}

void TMainForm::showMessage(const QString& text)
{
    StatusBar->setText(MsgPanel(), text);
}

void TMainForm::selectBloc(int i)
{
    Bframe->fisAffiching = true;
    while (Bframe->fisListing)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    TTableSource& source = box->Source();
    if (source.first(i, -1))
        currentVideo().getFromSource(source);
    source.close();
    DataFrame->afficher(currentVideo());
    QCoreApplication::processEvents();
    displaycount();
    displayVideo();
    Bframe->fisAffiching = false;
}

void TMainForm::unselect()
{
    DataFrame->vider();
    displaycount();
}

void TMainForm::displaycount()
{
    const int c = box->Count();
    const int n = Bframe->FSelectedList.count();
    if (c == 0) {
        ViewFrame->AfficherError(ecBienvenue);
        ViewFrame->ShowNavigation(false);
    } else if (n > 0) {
        ViewFrame->ShowNavigation(true);
    } else {
        ViewFrame->AfficherError(ecNoFileSelected);
        ViewFrame->ShowNavigation(false);
    }
    QString text;
    if (n == 0)
        text = QStringLiteral("No file selected among ") + QString::number(c);
    else if (n == 1)
        text = QStringLiteral("One file selected among ") + QString::number(c);
    else
        text = QString::number(n) + QStringLiteral(" files selected among ") + QString::number(c);
    StatusBar->setText(BoxPanel(), text);
}

void TMainForm::displayVideo()
{
    ViewFrame->show();
    ViewFrame->raise();
    ViewFrame->affichagevide();
    if (box->Source().count() == 0) {
        pausePlayback();
        ViewFrame->AfficherError(ecBienvenue);
        return;
    }
    if (Bframe->FSelectedList.count() == 0) {
        pausePlayback();
        ViewFrame->AfficherError(ecNoFileSelected);
        return;
    }
    if (QFileInfo(currentVideo().FFilename).isFile()) {
        ViewFrame->AfficherPatience();
        openVideo(currentVideo());
    } else {
        pausePlayback();
        ViewFrame->AfficherError(ecFileNotFound);
    }
}

void TMainForm::pausePlayback()
{
    if (navman->state() == gmPlaying)
        navman->pause();
}

void TMainForm::openVideo(const TVideoFichier& aVideoFichier)
{
    showMessage(QStringLiteral("Loading ") + aVideoFichier.FFilename);
    setPanelState(psLecture);
    ViewFrame->BuildThread->request(aVideoFichier.FFilename);
}

void TMainForm::buildStarting()
{
    navman->setNavigationEnabled(false);
    navman->stop();
}

void TMainForm::buildEnded()
{
    // A newer request is built next: this result would show one video under
    // another's details.
    if (ViewFrame->BuildThread->hasPending())
        return;
    ViewFrame->an->hide();
    ViewFrame->PanelVideo->hide();
    const TBuildResult result = ViewFrame->BuildThread->BuildResult();
    if (result == brError) {
        ViewFrame->AfficherError(ecBuildError);
        ViewFrame->ShowNavigation(false);
        setPanelState(psReady);
        showMessage(QStringLiteral("Ready"));
        return;
    }
    const bool muted = audman->caMute->Checked();
    audman->caMute->_setcheck(true);
    // Pausing leaves the play command's check mark as it was: synchroStart
    // applies it once the first frame is there.
    navman->pause();
    synchroStart();
    ViewFrame->ShowNavigation(true);
    ViewFrame->rxVue->hide();
    audman->caMute->_setcheck(muted);
    ViewFrame->GaugeVolume->setVisible(result != brVideoOnly);
    if (result == brAudioOnly) {
        ViewFrame->AfficherError(ecAudioOnly);
        return;
    }
    vidman->repeindre();
    const bool turned = currentVideo().FRotation == 180;
    vidman->caFlipVertical->_setcheck(turned);
    vidman->caFlipHorizontal->_setcheck(turned);
    ViewFrame->PanelVideo->show();
}

void TMainForm::synchroStart()
{
    ViewFrame->PanelVideo->show();
    navman->play();
    navman->pause();
    // The first frame is painted by the user-interface thread itself, so the
    // wait lets it run instead of sleeping.
    for (int i = 0; i < 30 && vidman->getFrames() == 0 && vidman->FilterGraph(); ++i) {
        QElapsedTimer round;
        round.start();
        while (round.elapsed() < 20)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20 - static_cast<int>(round.elapsed()));
    }
    navman->pause();
    navman->reculeDebut();
    TCheckAction* caPlay = navman->recuperer<TCheckAction>(QStringLiteral("caPlay"));
    caPlay->_setcheck(caPlay->Checked());
    vidman->repeindre();
    setPanelState(psReady);
    showMessage(QStringLiteral("Ready"));
}

void TMainForm::applyPrivateFolder(const QString& folder)
{
    OptionsFrame->showPrivateFolder(withSlash(folder));
    clearLBVSettings();
    if (!importLBVSettings(folder + QStringLiteral("LAV/LBV.reg"))) {
        // Not modal: the program goes on, and the build error follows if the filters are missing too.
        auto* message = new QMessageBox(QMessageBox::Warning, QStringLiteral("Movarium"),
                                        QStringLiteral("Impossible d'installer les filtres privés LAV"),
                                        QMessageBox::Ok, this);
        message->setAttribute(Qt::WA_DeleteOnClose);
        message->setWindowModality(Qt::NonModal);
        message->show();
    }
    registerPrivateLAV(folder + QStringLiteral("LAV/"));
    if (baUsePrivateFilters->Value)
        baUsePrivateFilters->apply();
}
