#include "viewer/frmdicomviewer.h"

#include "component/clsexam.h"
#include "component/clsravlenpacsviewer.h"
#include "component/componentconstants.h"
#include "component/modstartwindows.h"
#include "component/optionsbox.h"
#include "component/windowplacement.h"
#include "core/errors.h"
#include "core/formats.h"
#include "core/prompter.h"
#include "core/qtprompter.h"
#include "core/settingsstore.h"
#include "dialogs/frmtextmodes.h"
#include "dialogs/labelform.h"
#include "display/clsmonitors.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/cinerules.h"
#include "viewer/overlays.h"
#include "viewer/sliceviewerlink.h"
#include "viewer/statusline.h"
#include "viewer/viewerconstants.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace ravlen {

namespace {

constexpr int kTwips = component::kTwipsPerPixel;
constexpr int kPanelWidthTwips = 3300;      // the side panel: 220 pixels
constexpr int kToolButtonWidthTwips = 1000; // "&Tools"
constexpr int kToolButtonHeightTwips = 375;

int pixels(double twips) {
    return int(fmt::roundHalfEven(twips / kTwips));
}

void setQuietly(QScrollBar *bar, int value) {
    const QSignalBlocker block(bar);
    bar->setValue(value);
}

QPointer<frmDicomViewer> &instance() {
    static QPointer<frmDicomViewer> window;
    return window;
}

void showViewerWindow() {
    frmDicomViewer &window = dicomViewer();
    window.show();
    window.raise();
}

} // namespace

// The viewer control as the image set sees it.
class frmDicomViewer::Grid : public viewer::ImageGrid {
public:
    explicit Grid(toolkit::ViewerControl &control) : m_control(control) {}
    toolkit::ImageCollection &images() override { return m_control.images(); }
    viewer::GridSize grid() const override { return {m_control.rows(), m_control.columns()}; }
    void setGrid(viewer::GridSize grid) override {
        m_control.setRows(grid.rows);
        m_control.setColumns(grid.columns);
    }
    int firstShown() const override { return m_control.currentIndex(); }
    void setFirstShown(int position) override { m_control.setCurrentIndex(position); }
    void setBorderColour(const toolkit::Image &image, QColor colour) override {
        m_control.setBorderColour(&image, colour);
    }
    void refresh() override { m_control.refresh(); }

private:
    toolkit::ViewerControl &m_control;
};

frmDicomViewer::frmDicomViewer(QWidget *parent) : frmDicomViewer(Role::Main, parent) {}

frmDicomViewer::frmDicomViewer(Role role, QWidget *parent) : QMainWindow(parent), m_role(role) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(viewer::kViewerCaption);
    resize(1200, 900);

    m_area = new QWidget(this);
    m_area->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(m_area);
    m_area->installEventFilter(this);

    Viewer = new toolkit::ViewerControl(m_area);
    Viewer->setObjectName(QStringLiteral("Viewer"));
    Viewer->setFocusPolicy(Qt::StrongFocus);
    Viewer->setMouseTracking(true);
    m_grid = std::make_unique<Grid>(*Viewer);
    m_set = std::make_unique<viewer::ImageSet>(*m_grid);
    m_mouse =
        std::make_unique<viewer::MouseTools>(static_cast<viewer::MouseWindow &>(*this), *Viewer);

    buildPanel();
    if (role == Role::Main) {
        buildMenus();
    }
    buildImageTimer();

    StatusLine = new QLabel(this);
    StatusLine->setTextFormat(Qt::PlainText);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    statusBar()->addWidget(StatusLine, 1);

    connect(Viewer, &toolkit::ViewerControl::MouseDown, this, &frmDicomViewer::Viewer_MouseDown);
    connect(Viewer, &toolkit::ViewerControl::MouseMove, this, &frmDicomViewer::Viewer_MouseMove);
    connect(Viewer, &toolkit::ViewerControl::MouseUp, this, &frmDicomViewer::Viewer_MouseUp);
    connect(Viewer, &toolkit::ViewerControl::KeyDown, this, &frmDicomViewer::Viewer_KeyDown);
    connect(Viewer, &toolkit::ViewerControl::DblClick, this, &frmDicomViewer::Viewer_DblClick);
    connectNetwork();

    if (role == Role::Main) {
        Form_Load();
    }
    RefreshImageControls();
    // The panel lies over the right edge of the tiles, so the window opens with it folded
    // away behind "&Tools" and no image is covered until the user asks for the controls.
    showPanel(false);
}

