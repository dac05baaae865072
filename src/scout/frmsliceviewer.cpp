#include "scout/frmsliceviewer.h"

#include "component/clsexam.h"
#include "component/modstartwindows.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "core/qtprompter.h"
#include "scout/printheader.h"
#include "scout/scoutconstants.h"
#include "scout/scoutrules.h"
#include "scout/toolbaricons.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/imagesetrules.h"
#include "viewer/menulines.h"
#include "viewer/mouserules.h"
#include "viewer/printlayout.h"
#include "viewer/viewerconstants.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace ravlen {

namespace {

QPointer<frmSliceViewer> &instance() {
    static QPointer<frmSliceViewer> window;
    return window;
}

// The entries and buttons this window has without an action: they stay disabled.
const QStringList kNoActionEntries = {
    QStringLiteral("mnuPendingResult"), QStringLiteral("mnuOpenExam"),
    QStringLiteral("mnuDisplayResult"), QStringLiteral("Retrieve"),
    QStringLiteral("tbrPending"),       QStringLiteral("tbrOpen"),
    QStringLiteral("tbrResult"),
};

using Line = viewer::MenuLine<frmSliceViewer>;
using TopMenu = viewer::TopMenu<frmSliceViewer>;

const std::vector<TopMenu> &menuBarLayout() {
    using F = frmSliceViewer;
    using L = Line;
    static const std::vector<TopMenu> layout = {
        {"mnuFile",
         "&File",
         {L::item("mnuPendingResult", "Pending Result"), L::item("mnuOpenExam", "&Open Exam"),
          L::item("mnuOpenDicom", "Open Dicom File", &F::mnuOpenDicom_Click), L::separator(),
          L::item("PrintWindows", "Print", &F::PrintWindows_Click), L::separator(),
          L::item("Import", "&Import non-DICOM file", &F::Import_Click),
          L::item("Export", "&Export to non-DICOM file", &F::Export_Click),
          L::item("FileWrite", "&Export to DICOM File", &F::FileWrite_Click), L::separator(),
          L::item("Exit", "E&xit", &F::Exit_Click)}},
        {"mnuEdit",
         "&Edit",
         {L::item("Copy", "&Copy", &F::Copy_Click), L::item("Paste", "&Paste", &F::Paste_Click),
          L::separator(), L::item("DeleteSelected", "Close Selected", &F::DeleteSelected_Click),
          L::item("DeleteAll", "Close &All", &F::DeleteAll_Click)}},
        {"mnuRemote",
         "&Remote",
         {L::item("Verify", "&Verify", &F::Verify_Click), L::item("Retrieve", "&Retrieve"),
          L::separator(), L::item("SendSelected", "&Send Selected", &F::SendSelected_Click),
          L::item("SendAll", "Send &All", &F::SendAll_Click)}},
        {"mnuDisplay",
         "&Display",
         {L::item("mnuDisplayResult", "View Result"), L::separator(),
          L::item("mnuLabel", "Label", &F::mnuLabel_Click),
          L::item("mnuDisplayElements", "&Data Elements", &F::mnuDisplayElements_Click),
          L::item("mnuDisplaySlice", "Scout Slices", &F::mnuDisplaySlice_Click),
          L::item("mnuDisplayTextMode", "Text Modes", &F::mnuDisplayTextMode_Click),
          L::toggle("mnuDisplayEnhance", "Enhance Images", &F::mnuDisplayEnhance_Click),
          L::separator(), L::item("mnuNormal", "&Normal", &F::mnuNormal_Click),
          L::item("mnuFlipHorizontal", "Flip &Horizontal", &F::mnuFlipHorizontal_Click),
          L::item("mnuFlipVertical", "Flip &Vertical", &F::mnuFlipVertical_Click),
          L::item("mnuRotateClockwise", "Rotate &Clockwise", &F::mnuRotateClockwise_Click),
          L::item("mnuRotateAnticlockwise", "Rotate &Anticlockwise",
                  &F::mnuRotateAnticlockwise_Click),
          L::separator(),
          L::sub("Cine", "&Multi-frame (Cine)",
                 {L::item("CineForward", "&Forward (continuous)", &F::CineForward_Click),
                  L::item("CineReverse", "&Reverse", &F::CineReverse_Click),
                  L::item("CineOscillate", "&Oscilate", &F::CineOscillate_Click),
                  L::item("CineStop", "&Stop", &F::CineStop_Click)})}},
        {"mnuView",
         "&View",
         {L::item("mnuDataElements", "&Data Elements", &F::mnuDataElements_Click),
          L::toggle("Infoview", "Image &Information", &F::Infoview_Click), L::separator(),
          L::item("Options", "&Options", &F::Options_Click),
          L::sub("mnuLogging", "&Logging",
                 {L::toggle("LoggingEnabled", "Logging Enabled", &F::LoggingEnabled_Click),
                  L::item("LogLevel", "Log Level", &F::LogLevel_Click),
                  L::item("LogLocation", "Log Location", &F::LogLocation_Click)})}},
    };
    return layout;
}

const std::vector<Line> &contextLayout() {
    using F = frmSliceViewer;
    using L = Line;
    static const std::vector<Line> layout = {
        L::item("cmnuImgInfo", "&Data Elements", &F::cmnuImgInfo_Click),
        L::sub("cmnuTile", "Tile", {}), // the eleven layouts are added from the grid table
        L::separator(),
        L::item("cmnuLabelDelete", "Delete Selected Label", &F::cmnuLabelDelete_Click),
        L::item("cmnuLabelClear", "Clear Labels", &F::cmnuLabelClear_Click),
        L::separator(),
        L::item("cmnuFlipHorizontal", "Flip &Horizontal", &F::cmnuFlipHorizontal_Click),
        L::item("cmnuFlipVertical", "Flip &Vertical", &F::cmnuFlipVertical_Click),
        L::item("cmnuRotateClockwise", "Rotate Clockwise", &F::cmnuRotateClockwise_Click),
        L::item("cmnuRotateCounterClockwise", "Rotate Counter-Clockwise",
                &F::cmnuRotateCounterClockwise_Click),
        L::separator(),
        L::item("mnuCloseImg", "Close Image", &F::mnuCloseImg_Click),
    };
    return layout;
}

struct ToolButtonSpec {
    const char *key; // null: a separator
    const char *tooltip;
};

// In order: the program addresses some buttons by position, so the separators stay put.
constexpr ToolButtonSpec kToolButtons[] = {
    {"tbrPending", "Pending Result"},
    {"tbrOpen", "Open Exam"},
    {"tbrSave", "Export Image"},
    {nullptr, nullptr},
    {"tbrPrint", "Print Images"},
    {"tbrOptions", "Options"},
    {"tbrTile", "Tile Images"},
    {"tbrResult", "View Result"},
    {nullptr, nullptr},
    {"tbrPrevImg", "Previous Image"},
    {"tbrNextImg", "Next Image"},
    {nullptr, nullptr},
    {"tbrExit", "Exit"},
};

} // namespace

