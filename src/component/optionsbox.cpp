#include "component/optionsbox.h"

#include "component/componentconstants.h"
#include "component/optionsvalues.h"
#include "core/errors.h"
#include "core/formats.h"
#include "core/prompter.h"
#include "core/settingsstore.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <exception>
#include <utility>
#include <vector>

namespace ravlen {

namespace {

using O = OptionsValues;

QLineEdit *lineEdit(const QString &name) {
    auto *edit = new QLineEdit;
    edit->setObjectName(name);
    return edit;
}

QCheckBox *checkBox(const QString &name, const QString &caption) {
    auto *box = new QCheckBox(caption);
    box->setObjectName(name);
    return box;
}

QRadioButton *radioButton(const QString &name, const QString &caption) {
    auto *button = new QRadioButton(caption);
    button->setObjectName(name);
    return button;
}

QComboBox *comboBox(const QString &name, const QStringList &entries) {
    auto *combo = new QComboBox;
    combo->setObjectName(name);
    combo->addItems(entries);
    return combo;
}

QGroupBox *groupBox(const QString &title, QLayout *layout) {
    auto *group = new QGroupBox(title);
    group->setLayout(layout);
    return group;
}

// Rows of labelled fields placed straight on a page, aligned with the page's frames.
QWidget *formPart(QFormLayout *form) {
    auto *part = new QWidget;
    part->setLayout(form);
    form->setContentsMargins(0, 0, 0, 0);
    return part;
}

// A page whose content keeps to the top, as the window grows.
QWidget *page(const QList<QWidget *> &parts) {
    auto *widget = new QWidget;
    auto *layout = new QVBoxLayout(widget);
    for (QWidget *part : parts) {
        layout->addWidget(part);
    }
    layout->addStretch(1);
    return widget;
}

// Selects the button with `id`; any other id leaves the group with nothing selected.
void selectOnly(QButtonGroup *group, int id) {
    if (QAbstractButton *button = group->button(id)) {
        button->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons()) {
        button->setChecked(false);
    }
    group->setExclusive(true);
}

// A stored smoothing choice; an unreadable store shows no choice rather than failing the show.
int storedSmoothing(const QString &key) {
    try {
        namespace skey = component::settingskey;
        return static_cast<int>(
            fmt::leadingNumber(settings().get(skey::PacsApp, skey::ViewerSection, key)));
    } catch (const std::exception &) {
        return 0;
    }
}

// Says what failed, the error's number and text, and what the user can do about it.
void reportFailure(QWidget *window, const QString &what, const std::exception &error,
                   const QString &advice = QString()) {
    QString text = what;
    if (const auto *toolkit = dynamic_cast<const ToolkitError *>(&error)) {
        text += QStringLiteral(" (error %1)").arg(toolkit->number());
    }
    text += QStringLiteral(":\n") + QString::fromStdString(error.what());
    if (!advice.isEmpty()) {
        text += QStringLiteral("\n") + advice;
    }
    prompter().message(text, Prompter::Icon::Critical, Prompter::Ok, component::kOptionsCaption,
                       window);
}

} // namespace

OptionsBox::OptionsBox(OptionsValues &record, QWidget *parent) : QDialog(parent), m_record(record) {
    setObjectName(QStringLiteral("OptionsBox"));
    setWindowTitle(component::kOptionsCaption);

    SSTab1 = new QTabWidget;
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    // Every tab caption stays readable: the window widens to the tab row instead of scrolling it.
    SSTab1->tabBar()->setUsesScrollButtons(false);
    SSTab1->addTab(buildViewerTab(), QStringLiteral("Viewer"));
    SSTab1->addTab(buildGeneralScpTab(), QStringLiteral("General SCP"));
    SSTab1->addTab(buildStorageTab(), QStringLiteral("Storage && Verification SCU"));
    SSTab1->addTab(buildQueryTab(), QStringLiteral("Query SCU"));
    SSTab1->addTab(buildPrintingTab(), QStringLiteral("Printing"));

    chkAsync = checkBox(QStringLiteral("chkAsync"), QStringLiteral("Async"));
    Command1 = new QPushButton(QStringLiteral("OK"));
    Command1->setObjectName(QStringLiteral("Command1"));
    // Return in a field must not save and close the window behind the user's back.
    Command1->setAutoDefault(false);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkAsync);
    bottom->addStretch(1);
    bottom->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addLayout(bottom);