frmDicomViewer::~frmDicomViewer() {
    if (instance() == this) {
        instance() = nullptr;
    }
}

void frmDicomViewer::buildPanel() {
    fraMain = new QFrame(m_area);
    fraMain->setObjectName(QStringLiteral("fraMain"));
    fraMain->setFrameShape(QFrame::StyledPanel);
    fraMain->setAutoFillBackground(true);
    fraMain->setMouseTracking(true);
    fraMain->installEventFilter(this);

    // The panel's title strip spans its top edge, where "&Tools" sits while the panel is folded:
    // the pointer that unfolded the panel rests on the strip, not on the background that folds
    // it again.
    auto *outer = new QVBoxLayout(fraMain);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *title = new QLabel(QStringLiteral("Tools"), fraMain);
    title->setObjectName(QStringLiteral("lblTools"));
    title->setAlignment(Qt::AlignCenter);
    title->setMinimumHeight(pixels(kToolButtonHeightTwips) + 8);
    title->setStyleSheet(QStringLiteral("font-weight: bold; background: palette(mid);"));
    outer->addWidget(title);
    auto *grid = new QGridLayout;
    grid->setContentsMargins(8, 6, 8, 6);
    outer->addLayout(grid, 1);
    int row = 0;
    lblPatient = new QLabel(QStringLiteral("Patient:"), fraMain);
    lblPatient->setObjectName(QStringLiteral("lblPatient"));
    lblPatientID = new QLabel(fraMain);
    lblPatientID->setObjectName(QStringLiteral("lblPatientID"));
    lblPatientID->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPatientID->setTextFormat(Qt::PlainText); // the patient ID comes from the data set
    PatientName = new QLineEdit(fraMain);
    PatientName->setObjectName(QStringLiteral("PatientName"));
    PatientName->setReadOnly(true);
    grid->addWidget(lblPatient, row, 0);
    grid->addWidget(lblPatientID, row++, 1, 1, 2);
    grid->addWidget(PatientName, row++, 0, 1, 3);

    // A number box with a narrow vertical scroll bar beside it, which steps the number.
    const auto addNumber = [&](const QString &caption, const QString &boxName,
                               const QString &barName, QLineEdit *&box, QScrollBar *&bar) {
        auto *label = new QLabel(caption, fraMain);
        box = new QLineEdit(fraMain);
        box->setObjectName(boxName);
        box->setMaximumWidth(48);
        bar = new QScrollBar(Qt::Vertical, fraMain);
        bar->setObjectName(barName);
        bar->setFixedHeight(box->sizeHint().height());
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(bar, row++, 2);
    };
    addNumber(QStringLiteral("Display Rows:"), QStringLiteral("rows"), QStringLiteral("RowSpin"),
              rows, RowSpin);
    addNumber(QStringLiteral("Display Columns:"), QStringLiteral("Columns"),
              QStringLiteral("ColSpin"), Columns, ColSpin);
    addNumber(QStringLiteral("Img Num:"), QStringLiteral("current"), QStringLiteral("CurrentSpin"),
              current, CurrentSpin);
    for (QScrollBar *bar : {RowSpin, ColSpin}) {
        bar->setRange(1, viewer::kGridSpinMax);
        bar->setValue(viewer::kGridSpinMax);
    }
    CurrentSpin->setRange(0, 0);

    cmdPreImages = new QPushButton(QStringLiteral("Previous Images"), fraMain);
    cmdPreImages->setObjectName(QStringLiteral("cmdPreImages"));
    grid->addWidget(cmdPreImages, row++, 0, 1, 3);
    AnatomicMarkers = new QCheckBox(QStringLiteral("Show Anatomic Side Markers"), fraMain);
    AnatomicMarkers->setObjectName(QStringLiteral("AnatomicMarkers"));
    AnatomicMarkers->setChecked(true);
    grid->addWidget(AnatomicMarkers, row++, 0, 1, 3);

    tl = new QPlainTextEdit(fraMain);
    tl->setObjectName(QStringLiteral("tl"));
    tl->setVisible(false);
    grid->addWidget(tl, row++, 0, 1, 3);
    buildWindowingControls(grid, row);
    buildZoomControls(grid, row);
    fraMouse = m_mouse->buildPalette(fraMain);
    grid->addWidget(fraMouse, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);

    cmdToolB = new QPushButton(QStringLiteral("&Tools"), m_area);
    cmdToolB->setObjectName(QStringLiteral("cmdToolB"));
    cmdToolB->setVisible(false);
    cmdToolB->setMouseTracking(true); // hovering over it is enough
    cmdToolB->installEventFilter(this);

    connect(cmdToolB, &QPushButton::clicked, this, &frmDicomViewer::cmdToolB_Click);
    connect(cmdPreImages, &QPushButton::clicked, this, &frmDicomViewer::cmdPreImages_Click);
    connect(AnatomicMarkers, &QCheckBox::clicked, this, &frmDicomViewer::AnatomicMarkers_Click);
    connect(current, &QLineEdit::textChanged, this, &frmDicomViewer::current_Change);
    connect(CurrentSpin, &QScrollBar::valueChanged, this, &frmDicomViewer::CurrentSpin_Change);
    connect(rows, &QLineEdit::textChanged, this, &frmDicomViewer::rows_Change);
    connect(Columns, &QLineEdit::textChanged, this, &frmDicomViewer::Columns_Change);
    connect(RowSpin, &QScrollBar::valueChanged, this, &frmDicomViewer::RowSpin_Change);
    connect(ColSpin, &QScrollBar::valueChanged, this, &frmDicomViewer::ColSpin_Change);
    connect(rows, &QLineEdit::editingFinished, this, &frmDicomViewer::rows_LostFocus);
    connect(Columns, &QLineEdit::editingFinished, this, &frmDicomViewer::Columns_LostFocus);
}