frmSliceViewer::frmSliceViewer(QWidget *parent) : frmDicomViewer(Role::Scout, parent) {
    setWindowTitle(scout::kScoutCaption);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    // What the scout has no use for: prior exams, sharpening and smoothing.
    cmdPreImages->setVisible(false);
    chkSharp->setVisible(false);
    fraSharp->setVisible(false);
    fraSmoothing->setVisible(false);
    Form_Load();
}

frmSliceViewer::~frmSliceViewer() {
    if (instance() == this) {
        instance() = nullptr;
    }
}

void frmSliceViewer::buildMenus() {
    viewer::addMenuBar(this, menuBar(), menuBarLayout(), kNoActionEntries);
    mnuContext = new QMenu(this);
    mnuContext->setObjectName(QStringLiteral("mnuContext"));
    viewer::addMenuLines(this, mnuContext, contextLayout(), kNoActionEntries);
    auto *tile = mnuContext->findChild<QMenu *>(QStringLiteral("cmnuTile"));
    for (const viewer::GridSize &grid : viewer::tileLayouts()) {
        QAction *action = tile->addAction(viewer::tileCaption(grid));
        action->setObjectName(viewer::tileEntryName(grid));
        connect(action, &QAction::triggered, this, [this, grid] { cmnuTile_Click(grid); });
    }
}