    connectToRecord();
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Replicate, &QRadioButton::clicked, this, [this] { Replicate_Click(); });
    connect(BSpline, &QRadioButton::clicked, this, [this] { BSpline_Click(); });
    connect(CubicSpline, &QRadioButton::clicked, this, [this] { CubicSpline_Click(); });
    connect(PixelValues, &QRadioButton::clicked, this, [this] { PixelValues_Click(); });
    connect(MovingAverage, &QRadioButton::clicked, this, [this] { MovingAverage_Click(); });

    loadControls();
}

QWidget *OptionsBox::buildViewerTab() {
    txtPlaySecs = lineEdit(QStringLiteral("txtPlaySecs"));
    txtPlaySecs->setToolTip(QStringLiteral("play milliseconds"));
    auto *playRow = new QFormLayout;
    playRow->addRow(QStringLiteral("Play Milliseconds:"), txtPlaySecs);

    CopyAllFrames = checkBox(QStringLiteral("CopyAllFrames"),
                             QStringLiteral("Copy all Frames as separate images"));
    WindowAll =
        checkBox(QStringLiteral("WindowAll"), QStringLiteral("Window All Images together?"));

    Replicate = radioButton(QStringLiteral("Replicate"), QStringLiteral("Pixel Value"));
    BSpline = radioButton(QStringLiteral("BSpline"), QStringLiteral("B-Spline"));
    CubicSpline = radioButton(QStringLiteral("CubicSpline"), QStringLiteral("Cubic Spline"));
    PixelValues = radioButton(QStringLiteral("PixelValues"), QStringLiteral("Pixel Value"));
    MovingAverage = radioButton(QStringLiteral("MovingAverage"), QStringLiteral("Moving Average"));
    // The ids are the values the settings store keeps for each choice.
    m_magnification = new QButtonGroup(this);
    m_magnification->addButton(Replicate, static_cast<int>(MagMode::Replicate));
    m_magnification->addButton(BSpline, static_cast<int>(MagMode::BSpline));
    m_magnification->addButton(CubicSpline, static_cast<int>(MagMode::CubicSpline));
    m_minification = new QButtonGroup(this);
    m_minification->addButton(PixelValues, static_cast<int>(MinMode::PixelValues));
    m_minification->addButton(MovingAverage, static_cast<int>(MinMode::MovingAverage));

    auto *smoothing = new QGridLayout;
    smoothing->addWidget(new QLabel(QStringLiteral("Magnification")), 0, 0);
    smoothing->addWidget(Replicate, 0, 1);
    smoothing->addWidget(BSpline, 0, 2);
    smoothing->addWidget(CubicSpline, 0, 3);
    smoothing->addWidget(new QLabel(QStringLiteral("Minification")), 1, 0);
    smoothing->addWidget(PixelValues, 1, 1);
    smoothing->addWidget(MovingAverage, 1, 2);
    smoothing->setColumnStretch(4, 1);

    return page({formPart(playRow), CopyAllFrames, WindowAll,
                 groupBox(QStringLiteral("Change Smoothing Type"), smoothing)});
}

QWidget *OptionsBox::buildGeneralScpTab() {
    AEName = lineEdit(QStringLiteral("AEName"));
    Port = lineEdit(QStringLiteral("Port"));
    Port->installEventFilter(this);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("This Application Entitiy Title"), AEName);
    form->addRow(QStringLiteral("Port to Listen On:"), Port);
    return page({formPart(form)});
}