void frmDicomViewer::guarded(const std::function<void()> &body) {
    try {
        body();
    } catch (const ToolkitError &e) {
        prompter().message(
            QStringLiteral("%1\n(error %2)").arg(QString::fromStdString(e.what())).arg(e.number()),
            Prompter::Icon::Critical, Prompter::Ok, QString(), this);
    } catch (const std::exception &e) {
        prompter().message(QString::fromStdString(e.what()), Prompter::Icon::Critical, Prompter::Ok,
                           QString(), this);
    }
}

// --- load and unload

void frmDicomViewer::Form_Load() {
    m_monitors = std::make_unique<clsMonitors>();
    guarded([this] {
        using namespace component::settingskey;
        m_displayMonitor = int(fmt::leadingNumber(
            settings().get(MonitorApp, ViewerSection, DisplayResult, QStringLiteral("0"))));
        m_playInterval = viewer::playInterval(settings().get(PacsApp, ViewerSection, PlayMS));
        m_magMode = int(fmt::leadingNumber(settings().get(PacsApp, ViewerSection, MagMode)));
        m_minMode = int(fmt::leadingNumber(settings().get(PacsApp, ViewerSection, MinMode)));
        m_set->setSmoothing(m_magMode, m_minMode);
        m_textModes = textmodes::stored();
    });
    SetImageControlsEnabled(false);
    Mouse_Click(viewer::kMouseSelect);
    modStart::RestoreWindowPlacement(this);
    placeOnResultMonitor();
}

void frmDicomViewer::Form_Unload() {
    Timer1->stop();
    guarded([this] { modStart::SaveWindowPlacement(this); });
}

void frmDicomViewer::closeEvent(QCloseEvent *event) {
    Form_Unload();
    // The next use of the viewer starts a fresh, empty window.
    if (instance() == this) {
        instance() = nullptr;
    }
    event->accept();
}

