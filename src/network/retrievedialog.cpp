#include "network/retrievedialog.h"

#include "component/optionsvalues.h"
#include "component/windowplacement.h"
#include "core/errors.h"
#include "core/prompter.h"
#include "core/settingsstore.h"
#include "network/backgroundcall.h"
#include "network/retrievequery.h"
#include "network/retrievetarget.h"
#include "toolkit/dicomquery.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

namespace ravlen {

using network::EntryTag;
using network::RetrievalMethod;

namespace {

// A listener that cannot have its port back right after a synchronous move is tried again this
// often, this far apart, and then reported.
constexpr int kListenerRestartAttempts = 5;
constexpr int kListenerRestartPauseMs = 300;

// Placement of the controls, in pixels; the tree follows the window (Form_Resize).
constexpr int kLeft = 7;
constexpr int kButtonTop = 8;
constexpr int kButtonHeight = 26;
constexpr int kProgressTop = 40;
constexpr int kTreeTop = 70;

void say(const QString &text, QWidget *parent) {
    prompter().message(text, Prompter::Icon::None, Prompter::Ok, QString(), parent);
}

// The busy pointer on the viewer and the dialog, restored on every way out of a retrieval.
class BusyPointers {
public:
    BusyPointers(network::RetrieveTarget &target, QWidget &dialog)
        : m_target(target), m_dialog(dialog) {
        m_target.setBusy(true);
        m_dialog.setCursor(Qt::WaitCursor);
    }
    ~BusyPointers() {
        m_target.setBusy(false);
        m_dialog.unsetCursor();
    }
    BusyPointers(const BusyPointers &) = delete;
    BusyPointers &operator=(const BusyPointers &) = delete;

private:
    network::RetrieveTarget &m_target;
    QWidget &m_dialog;
};

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

RetrieveDialog::RetrieveDialog(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("PACS - Retrieve Images"));
    // Closing unloads the dialog; the next use creates it afresh.
    setAttribute(Qt::WA_DeleteOnClose);
    resize(560, 440);

    const auto button = [this](const char *name, const QString &caption, int x, int width) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setGeometry(x, kButtonTop, width, kButtonHeight);
        return b;
    };
    Retrieve = button("Retrieve", QStringLiteral("Retrieve"), kLeft, 84);
    cmdRetSlice = button("cmdRetSlice", QStringLiteral("Slice"), kLeft + 88, 64);
    Reset = button("Reset", QStringLiteral("Reset"), kLeft + 156, 64);
    cmdClose = button("cmdClose", QStringLiteral("&Close"), kLeft + 224, 72);
    // "Slice" needs the scout viewer, which not every program built on the viewer has.
    cmdRetSlice->setEnabled(network::sliceRetrieveTarget() != nullptr);

    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    prgProgress = new QProgressBar(this);
    prgProgress->setObjectName(QStringLiteral("prgProgress"));
    prgProgress->setTextVisible(false);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    for (QWidget *w : {static_cast<QWidget *>(lblProgress), static_cast<QWidget *>(prgProgress),
                       static_cast<QWidget *>(cmdCancel)}) {
        w->setVisible(false);
    }