void frmSliceViewer::buildToolbar() {
    tbarMain = addToolBar(QStringLiteral("tbarMain"));
    tbarMain->setObjectName(QStringLiteral("tbarMain"));
    tbarMain->setMovable(false);
    tbarMain->setIconSize(QSize(24, 24));
    for (const ToolButtonSpec &tool : kToolButtons) {
        if (!tool.key) {
            tbarMain->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(tool.key);
        QAction *action = tbarMain->addAction(scout::toolbarIcon(key), QString());
        action->setObjectName(key);
        action->setToolTip(QString::fromLatin1(tool.tooltip));
        action->setEnabled(!kNoActionEntries.contains(key));
        connect(action, &QAction::triggered, this, [this, key] { tbarMain_ButtonClick(key); });
    }
    // "Tile" carries its caption and the drop-down of the eleven layouts.
    QAction *tileAction = button(QStringLiteral("tbrTile"));
    tileAction->setText(QStringLiteral("Tile"));
    auto *layouts = new QMenu(this);
    layouts->setObjectName(QStringLiteral("tbrTileMenu"));
    for (const viewer::GridSize &grid : viewer::tileLayouts()) {
        const QString key = QStringLiteral("tbr%1x%2").arg(grid.rows).arg(grid.columns);
        QAction *entry = layouts->addAction(viewer::tileCaption(grid));
        entry->setObjectName(key);
        connect(entry, &QAction::triggered, this, [this, key] { tbarMain_ButtonMenuClick(key); });
    }
    tileAction->setMenu(layouts);
    m_tile = qobject_cast<QToolButton *>(tbarMain->widgetForAction(tileAction));
    if (m_tile) {
        m_tile->setPopupMode(QToolButton::MenuButtonPopup);
        m_tile->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
}

void frmSliceViewer::buildStatusBar() {
    statBar = statusBar();
    statBar->setObjectName(QStringLiteral("statBar"));
    // The main viewer's pointer read-out has no panel here: the scout's panels say what the
    // last command found and which image is selected.
    statBar->removeWidget(StatusLine);
    StatusLine->setVisible(false);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("statBarPanel1"));
    m_note->setTextFormat(Qt::PlainText);
    m_position = new QLabel(scout::kNoPosition, this);
    m_position->setObjectName(QStringLiteral("statBarPanel2"));
    m_position->setMinimumWidth(90);
    m_position->setAlignment(Qt::AlignCenter);
    statBar->addWidget(m_note, 1);
    statBar->addPermanentWidget(m_position);
}

void frmSliceViewer::Form_Load() {
    // No "PACS" / "Viewer" settings here: the scout draws with the viewer's defaults.
    SetImageControlsEnabled(false);
    EnableCineMenu(false);
    Mouse_Click(viewer::kMouseSelect);
    guarded([this] { modStart::RestoreWindowPlacement(this); });
}

void frmSliceViewer::closeEvent(QCloseEvent *event) {
    // The placement is kept under the window's own caption, whatever "Close &All" made of it.
    setWindowTitle(scout::kScoutCaption);
    frmDicomViewer::closeEvent(event);
    if (instance() == this) {
        instance() = nullptr; // the next use starts a fresh, empty window
    }
}

// --- toolbar and status bar

QAction *frmSliceViewer::button(int position) const {
    const QList<QAction *> actions = tbarMain->actions();
    return position >= 1 && position <= actions.size() ? actions.at(position - 1) : nullptr;
}

QAction *frmSliceViewer::button(const QString &key) const {
    for (QAction *action : tbarMain->actions()) {
        if (action->objectName() == key) {
            return action;
        }
    }
    return nullptr;
}

QString frmSliceViewer::panelText(int panel) const {
    return panel == 1 ? m_note->text() : panel == 2 ? m_position->text() : QString();
}

void frmSliceViewer::setNote(const QString &text) {
    m_note->setText(text);
}

void frmSliceViewer::tbarMain_ButtonClick(const QString &Key) {
    guarded([&] {
        if (Key == QLatin1String("tbrSave")) {
            FileWrite_Click();
        } else if (Key == QLatin1String("tbrPrint")) {
            PrintWindows_Click();
        } else if (Key == QLatin1String("tbrOptions")) {
            Options_Click();
        } else if (Key == QLatin1String("tbrTile")) {
            LayoutSwitch();
        } else if (Key == QLatin1String("tbrPrevImg")) {
            SelectImage(imageSet().currentPosition() - 1);
        } else if (Key == QLatin1String("tbrNextImg")) {
            SelectImage(imageSet().currentPosition() + 1);
        } else if (Key == QLatin1String("tbrExit")) {
            close();
        }
        // "tbrPending", "tbrOpen" and "tbrResult" have no action.
    });
}

void frmSliceViewer::tbarMain_ButtonMenuClick(const QString &Key) {
    guarded([&] { cmnuTile_Click(viewer::gridFromToolbarKey(Key)); });
}

void frmSliceViewer::SetImageControlsEnabled(bool enabled) {
    frmDicomViewer::SetImageControlsEnabled(enabled);
    for (const QString &name : kNoActionEntries) {
        if (QAction *action = entry(name)) {
            action->setEnabled(false);
        }
    }
    if (!tbarMain) {
        return; // still being built
    }
    for (const int position : {scout::kPrintButton, scout::kTileButton}) {
        button(position)->setEnabled(enabled);
    }
    const int selected = imageSet().imageSelected() ? imageSet().currentPosition() : 0;
    const scout::StepButtons steps = scout::stepButtons(selected, imageCount());
    button(scout::kPreviousButton)->setEnabled(enabled && steps.previous);
    button(scout::kNextButton)->setEnabled(enabled && steps.next);
    // Images come and go: the panel keeps counting them ("NONE" stays until the next step).
    if (m_position && m_position->text() != scout::kNoPosition) {
        m_position->setText(scout::positionText(selected, imageCount()));
    }
}

// --- selection

void frmSliceViewer::SelectImage(int position) {
    guarded([&] {
        if (position >= 1 && position <= imageCount()) {
            frmDicomViewer::SelectImage(position);
        }
        showPosition(position);
    });
}

void frmSliceViewer::selectByMouse(int hit) {
    frmDicomViewer::selectByMouse(hit);
    if (hit >= 1 && hit <= imageCount()) {
        showPosition(hit);
    }
}

void frmSliceViewer::showPosition(int position) {
    SetImageControlsEnabled(imageCount() >= 1);
    m_position->setText(scout::positionText(position, imageCount()));
}

void frmSliceViewer::DeleteSelected_Click() {
    guarded([this] {
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        toolkit::ImageCollection &images = Viewer->images();
        for (int p = 1; p <= images.count(); ++p) {
            if (images.item(p) != image) {
                continue;
            }
            image->setBorder(0); // a copy of it may live on in the main viewer
            images.remove(p);
            imageSet().select(0); // nothing selected, and no other image either
            imageSet().setCurrentPosition(0);
            Viewer->setCurrentIndex(images.count() >= 1 ? 1 : 0);
            imageSet().imagesChanged(currentExam());
            Viewer->refresh();
            RefreshImageControls();
            showPosition(0);
            return;
        }
    });
}

// --- what differs from the main viewer

void frmSliceViewer::mnuLabel_Click() {
    Mouse_Click(viewer::mouse::Text);
}

void frmSliceViewer::applyPreset(const QString &button) {
    frmDicomViewer::applyPreset(button);
    Viewer->setFocus();
}

void frmSliceViewer::orient(const std::function<void(toolkit::Image &)> &change) {
    guarded([&] {
        change(*GetSelectedImage());
        Viewer->refresh();
        RefreshImageControls();
    });
}

void frmSliceViewer::Viewer_MouseDown(int Button, int Shift, int X, int Y) {
    if (scout::actsOnMouseFunction(mouseFunction())) {
        frmDicomViewer::Viewer_MouseDown(Button, Shift, X, Y);
    } else if (Button == 2) {
        popupContextMenu(QPoint(X, Y)); // the context menu is no mouse function
    }
}

void frmSliceViewer::Viewer_MouseMove(int Button, int Shift, int X, int Y) {
    if (Button >= 1 && !scout::actsOnMouseFunction(mouseFunction())) {
        return;
    }
    frmDicomViewer::Viewer_MouseMove(Button, Shift, X, Y);
}

void frmSliceViewer::Viewer_AssociationRequest(const QString &Address, const QString &CalledAE,
                                               const QString &CallingAE, int Reserved, bool &Accept,
                                               std::vector<toolkit::ProposedContext> &Contexts) {
    Q_UNUSED(Reserved);
    const bool ours = scout::calledAeAccepted(options().AEName, CalledAE);
    if (!ours) {
        Accept = false;
    }
    guarded([&] { logAssociation(Address, CalledAE, CallingAE, ours, Contexts); });
}

void frmSliceViewer::Viewer_AssociationRequest2(toolkit::IncomingAssociation &Association,
                                                bool &Accept) {
    Q_UNUSED(Association);
    Q_UNUSED(Accept);
}

// --- printing

std::vector<viewer::PageText> frmSliceViewer::pageHeader() const {
    return scout::printHeader(currentExam());
}

// --- the one window of the process

frmSliceViewer &sliceViewer() {
    if (!instance()) {
        installQtPrompter(); // people get message boxes; a test's own prompter still wins
        instance() = new frmSliceViewer;
    }
    return *instance();
}

bool sliceViewerExists() {
    return !instance().isNull();
}

namespace {
// Here, beside the window's accessor, so every program that has the window registers it: the
// shared library when a host loads it, a program on the static libraries at start.
[[maybe_unused]] const bool sliceViewerRegistered = (registerSliceViewer(), true);
} // namespace

} // namespace ravlen