// --- image set

int frmDicomViewer::imageCount() const {
    return m_set->count();
}

void frmDicomViewer::InitImage() {
    guarded([this] {
        QStringList failures;
        toolkit::ImageCollection &images = Viewer->images();
        for (int p = 1; p <= images.count(); ++p) {
            const std::shared_ptr<toolkit::Image> image = images.item(p);
            if (wasShown(image.get())) {
                continue; // its window may be the user's: a retrieval never resets it
            }
            try {
                image->applyDefaultWindow();
            } catch (const ToolkitError &e) {
                failures << QString::fromStdString(e.what());
            }
        }
        if (m_set->imagesChanged(currentExam())) {
            showExamLabels();
        }
        if (images.count() >= 1) {
            const std::shared_ptr<toolkit::Image> selected = GetSelectedImage();
            if (wasShown(selected.get())) {
                // The sliders' ranges follow its window as it stands.
                setWindowingRanges(*selected);
            } else {
                cmdDefLevel_Click();
            }
        }
        markShown();
        Viewer->refresh();
        RefreshImageControls();
        RefreshOverlays();
        if (!failures.isEmpty()) {
            prompter().message(failures.join(QLatin1Char('\n')), Prompter::Icon::Warning,
                               Prompter::Ok, QString(), this);
        }
    });
}

void frmDicomViewer::markShown() {
    toolkit::ImageCollection &images = Viewer->images();
    if (m_shown.size() > std::size_t(images.count()) + 64) {
        std::erase_if(m_shown, [](const auto &w) { return w.expired(); });
    }
    for (int p = 1; p <= images.count(); ++p) {
        const std::shared_ptr<toolkit::Image> image = images.item(p);
        if (!wasShown(image.get())) {
            m_shown.push_back(image);
        }
    }
}

bool frmDicomViewer::wasShown(const toolkit::Image *image) const {
    return std::any_of(m_shown.begin(), m_shown.end(),
                       [image](const auto &w) { return w.lock().get() == image; });
}

std::shared_ptr<toolkit::Image> frmDicomViewer::GetSelectedImage() {
    return m_set->selectedImage();
}

void frmDicomViewer::SelectImage(int position) {
    m_set->select(position);
    // Also when nothing is selected now: the page may have moved.
    RefreshImageControls();
}

void frmDicomViewer::ReselectCurrent() {
    SelectImage(m_set->currentPosition());
}

void frmDicomViewer::SetGrid(viewer::GridSize grid) {
    m_set->setGrid(grid);
    RefreshImageControls();
}

void frmDicomViewer::RefreshImageControls() {
    const int n = m_set->count();
    {
        const QSignalBlocker blockRows(rows);
        const QSignalBlocker blockColumns(Columns);
        rows->setText(QString::number(Viewer->rows()));
        Columns->setText(QString::number(Viewer->columns()));
        setQuietly(RowSpin, viewer::reversedSpin(viewer::kGridSpinMax, Viewer->rows()));
        setQuietly(ColSpin, viewer::reversedSpin(viewer::kGridSpinMax, Viewer->columns()));
        const QSignalBlocker blockSpin(CurrentSpin);
        CurrentSpin->setRange(n >= 1 ? 1 : 0, n);
    }
    // Writing the box runs its change handler, which settles the value and the scroll bar.
    const QString first = QString::number(Viewer->currentIndex());
    if (current->text() != first) {
        current->setText(first);
    } else {
        current_Change();
    }
    refreshWindowingControls();
    refreshZoomControls();
    // Image controls follow the set: an emptied viewer has nothing for them to act on.
    SetImageControlsEnabled(n >= 1);
    // The scout shows where the image now selected here lies.
    if (instance() == this && n >= 1 && m_set->imageSelected() && m_set->currentPosition() >= 1) {
        if (viewer::SliceViewerLink *scout = viewer::sliceViewerLink();
            scout && scout->showsImages()) {
            scout->Slice_Show(m_set->currentPosition());
        }
    }
    if (n >= 1) {
        DrawSideMarkers();
    }
    updateStatus();
}