    Tree = new QTreeWidget(this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setHeaderHidden(true);
    // A double click retrieves; expanding is for the arrow and the keyboard.
    Tree->setExpandsOnDoubleClick(false);
    Tree->setGeometry(kLeft, kTreeTop, 400, 300);

    connect(Retrieve, &QPushButton::clicked, this, [this] { Retrieve_Click(); });
    connect(cmdRetSlice, &QPushButton::clicked, this, [this] { cmdRetSlice_Click(); });
    connect(Reset, &QPushButton::clicked, this, [this] { Reset_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(Tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *item) { Tree_Expand(item); });
    connect(Tree, &QTreeWidget::itemDoubleClicked, this, [this] { Tree_DblClick(); });
    Form_Resize();
}

RetrieveDialog::~RetrieveDialog() = default;

const std::vector<toolkit::FindResult> &RetrieveDialog::lastResults() const {
    return m_lastResults;
}

// --- the tree

EntryTag RetrieveDialog::tagOf(const QTreeWidgetItem *item) const {
    EntryTag tag;
    if (!item) {
        return tag;
    }
    const QVariantList v = item->data(0, kTagRole).toList();
    if (v.size() >= 4) {
        tag.level = v.at(0).toInt();
        tag.patientId = v.at(1).toString();
        tag.studyUid = v.at(2).toString();
        tag.seriesUid = v.at(3).toString();
    }
    return tag;
}

void RetrieveDialog::setTag(QTreeWidgetItem *item, const EntryTag &tag) {
    item->setData(0, kTagRole,
                  QVariantList{tag.level, tag.patientId, tag.studyUid, tag.seriesUid, QVariant()});
}

void RetrieveDialog::addTreeEntry(QTreeWidgetItem *parent, const QString &text, const EntryTag &tag,
                                  const QString &placeholder) {
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Tree);
    item->setText(0, text);
    setTag(item, tag);
    if (!placeholder.isEmpty()) {
        (new QTreeWidgetItem(item))->setText(0, placeholder);
    }
    item->setExpanded(false);
}

QString RetrieveDialog::peerName() const {
    if (!m_query) {
        return QString();
    }
    return QStringLiteral("%1 at %2:%3")
        .arg(m_query->calledAE(), m_query->remoteHost())
        .arg(m_query->remotePort());
}

void RetrieveDialog::LoadPatients(const QString &PatientID, const QString &PatientLastName,
                                  const QString &PatientGender, const QString &PatientDOB,
                                  const QString &StudyDate, const QString &Modality,
                                  const QString &AccessionNumber, const QString &StudyUID) {
    if (m_busy) {
        say(QStringLiteral("The query dialog is still waiting for the PACS. Press Cancel or wait "
                           "until it is done, then try again."),
            this);
        return;
    }
    m_queryKeys = PatientKeys{PatientID, PatientLastName, PatientGender,   PatientDOB,
                              StudyDate, Modality,        AccessionNumber, StudyUID};
    ++m_loadCount;
    Tree->clear();
    m_lastResults.clear();
    try {
        runQuery();
    } catch (const std::exception &e) {
        say(QString::fromStdString(e.what()), this);
    }
    if (m_closeRequested) {
        close();
    }
}

void RetrieveDialog::runQuery() {
    const OptionsValues &o = options();
    const std::optional<int> port = network::portNumber(o.RemotePort);
    if (!port) {
        say(QStringLiteral("The remote port \"%1\" in the options is not a whole number from 1 to "
                           "65535, so the PACS was not queried.")
                .arg(o.RemotePort),
            this);
        return;
    }
    auto query = std::make_shared<toolkit::DicomQuery>();
    query->setRemoteHost(o.RemoteNode);
    query->setRemotePort(*port);
    query->setCallingAE(o.CallingAE);
    query->setCalledAE(o.RemoteAE);
    m_query = query;
    const bool patientRoot = o.PatientRoot();
    network::applyKeys(*query, network::loadPatientsKeys(m_queryKeys, patientRoot));

    std::vector<toolkit::FindResult> results;
    // The toolkit's text already names the peer and what failed.
    const bool ok = waitForPeer(
        QStringLiteral("Querying %1").arg(peerName()), [&] { results = query->find(); },
        [](int, const QString &text) { return text; });
    if (!ok) {
        return;
    }
    if (results.empty() && patientRoot &&
        !(m_queryKeys.StudyUID.isEmpty() && m_queryKeys.StudyDate.isEmpty())) {
        // A PACS that matches only keys of the patient level finds no patient for a study key
        // (a host that knows just the study UID): ask for the studies and list their patients.
        query->setRoot(QStringLiteral("STUDY"));
        query->setLevel(QStringLiteral("STUDY"));
        const bool found = waitForPeer(
            QStringLiteral("Querying %1").arg(peerName()), [&] { results = query->find(); },
            [](int, const QString &text) { return text; });
        query->setRoot(QStringLiteral("PATIENT"));
        query->setLevel(QStringLiteral("PATIENT"));
        if (!found) {
            return;
        }
    }
    m_lastResults = std::move(results);
    std::vector<network::QueryRecord> records;
    for (const toolkit::FindResult &result : m_lastResults) {
        records.push_back(network::queryRecord(result));
    }
    if (patientRoot) {
        records = network::distinctPatients(records);
    }
    for (const network::QueryRecord &r : records) {
        if (patientRoot) {
            addTreeEntry(nullptr, network::patientText(r),
                         EntryTag{network::kPatientLevel, r.patientId, {}, {}},
                         network::kStudyPlaceholder);
        } else {
            addTreeEntry(nullptr, network::studyRootText(r),
                         EntryTag{network::kStudyLevel, r.patientId, r.studyUid, {}},
                         network::kSeriesPlaceholder);
        }
    }
    // One result and its placeholder: show the first entry's children without a click.
    if (Tree->topLevelItemCount() > 0 && Tree->topLevelItem(0)->childCount() > 0) {
        Tree->topLevelItem(0)->setExpanded(true);
    }
}

void RetrieveDialog::Tree_Expand(QTreeWidgetItem *item) {
    if (!item) {
        return;
    }
    const EntryTag tag = tagOf(item);
    const network::Expansion expansion = network::expansionFor(tag.level);
    if (expansion == network::Expansion::Nothing) {
        return;
    }
    if (expansion == network::Expansion::InvalidLevel) {
        say(network::kInvalidLevel, this);
        return;
    }
    const auto collapse = [this, item] {
        const QSignalBlocker block(Tree);
        item->setExpanded(false);
    };
    if (m_busy || !m_query) {
        collapse(); // one network call at a time; the entry can be opened again afterwards
        return;
    }
    const bool studies = expansion == network::Expansion::Studies;
    network::applyKeys(*m_query, network::expansionKeys(tag));
    std::vector<toolkit::FindResult> results;
    auto query = m_query;
    const QString what = studies ? QStringLiteral("study list") : QStringLiteral("series list");
    const bool ok = waitForPeer(
        QStringLiteral("Querying %1 for the %2").arg(peerName(), what),
        [&] { results = query->find(); },
        [what](int, const QString &text) {
            return QStringLiteral("The %1 could not be retrieved: %2").arg(what, text);
        });
    if (!ok) {
        collapse(); // the placeholder stays, so expanding again queries again
    } else {
        m_lastResults = std::move(results);
        delete item->child(0); // the placeholder
        for (const toolkit::FindResult &result : m_lastResults) {
            const network::QueryRecord r = network::queryRecord(result);
            if (studies) {
                addTreeEntry(item, network::studyChildText(r), tag.child(r.studyUid),
                             network::kSeriesPlaceholder);
            } else {
                addTreeEntry(item, network::seriesText(r), tag.child(r.seriesUid), QString());
            }
        }
        setTag(item, tag.markedLoaded());
    }
    if (m_closeRequested) {
        close();
    }
}

// --- retrieval

void RetrieveDialog::RetrieveNode(bool ToSlice) {
    network::RetrieveTarget *target =
        ToSlice ? network::sliceRetrieveTarget() : network::mainRetrieveTarget();
    if (!target) {
        say(ToSlice ? QStringLiteral("The scout viewer is not available, so nothing can be "
                                     "retrieved into it.")
                    : QStringLiteral("The viewer window is not available, so nothing can be "
                                     "retrieved."),
            this);
        return;
    }
    target->appendTrace(QStringLiteral("start retre 0"));
    if (Tree->topLevelItemCount() == 0 || m_busy || !m_query) {
        return;
    }
    m_target = target; // a running retrieval keeps delivering where it started
    target->showWindow();
    const BusyPointers busy(*target, *this);
    QCoreApplication::processEvents();
    target->appendTrace(QStringLiteral("start retre"));

    const QList<QTreeWidgetItem *> selected = Tree->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    target->appendTrace(QStringLiteral("tree node is selected"));
    const std::optional<network::QueryKeys> keys = network::retrievalKeys(tagOf(selected.first()));
    if (!keys) {
        say(network::kInvalidLevel, this);
        return;
    }
    network::applyKeys(*m_query, *keys);

    target->appendTrace(QStringLiteral("listen"));
    const OptionsValues &o = options();
    const std::optional<int> port = network::portNumber(o.Port);
    if (!port) {
        say(QStringLiteral("The listening port \"%1\" in the options is not a whole number from 1 "
                           "to 65535, so nothing was retrieved.")
                .arg(o.Port),
            this);
        return;
    }
    const bool listening = target->startListening(*port);
    if (o.chkAsync) {
        target->setAsyncReceive(true);
        target->appendTrace(QStringLiteral("async"));
    }

    m_delivered.clear();
    m_added = 0;
    auto query = m_query;
    // Images and progress are posted to this thread as they arrive; the dialog cannot go away
    // while a call runs (closeEvent waits for it), so `this` outlives every posted call.
    query->setImageCallback([this](const std::shared_ptr<toolkit::Image> &image) {
        QMetaObject::invokeMethod(
            this, [this, image] { imageArrived(image); }, Qt::QueuedConnection);
    });
    query->setProgressCallback([this](int received, int expected) {
        QMetaObject::invokeMethod(
            this, [this, received, expected] { showProgress(received, expected); },
            Qt::QueuedConnection);
    });

    std::vector<std::shared_ptr<toolkit::Image>> images;
    const RetrievalMethod method = network::retrievalMethod(o.CGET(), o.S_CMOVE(), o.A_CMOVE());
    const QString from = QStringLiteral("Retrieving from %1").arg(peerName());
    switch (method) {
    case RetrievalMethod::CGet:
        waitForPeer(
            from, [&] { images = query->get(); }, &network::cgetFailureText);
        break;
    case RetrievalMethod::SyncMove:
        query->setMoveDestination(o.MoveDestination);
        query->setReceivePort(*port);
        if (!ToSlice) {
            target->appendTrace(QStringLiteral("not slice sync "));
        }
        target->stopListening();
        waitForPeer(
            from, [&] { images = query->moveSync(); },
            [](int number, const QString &t) {
                return QStringLiteral("C-MOVE failed - error number %1 - %2").arg(number).arg(t);
            });
        restartListener(*port);
        break;
    case RetrievalMethod::AsyncMove:
        if (!listening) {
            say(QStringLiteral("The viewer cannot listen on port %1, so the images of an "
                               "asynchronous C-MOVE would have nowhere to arrive. Nothing was "
                               "requested.")
                    .arg(*port),
                this);
            break;
        }
        query->setMoveDestination(o.MoveDestination);
        waitForPeer(
            from, [&] { query->moveAsync(); },
            [](int number, const QString &t) {
                return QStringLiteral("C-MOVE failed - error number %1 - %2").arg(number).arg(t);
            });
        break;
    case RetrievalMethod::None:
        break;
    }
    query->setImageCallback({});
    query->setProgressCallback({});

    if (method == RetrievalMethod::CGet || method == RetrievalMethod::SyncMove) {
        if (!ToSlice) {
            target->appendTrace(QStringLiteral(" adding images "));
        }
        for (const auto &image : images) {
            imageArrived(image); // those the toolkit did not announce one by one
        }
        if (m_added > 0) {
            target->InitImage();
        }
    }
    emit retrievalFinished(m_added);
    if (m_closeRequested) {
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void RetrieveDialog::imageArrived(const std::shared_ptr<toolkit::Image> &image) {
    network::RetrieveTarget *target = m_target;
    if (!image || !target || !m_delivered.insert(image.get()).second) {
        return;
    }
    target->addRetrievedImage(image, m_added == 0);
    ++m_added;
}

void RetrieveDialog::showProgress(int received, int expected) {
    prgProgress->setRange(0, expected > 0 ? expected : 0);
    if (expected > 0) {
        prgProgress->setValue(std::min(received, expected));
    }
    lblProgress->setText(network::progressText(received, expected));
}

void RetrieveDialog::restartListener(int port) {
    network::RetrieveTarget *target = m_target;
    for (int attempt = 1; attempt <= kListenerRestartAttempts; ++attempt) {
        const bool started = target->startListening(port);
        target->appendTrace(QStringLiteral("listening again"));
        if (started) {
            return;
        }
        if (attempt < kListenerRestartAttempts) {
            pause(kListenerRestartPauseMs); // the move's own receiver may still hold the port
        }
    }
    say(QStringLiteral("The viewer could not listen on port %1 again after the retrieval (%2 "
                       "attempts). Images sent to it will not arrive until listening is started "
                       "again in the options.")
            .arg(port)
            .arg(kListenerRestartAttempts),
        this);
}

bool RetrieveDialog::waitForPeer(const QString &what, const std::function<void()> &call,
                                 const std::function<QString(int, const QString &)> &failureText) {
    m_busy = true;
    Retrieve->setEnabled(false);
    lblProgress->setText(what);
    prgProgress->setRange(0, 0); // busy until the peer says how many
    for (QWidget *w : {static_cast<QWidget *>(lblProgress), static_cast<QWidget *>(prgProgress),
                       static_cast<QWidget *>(cmdCancel)}) {
        w->setVisible(true);
    }
    cmdCancel->setEnabled(true);
    QString failure;
    try {
        network::runInBackground(call);
    } catch (const ToolkitError &e) {
        failure = failureText(e.number(), QString::fromStdString(e.what()));
    } catch (const std::exception &e) {
        failure = failureText(0, QString::fromStdString(e.what()));
    }
    for (QWidget *w : {static_cast<QWidget *>(lblProgress), static_cast<QWidget *>(prgProgress),
                       static_cast<QWidget *>(cmdCancel)}) {
        w->setVisible(false);
    }
    Retrieve->setEnabled(true);
    m_busy = false;
    if (!failure.isEmpty()) {
        say(failure, this);
        return false;
    }
    return true;
}

// --- controls

void RetrieveDialog::Retrieve_Click() {
    try {
        RetrieveNode(false);
    } catch (const std::exception &e) {
        say(QString::fromStdString(e.what()), this);
    }
}

void RetrieveDialog::cmdRetSlice_Click() {
    try {
        if (Tree->topLevelItemCount() == 0) {
            return; // nothing to retrieve: the scout viewer is not opened either
        }
        RetrieveNode(true);
        if (network::RetrieveTarget *scout = network::sliceRetrieveTarget()) {
            scout->showWindow();
        }
    } catch (const std::exception &e) {
        say(QString::fromStdString(e.what()), this);
    }
}

void RetrieveDialog::cmdClose_Click() {
    close();
}

void RetrieveDialog::Reset_Click() {}

void RetrieveDialog::cmdCancel_Click() {
    if (m_busy && m_query) {
        cmdCancel->setEnabled(false);
        lblProgress->setText(QStringLiteral("Cancelling..."));
        m_query->cancel();
    }
}

void RetrieveDialog::Tree_DblClick() {
    Retrieve_Click();
}

void RetrieveDialog::Form_Resize() {
    using component::kTwipsPerPixel;
    const QRect tree(Tree->x() * kTwipsPerPixel, Tree->y() * kTwipsPerPixel,
                     Tree->width() * kTwipsPerPixel, Tree->height() * kTwipsPerPixel);
    // The inner size stands for the outer one, so the tree's lower edge stays in view.
    const QRect r = network::treeRectForSize(size() * kTwipsPerPixel, tree);
    Tree->setGeometry(r.x() / kTwipsPerPixel, r.y() / kTwipsPerPixel, r.width() / kTwipsPerPixel,
                      r.height() / kTwipsPerPixel);
    const int cancelWidth = 80;
    lblProgress->setGeometry(kLeft, kProgressTop, 190, 22);
    prgProgress->setGeometry(kLeft + 194, kProgressTop + 2,
                             std::max(0, width() - kLeft - 194 - cancelWidth - 12), 18);
    cmdCancel->setGeometry(width() - cancelWidth - kLeft, kProgressTop - 2, cancelWidth,
                           kButtonHeight);
}

void RetrieveDialog::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

void RetrieveDialog::showEvent(QShowEvent *event) {
    if (!m_placementRestored) {
        m_placementRestored = true;
        try {
            const auto plan = component::planRestore(settings(), windowTitle());
            if (plan.width || plan.height) {
                resize(plan.width.value_or(width()), plan.height.value_or(height()));
            }
            if (plan.left || plan.top) {
                move(plan.left.value_or(x()), plan.top.value_or(y()));
            }
        } catch (...) {
            // A placement that cannot be restored leaves the dialog where it opens by design.
        }
    }
    QDialog::showEvent(event);
}

void RetrieveDialog::closeEvent(QCloseEvent *event) {
    if (m_busy) {
        // The running call holds this dialog; it is told to stop and the dialog closes after.
        m_closeRequested = true;
        hide();
        if (m_query) {
            m_query->cancel();
        }
        event->ignore();
        return;
    }
    try {
        component::SavedPlacement placement;
        placement.width = width();
        placement.height = height();
        placement.left = x();
        placement.top = y();
        component::savePlacement(settings(), windowTitle(), placement);
    } catch (...) {
        // A placement that cannot be saved is not worth keeping the dialog open for.
    }
    event->accept();
}

// --- the one dialog of the process

namespace {
QPointer<RetrieveDialog> &dialogSlot() {
    static QPointer<RetrieveDialog> dialog;
    return dialog;
}
} // namespace

RetrieveDialog &retrieveDialog() {
    auto &slot = dialogSlot();
    if (!slot) {
        slot = new RetrieveDialog;
    }
    return *slot;
}

bool retrieveDialogExists() {
    return !dialogSlot().isNull();
}

} // namespace ravlen