QWidget *OptionsBox::buildStorageTab() {
    StorageNode = lineEdit(QStringLiteral("StorageNode"));
    StoragePort = lineEdit(QStringLiteral("StoragePort"));
    StorageAE = lineEdit(QStringLiteral("StorageAE"));
    auto *remote = new QFormLayout;
    remote->addRow(QStringLiteral("Node Name or IP Address"), StorageNode);
    remote->addRow(QStringLiteral("Port Number"), StoragePort);
    remote->addRow(QStringLiteral("AE Name"), StorageAE);
    Async = checkBox(QStringLiteral("Async"), QStringLiteral("Send requests asynchronously"));
    auto *note = new QLabel(QStringLiteral("See Query SCU page for local AE title used"));
    note->setWordWrap(true);
    return page({groupBox(QStringLiteral("Remote SCP"), remote), Async, note});
}

QWidget *OptionsBox::buildQueryTab() {
    RemoteNode = lineEdit(QStringLiteral("RemoteNode"));
    RemotePort = lineEdit(QStringLiteral("RemotePort"));
    RemoteAE = lineEdit(QStringLiteral("RemoteAE"));
    auto *remote = new QFormLayout;
    remote->addRow(QStringLiteral("Node Name or IP Address"), RemoteNode);
    remote->addRow(QStringLiteral("Port Number"), RemotePort);
    remote->addRow(QStringLiteral("AE Name"), RemoteAE);

    CallingAE = lineEdit(QStringLiteral("CallingAE"));
    MoveDestination = lineEdit(QStringLiteral("MoveDestination"));
    auto *local = new QFormLayout;
    local->addRow(QStringLiteral("Calling AE Name to Use"), CallingAE);
    local->addRow(QStringLiteral("Move Destination"), MoveDestination);

    A_CMOVE = radioButton(QStringLiteral("A_CMOVE"), QStringLiteral("Asynchronous C-MOVE"));
    S_CMOVE = radioButton(QStringLiteral("S_CMOVE"), QStringLiteral("Synchronous C-MOVE"));
    CGET = radioButton(QStringLiteral("CGET"), QStringLiteral("C-GET"));
    using Ret = O::RetrieveMethod;
    m_retrieve = new QButtonGroup(this);
    m_retrieve->addButton(A_CMOVE, static_cast<int>(Ret::A_CMOVE));
    m_retrieve->addButton(S_CMOVE, static_cast<int>(Ret::S_CMOVE));
    m_retrieve->addButton(CGET, static_cast<int>(Ret::CGET));
    auto *retrieve = new QVBoxLayout;
    retrieve->addWidget(A_CMOVE);
    retrieve->addWidget(S_CMOVE);
    retrieve->addWidget(CGET);

    StudyRoot = radioButton(QStringLiteral("StudyRoot"), QStringLiteral("Study"));
    PatientRoot = radioButton(QStringLiteral("PatientRoot"), QStringLiteral("Patient"));
    using Root = O::QueryRoot;
    m_root = new QButtonGroup(this);
    m_root->addButton(StudyRoot, static_cast<int>(Root::StudyRoot));
    m_root->addButton(PatientRoot, static_cast<int>(Root::PatientRoot));
    auto *root = new QVBoxLayout;
    root->addWidget(StudyRoot);
    root->addWidget(PatientRoot);
    root->addStretch(1);

    auto *options = new QWidget;
    auto *optionsRow = new QHBoxLayout(options);
    optionsRow->setContentsMargins(0, 0, 0, 0);
    optionsRow->addWidget(groupBox(QStringLiteral("Retrieve Method"), retrieve));
    optionsRow->addWidget(groupBox(QStringLiteral("Query Root"), root));

    return page({groupBox(QStringLiteral("Remote SCP"), remote),
                 groupBox(QStringLiteral("Local AE"), local), options});
}