void frmDicomViewer::SetImageControlsEnabled(bool enabled) {
    const bool scout = viewer::sliceViewerLink() != nullptr;
    for (const QString &name : viewer::kImageEntries) {
        if (QAction *action = entry(name)) {
            action->setEnabled(enabled && !viewer::kPendingEntries.contains(name) &&
                               (scout || !viewer::kScoutEntries.contains(name)));
        }
    }
    m_mouse->setPaletteEnabled(enabled, StretchToFit->isChecked());
}

int frmDicomViewer::OpenFiles(const QStringList &paths) {
    int added = 0;
    QStringList failures;
    for (const QString &path : paths) {
        try {
            Viewer->images().readFile(path);
            ++added;
        } catch (const std::exception &e) {
            failures << QString::fromStdString(e.what());
        }
    }
    if (m_set->imagesChanged(currentExam())) {
        showExamLabels();
    }
    markShown(); // opened at their own window; a later retrieval leaves them as they are
    viewer::BuildMissingOverlays(Viewer->images(), m_textModes);
    Viewer->refresh();
    RefreshImageControls();
    if (failures.size() == 1) {
        prompter().message(QStringLiteral("Could not open %1").arg(failures.first()),
                           Prompter::Icon::Warning, Prompter::Ok, QString(), this);
    } else if (failures.size() > 1) {
        prompter().message(QStringLiteral("Could not open %1 files:\n%2")
                               .arg(failures.size())
                               .arg(failures.join(QLatin1Char('\n'))),
                           Prompter::Icon::Warning, Prompter::Ok, QString(), this);
    }
    return added;
}

void frmDicomViewer::showExamLabels() {
    const clsExam &exam = currentExam();
    lblPatientID->setText(exam.PatientID());
    QStringList given = {exam.Name_First(), exam.Name_Middle()};
    given.removeAll(QString());
    const QString first = given.join(QLatin1Char(' '));
    PatientName->setText(exam.Name_Last().isEmpty() || first.isEmpty()
                             ? exam.Name_Last() + first
                             : exam.Name_Last() + QStringLiteral(", ") + first);
}

// --- menu handlers

void frmDicomViewer::mnuOpenDicom_Click() {
    guarded([this] {
        const QStringList paths = prompter().openFiles(
            viewer::kOpenDicomTitle, viewer::kOpenDicomFilter, true, QString(), this);
        if (!paths.isEmpty()) {
            OpenFiles(paths);
        }
    });
}

void frmDicomViewer::Exit_Click() {
    close();
}

void frmDicomViewer::DeleteSelected_Click() {
    guarded([this] {
        if (m_set->closeSelected()) {
            m_set->imagesChanged(currentExam());
            RefreshImageControls();
        }
    });
}

void frmDicomViewer::mnuCloseImg_Click() {
    DeleteSelected_Click();
}

void frmDicomViewer::DeleteAll_Click() {
    guarded([this] {
        m_set->clear();
        // Only the caption: the patient's ID stays, so "Previous Images" still finds them.
        Exam_CaptionClear();
        RefreshImageControls();
    });
}

void frmDicomViewer::SImage_Click() {
    Sort_Images();
}

void frmDicomViewer::mSortImages_Click() {
    Sort_Images();
}

// The images are reordered where they are: no path table is needed (the set could not be read
// back from disk anyway when its images were retrieved or pasted), so Get_Array does not exist.
void frmDicomViewer::Sort_Images() {
    guarded([this] {
        // The scout's lines were drawn for positions the sort changes: it starts again empty.
        viewer::SliceViewerLink *scout = viewer::sliceViewerLink();
        const bool scoutPending = scout && scout->closeIfVisible();
        m_set->sort();
        RefreshImageControls();
        RefreshOverlays();
        if (scoutPending) {
            scout->showWindow();
        }
    });
}

void frmDicomViewer::cmnuTile_Click(viewer::GridSize grid) {
    guarded([this, grid] { SetGrid(grid); });
}

void frmDicomViewer::Options_Click() {
    guarded([this] { showOptionsBox(this); });
}

void frmDicomViewer::mOptions_Click() {
    guarded([] { showOptionsBox(nullptr); });
}

// --- side panel

bool frmDicomViewer::panelShown() const {
    return !fraMain->isHidden();
}

void frmDicomViewer::showPanel(bool shown) {
    fraMain->setVisible(shown);
    cmdToolB->setVisible(!shown);
    if (QAction *view = entry(QStringLiteral("mViewMenu"))) {
        view->setChecked(shown);
    }
    Form_Resize();
}

void frmDicomViewer::mViewMenu_Click() {
    showPanel(!panelShown());
}

void frmDicomViewer::cmdToolB_Click() {
    showPanel(true);
}

void frmDicomViewer::cmdToolB_MouseMove() {
    if (!panelShown()) {
        showPanel(true);
    }
}

void frmDicomViewer::fraMain_MouseMove() {
    if (panelShown()) {
        showPanel(false);
    }
}

void frmDicomViewer::current_Change() {
    guarded([this] {
        const std::optional<int> typed = viewer::parseWholeNumber(current->text());
        if (!typed) {
            return; // half-typed or empty: wait for a number
        }
        const int value = viewer::clampCurrent(*typed, m_set->count());
        if (current->text() != QString::number(value)) {
            current->setText(QString::number(value));
            return; // the change of the box ran this again with the settled value
        }
        Viewer->setCurrentIndex(value);
        setQuietly(CurrentSpin,
                   value == 0 ? 0 : viewer::reversedSpin(CurrentSpin->maximum(), value));
        Viewer->refresh();
    });
}

void frmDicomViewer::CurrentSpin_Change() {
    current->setText(
        QString::number(viewer::reversedSpin(CurrentSpin->maximum(), CurrentSpin->value())));
}

void frmDicomViewer::rows_Change() {
    guarded([this] {
        if (const std::optional<int> n = viewer::parseWholeNumber(rows->text())) {
            Viewer->setRows(std::clamp(*n, 1, viewer::kGridTypedMax));
            Viewer->refresh();
        }
    });
}

void frmDicomViewer::Columns_Change() {
    guarded([this] {
        if (const std::optional<int> n = viewer::parseWholeNumber(Columns->text())) {
            Viewer->setColumns(std::clamp(*n, 1, viewer::kGridTypedMax));
            Viewer->refresh();
        }
    });
}

void frmDicomViewer::RowSpin_Change() {
    rows->setText(QString::number(viewer::reversedSpin(viewer::kGridSpinMax, RowSpin->value())));
}

void frmDicomViewer::ColSpin_Change() {
    Columns->setText(QString::number(viewer::reversedSpin(viewer::kGridSpinMax, ColSpin->value())));
}

void frmDicomViewer::rows_LostFocus() {
    if (const std::optional<int> n = viewer::parseWholeNumber(rows->text())) {
        setQuietly(RowSpin, viewer::reversedSpin(viewer::kGridSpinMax, *n));
    }
}

void frmDicomViewer::Columns_LostFocus() {
    if (const std::optional<int> n = viewer::parseWholeNumber(Columns->text())) {
        setQuietly(ColSpin, viewer::reversedSpin(viewer::kGridSpinMax, *n));
    }
}

// --- viewer events

void frmDicomViewer::Mouse_Click(int Index) {
    guarded([&] { m_mouse->Mouse_Click(Index); });
}

void frmDicomViewer::Viewer_MouseDown(int Button, int Shift, int X, int Y) {
    markShown(); // whatever the press starts, the images on screen are the user's now
    guarded([&] { m_mouse->Viewer_MouseDown(Button, Shift, X, Y); });
}

void frmDicomViewer::Viewer_MouseMove(int Button, int Shift, int X, int Y) {
    guarded([&] {
        m_mouse->Viewer_MouseMove(Button, Shift, X, Y);
        if (!m_mouse->MagnifierOn) { // the magnifier's copy is no image of the set
            const QPoint point(X, Y);
            updateStatus(Viewer->imageIndexAt(point), point);
        }
    });
}