QWidget *OptionsBox::buildPrintingTab() {
    Magnification = comboBox(QStringLiteral("Magnification"), component::kMagnificationList);
    FilmSize = comboBox(QStringLiteral("FilmSize"), component::kFilmSizeList);
    PrintOrientation =
        comboBox(QStringLiteral("PrintOrientation"), component::kPrintOrientationList);
    PrintFormat = comboBox(QStringLiteral("PrintFormat"), component::kPrintFormatList);
    auto *film = new QFormLayout;
    film->addRow(QStringLiteral("Magnifaction Type"), Magnification);
    film->addRow(QStringLiteral("Film Size"), FilmSize);
    film->addRow(QStringLiteral("Orientation"), PrintOrientation);
    film->addRow(QStringLiteral("Print Format Name"), PrintFormat);

    PrintCallingAE = lineEdit(QStringLiteral("PrintCallingAE"));
    PrintNode = lineEdit(QStringLiteral("PrintNode"));
    PrintPort = lineEdit(QStringLiteral("PrintPort"));
    PrintAE = lineEdit(QStringLiteral("PrintAE"));
    auto *printer = new QFormLayout;
    printer->addRow(QStringLiteral("Calling AE Name to Use"), PrintCallingAE);
    printer->addRow(QStringLiteral("Node Name or IP Address"), PrintNode);
    printer->addRow(QStringLiteral("Port Number"), PrintPort);
    printer->addRow(QStringLiteral("AE Name"), PrintAE);

    return page({formPart(film), groupBox(QStringLiteral("Printer"), printer)});
}

namespace {

// Each control beside the record field it shows; one table serves loading and writing back.
template <typename Control, typename Field>
using Bindings = std::vector<std::pair<Control *, Field O::*>>;

Bindings<QLineEdit, QString> textBindings(const OptionsBox &b) {
    return {{b.txtPlaySecs, &O::txtPlaySecs},
            {b.AEName, &O::AEName},
            {b.Port, &O::Port},
            {b.StorageNode, &O::StorageNode},
            {b.StoragePort, &O::StoragePort},
            {b.StorageAE, &O::StorageAE},
            {b.RemoteNode, &O::RemoteNode},
            {b.RemotePort, &O::RemotePort},
            {b.RemoteAE, &O::RemoteAE},
            {b.CallingAE, &O::CallingAE},
            {b.MoveDestination, &O::MoveDestination},
            {b.PrintCallingAE, &O::PrintCallingAE},
            {b.PrintNode, &O::PrintNode},
            {b.PrintPort, &O::PrintPort},
            {b.PrintAE, &O::PrintAE}};
}

Bindings<QCheckBox, bool> checkBindings(const OptionsBox &b) {
    return {{b.CopyAllFrames, &O::CopyAllFrames},
            {b.WindowAll, &O::WindowAll},
            {b.Async, &O::Async},
            {b.chkAsync, &O::chkAsync}};
}

Bindings<QComboBox, QString> comboBindings(const OptionsBox &b) {
    return {{b.Magnification, &O::Magnification},
            {b.FilmSize, &O::FilmSize},
            {b.PrintOrientation, &O::PrintOrientation},
            {b.PrintFormat, &O::PrintFormat}};
}

} // namespace

void OptionsBox::connectToRecord() {
    for (const auto &[edit, field] : textBindings(*this)) {
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString &text) {
            if (!m_loading) {
                m_record.*field = text;
            }
        });
    }
    for (const auto &[box, field] : checkBindings(*this)) {
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
            if (!m_loading) {
                m_record.*field = on;
            }
        });
    }
    for (const auto &[combo, field] : comboBindings(*this)) {
        connect(combo, &QComboBox::currentTextChanged, this, [this, field](const QString &text) {
            if (!m_loading) {
                m_record.*field = text;
            }
        });
    }
    connect(m_retrieve, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on && !m_loading) {
            m_record.retrieveMethod = static_cast<O::RetrieveMethod>(id);
        }
    });
    connect(m_root, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on && !m_loading) {
            m_record.queryRoot = static_cast<O::QueryRoot>(id);
        }
    });
}