void frmDicomViewer::Viewer_MouseUp(int Button, int Shift, int X, int Y) {
    // The release reports its own failures ("Event not valid!").
    guarded([&] { m_mouse->Viewer_MouseUp(Button, Shift, X, Y); });
}

void frmDicomViewer::SetMagnifier(int X, int Y) {
    guarded([&] { m_mouse->SetMagnifier(X, Y); });
}

void frmDicomViewer::RestoreMinification() {
    guarded([this] { m_mouse->RestoreMinification(); });
}

double frmDicomViewer::CalculateCobb() {
    return viewer::CalculateCobb(m_mouse->CobbXYCoord);
}

void frmDicomViewer::cmnuLabelClear_Click() {
    guarded([this] { m_mouse->cmnuLabelClear_Click(); });
}

void frmDicomViewer::cmnuLabelDelete_Click() {
    guarded([this] { m_mouse->cmnuLabelDelete_Click(); });
}

void frmDicomViewer::cmnuLabelDetails_Click() {
    guarded([this] {
        LabelForm &details = labelForm();
        details.show();
        details.raise();
        details.activateWindow();
    });
}

void frmDicomViewer::RefreshOverlays() {
    guarded([this] {
        if (imageCount() == 0) {
            return;
        }
        viewer::RefreshOverlays(Viewer->images(), m_textModes, presetWindow());
        Viewer->refresh();
    });
}

void frmDicomViewer::DrawSideMarkers() {
    viewer::DrawSideMarkers(Viewer->images(), AnatomicMarkers->isChecked());
}

void frmDicomViewer::AnatomicMarkers_Click() {
    guarded([this] {
        DrawSideMarkers();
        Viewer->refresh();
    });
}

void frmDicomViewer::mnuLabel_Click() {
    RefreshOverlays();
}

void frmDicomViewer::mnuDisplayTextMode_Click() {
    guarded([this] {
        frmTextModes *modes = showTextModes(this);
        connect(modes, &frmTextModes::choicesStored, this,
                [this](const textmodes::Choices &choices) {
                    m_textModes = choices;
                    RefreshOverlays();
                });
    });
}

void frmDicomViewer::mnuDisplaySlice_Click() {
    guarded([] {
        if (viewer::SliceViewerLink *scout = viewer::sliceViewerLink()) {
            scout->scoutSlices();
        }
    });
}

void frmDicomViewer::mnuOpenInSlice_Click() {
    guarded([this] {
        viewer::SliceViewerLink *scout = viewer::sliceViewerLink();
        if (!scout || m_set->count() == 0) {
            return;
        }
        scout->openImage(GetSelectedImage());
    });
}

void frmDicomViewer::cmdPreImages_Click() {
    guarded([this] {
        const QString patientId = lblPatientID->text();
        if (patientId.isEmpty()) {
            return;
        }
        // A fresh instance asks for this patient alone: every study of theirs is listed.
        clsRavlenPACSViewer priors;
        priors.setPatientID(patientId);
        priors.OpenImage();
    });
}

void frmDicomViewer::Exam_CaptionClear() {
    setWindowTitle(viewer::kEmptyExamCaption);
}

int frmDicomViewer::currentPosition() const {
    return m_set->currentPosition();
}

void frmDicomViewer::setCurrentPosition(int position) {
    m_set->setCurrentPosition(position);
}

void frmDicomViewer::selectByMouse(int hit) {
    if (m_set->selectHit(hit)) {
        EnableCineMenu(m_set->selected()->frameCount() >= 2);
        RefreshImageControls();
    }
}

bool frmDicomViewer::stretchToFitTicked() const {
    return StretchToFit->isChecked();
}

bool frmDicomViewer::allChangeTicked() const {
    return optAllChange->isChecked();
}

void frmDicomViewer::foldToolPanel() {
    if (panelShown()) {
        showPanel(false);
    }
}

void frmDicomViewer::popupContextMenu(QPoint viewerPoint) {
    mnuContext->popup(Viewer->mapToGlobal(viewerPoint));
}

void frmDicomViewer::Viewer_KeyDown(int KeyCode, int Shift) {
    Q_UNUSED(Shift);
    guarded([&] {
        const viewer::KeyDecision decision =
            viewer::decideKey(KeyCode, m_set->currentPosition(), m_set->count());
        switch (decision.action) {
        case viewer::KeyAction::LayoutSwitch:
            LayoutSwitch();
            break;
        case viewer::KeyAction::Select:
            SelectImage(decision.position);
            break;
        case viewer::KeyAction::CloseSelected:
            DeleteSelected_Click();
            break;
        case viewer::KeyAction::None:
            break;
        }
    });
}

void frmDicomViewer::Viewer_DblClick() {
    // The label tools Text and Measure take the double click for themselves.
    guarded([this] { m_mouse->Viewer_DblClick(); });
}

void frmDicomViewer::LayoutSwitch() {
    // The selected image stays in view, as after a tile entry.
    guarded([this] {
        m_set->switchLayout();
        RefreshImageControls();
    });
}

// --- layout and status

void frmDicomViewer::Form_Resize() {
    viewer::WindowExtent extent;
    extent.innerWidth = double(m_area->width()) * kTwips;
    extent.innerHeight = double(m_area->height()) * kTwips;
    extent.outerWidth = double(frameGeometry().width()) * kTwips;
    extent.panelWidth = kPanelWidthTwips;
    const viewer::WindowLayout layout = viewer::layoutWindow(extent);
    Viewer->setGeometry(Viewer->x(), Viewer->y(), pixels(layout.viewerWidth),
                        pixels(layout.viewerHeight));
    fraMain->setGeometry(pixels(layout.panelLeft), 0, pixels(kPanelWidthTwips), m_area->height());
    cmdToolB->setGeometry(pixels(layout.toolButtonLeft), 0, pixels(kToolButtonWidthTwips),
                          pixels(kToolButtonHeightTwips));
    fraMain->raise();
    cmdToolB->raise();
}

void frmDicomViewer::updateStatus(int hoveredPosition, QPoint pointer) {
    const int n = m_set->count();
    int position = m_set->currentPosition() >= 1 && m_set->imageSelected()
                       ? m_set->currentPosition()
                       : Viewer->currentIndex();
    std::optional<viewer::PixelReading> reading;
    QString modality;
    if (hoveredPosition >= 1 && hoveredPosition <= n) {
        position = hoveredPosition;
        const std::shared_ptr<toolkit::Image> image = Viewer->images().item(hoveredPosition);
        modality = image->modality();
        if (const std::optional<QPointF> pixel = Viewer->imagePixelAt(pointer)) {
            reading = viewer::readPixel(*image, *pixel);
        }
    }
    StatusLine->setText(viewer::statusText(position, n, reading, modality));
}

QString frmDicomViewer::statusLine() const {
    return StatusLine->text();
}

QAction *frmDicomViewer::entry(const QString &objectName) const {
    return findChild<QAction *>(objectName);
}

bool frmDicomViewer::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_area && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == cmdToolB &&
               (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)) {
        cmdToolB_MouseMove();
    } else if (watched == fraMain && event->type() == QEvent::MouseMove) {
        // Only the panel's own background folds it, not the controls on it.
        const auto *move = static_cast<QMouseEvent *>(event);
        if (!fraMain->childAt(move->position().toPoint())) {
            fraMain_MouseMove();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- the one window of the process

frmDicomViewer &dicomViewer() {
    if (!instance()) {
        installQtPrompter(); // people get message boxes; a test's own prompter still wins
        instance() = new frmDicomViewer;
    }
    return *instance();
}

bool dicomViewerExists() {
    return !instance().isNull();
}

void registerViewerWindow() {
    setViewerWindowShower(&showViewerWindow);
}

namespace {
// The shared library holds every object, so this runs when a host loads it; a program linking
// the static libraries gets it with the first use of the window.
[[maybe_unused]] const bool viewerWindowRegistered = (registerViewerWindow(), true);
} // namespace

} // namespace ravlen