void OptionsBox::loadControls() {
    m_loading = true;
    for (const auto &[edit, field] : textBindings(*this)) {
        edit->setText(m_record.*field);
    }
    for (const auto &[box, field] : checkBindings(*this)) {
        box->setChecked(m_record.*field);
    }
    for (const auto &[combo, field] : comboBindings(*this)) {
        combo->setCurrentIndex(combo->findText(m_record.*field));
    }
    selectOnly(m_retrieve, static_cast<int>(m_record.retrieveMethod));
    selectOnly(m_root, static_cast<int>(m_record.queryRoot));
    m_loading = false;
    selectOnly(m_magnification, storedSmoothing(component::settingskey::MagMode));
    selectOnly(m_minification, storedSmoothing(component::settingskey::MinMode));
}

void OptionsBox::showEvent(QShowEvent *event) {
    loadControls();
    QDialog::showEvent(event);
}

void OptionsBox::Command1_Click() {
    try {
        saveOptions(m_record);
    } catch (const std::exception &error) {
        reportFailure(this, QStringLiteral("The options could not be saved"), error,
                      QStringLiteral("The INI file may be incomplete until OK succeeds."));
        return;
    }
    hide();
}

namespace {

template <typename Save, typename Mode>
void saveSmoothing(QWidget *window, QRadioButton *button, Save save, Mode mode) {
    // Called from code as well as by a click, so the button shows the stored choice either way.
    button->setChecked(true);
    try {
        save(mode);
    } catch (const std::exception &error) {
        reportFailure(window, QStringLiteral("The smoothing choice could not be saved"), error);
    }
}

} // namespace

void OptionsBox::Replicate_Click() {
    saveSmoothing(this, Replicate, saveMagMode, MagMode::Replicate);
}

void OptionsBox::BSpline_Click() {
    saveSmoothing(this, BSpline, saveMagMode, MagMode::BSpline);
}

void OptionsBox::CubicSpline_Click() {
    saveSmoothing(this, CubicSpline, saveMagMode, MagMode::CubicSpline);
}

void OptionsBox::PixelValues_Click() {
    saveSmoothing(this, PixelValues, saveMinMode, MinMode::PixelValues);
}

void OptionsBox::MovingAverage_Click() {
    saveSmoothing(this, MovingAverage, saveMinMode, MinMode::MovingAverage);
}

namespace {
ListenerSwitch &listenerSwitch() {
    static ListenerSwitch theSwitch;
    return theSwitch;
}
} // namespace

void setListenerSwitch(ListenerSwitch listenerSwitch) {
    ravlen::listenerSwitch() = listenerSwitch;
}

void OptionsBox::Port_GotFocus() {
    if (listenerSwitch().stop) {
        listenerSwitch().stop(Port->text());
    }
}

void OptionsBox::Port_LostFocus() {
    if (listenerSwitch().start) {
        listenerSwitch().start(Port->text());
    }
}

bool OptionsBox::eventFilter(QObject *watched, QEvent *event) {
    // Leaving the window counts as leaving the field, so the listener never stays stopped
    // behind a hidden or inactive options window; a context menu over the field does not.
    if (watched == Port &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason) {
            event->type() == QEvent::FocusIn ? Port_GotFocus() : Port_LostFocus();
        }
    }
    return QDialog::eventFilter(watched, event);
}

OptionsBox &optionsBox() {
    // Never destroyed and never given a parent, so no owner's end can take it along.
    static OptionsBox *box = new OptionsBox(options());
    return *box;
}

void showOptionsBox(QWidget *owner) {
    OptionsBox &box = optionsBox();
    QWindow *ownerWindow = nullptr;
    if (owner) {
        QWidget *top = owner->window();
        top->winId();
        ownerWindow = top->windowHandle();
    }
    box.winId();
    box.windowHandle()->setTransientParent(ownerWindow);
    if (box.isVisible()) {
        box.loadControls();
    } else {
        box.show();
    }
    box.raise();
    box.activateWindow();
}

} // namespace ravlen
