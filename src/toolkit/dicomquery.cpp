#include "toolkit/dicomquery.h"

#include "core/errors.h"
#include "toolkit/dcmtkbridge.h"
#include "toolkit/netinternal.h"
#include "toolkit/startup.h"
#include "toolkit/storageserver.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>

#include <QFile>

#include <chrono>
#include <condition_variable>
#include <thread>

namespace ravlen::toolkit {

namespace {

quint32 tagKey(quint16 group, quint16 element) {
    return (quint32(group) << 16) | element;
}

bool isPending(Uint16 status) {
    return status == STATUS_Pending || status == STATUS_FIND_Pending_WarningUnsupportedOptionalKeys;
}

bool isFailure(Uint16 status) {
    // Success, cancel (0xFE00), pending and the warnings (0x0001, 0xB000-0xBFFF) are not.
    return status != STATUS_Success &&
           status != STATUS_FIND_Cancel_MatchingTerminatedDueToCancelRequest &&
           !isPending(status) && status != 0x0001 && (status & 0xF000) != 0xB000;
}

// Return keys asked for at each level when the caller has not set them.
struct ReturnKey {
    DcmTagKey tag;
    int level; // 0 patient, 1 study, 2 series, 3 image
};
const ReturnKey returnKeys[] = {
    {DCM_PatientName, 0},
    {DCM_PatientID, 0},
    {DCM_PatientBirthDate, 0},
    {DCM_PatientSex, 0},
    {DCM_NumberOfPatientRelatedInstances, 0},
    {DCM_StudyInstanceUID, 1},
    {DCM_StudyDate, 1},
    {DCM_StudyTime, 1},
    {DCM_StudyDescription, 1},
    {DCM_StudyID, 1},
    {DCM_AccessionNumber, 1},
    {DCM_ModalitiesInStudy, 1},
    {DCM_NumberOfStudyRelatedInstances, 1},
    {DCM_SeriesInstanceUID, 2},
    {DCM_SeriesDescription, 2},
    {DCM_SeriesNumber, 2},
    {DCM_Modality, 2},
    {DCM_NumberOfSeriesRelatedInstances, 2},
    {DCM_SOPInstanceUID, 3},
    {DCM_SOPClassUID, 3},
    {DCM_InstanceNumber, 3},
};

int levelIndex(const QString &level) {
    const QString l = level.trimmed().toUpper();
    if (l == QLatin1String("PATIENT")) {
        return 0;
    }
    if (l == QLatin1String("SERIES")) {
        return 2;
    }
    if (l == QLatin1String("IMAGE") || l == QLatin1String("INSTANCE")) {
        return 3;
    }
    return 1;
}

const char *levelName(int index) {
    static const char *names[] = {"PATIENT", "STUDY", "SERIES", "IMAGE"};
    return names[index];
}

bool patientRoot(const QString &root) {
    return root.trimmed().toUpper() == QLatin1String("PATIENT");
}

void putKey(DcmDataset &identifier, quint32 key, const QString &value) {
    const DcmTagKey tag(quint16(key >> 16), quint16(key & 0xFFFF));
    // Keys go out in UTF-8; Specific Character Set says so when any is not ASCII.
    identifier.putAndInsertString(tag, value.toUtf8().constData());
}

} // namespace

void FindResult::set(quint16 group, quint16 element, const QString &text) {
    m_values[tagKey(group, element)] = text;
}

bool FindResult::has(quint16 group, quint16 element) const {
    return m_values.count(tagKey(group, element)) != 0;
}

QString FindResult::text(quint16 group, quint16 element) const {
    const auto it = m_values.find(tagKey(group, element));
    return it == m_values.end() ? QString() : it->second;
}

// The running association of one operation, with the DcmSCU callbacks that collect answers,
// images and progress, and the cancel machinery.
struct DicomQuery::Session : public net::Scu {
    Session(DicomQuery &query)
        : net::Scu(query.m_host, query.m_port, query.m_callingAE, query.m_calledAE,
                   query.m_timeouts),
          q(query) {
        setStorageMode(DCMSCU_STORAGE_BIT_PRESERVING);
        setStorageDir(net::receiveFolder().toStdString().c_str());
        std::lock_guard<std::mutex> lock(q.m_sessionMutex);
        q.m_session = this;
        q.m_cancelRequested = false;
        q.m_cancelled = false;
    }

    ~Session() override {
        {
            std::lock_guard<std::mutex> lock(q.m_sessionMutex);
            q.m_session = nullptr;
        }
        stopWatchdog();
    }

    // --- C-FIND
    OFCondition handleFINDResponse(const T_ASC_PresentationContextID presID, QRResponse *response,
                                   OFBool &waitForNext) override {
        lastStatus = response->m_status;
        if (isPending(response->m_status) && response->m_dataset) {
            results.push_back(toResult(*response->m_dataset));
        }
        cancelIfAsked(presID);
        waitForNext = isPending(response->m_status);
        return EC_Normal;
    }

    // --- C-GET and C-MOVE responses
    OFCondition handleCGETResponse(const T_ASC_PresentationContextID presID,
                                   RetrieveResponse *response, OFBool &continueSession) override {
        takeCounts(*response);
        cancelIfAsked(presID);
        continueSession = isPending(response->m_status);
        return EC_Normal;
    }

    OFCondition handleMOVEResponse(const T_ASC_PresentationContextID presID,
                                   RetrieveResponse *response, OFBool &waitForNext) override {
        takeCounts(*response);
        cancelIfAsked(presID);
        waitForNext = isPending(response->m_status);
        return EC_Normal;
    }

    // The sub-operations of a C-GET: received bit for bit into a name of ours (never the
    // peer's SOP Instance UID), pre-scanned, then parsed.
    OFCondition handleSTORERequestFile(T_ASC_PresentationContextID *presID, const OFString &,
                                       T_DIMSE_C_StoreRQ *request) override {
        if (cancelSent) {
            // The peer goes on after our C-CANCEL: end the session (the association is
            // aborted afterwards) instead of taking images nobody wants any more.
            return makeOFCondition(OFM_dcmnet, 1406, OF_error, "cancelled");
        }
        const QString path = net::freshReceiveName();
        OFCondition cond =
            DcmSCU::handleSTORERequestFile(presID, path.toStdString().c_str(), request);
        if (cond.bad()) {
            QFile::remove(path);
            return cond;
        }
        try {
            arrived(net::imageFromReceivedFile(path, maxBytes,
                                               QStringLiteral("image from %1").arg(peer())));
        } catch (const ToolkitError &error) {
            refused = QString::fromStdString(error.what());
            return makeOFCondition(OFM_dcmnet, 1410, OF_error, error.what());
        }
        cancelIfAsked(operationPresID);
        return EC_Normal;
    }

    void arrived(const std::shared_ptr<Image> &image) {
        // moveSync() receives on the listener's threads: the callbacks still run one at a time.
        std::lock_guard<std::recursive_mutex> serial(callbackMutex);
        {
            std::lock_guard<std::mutex> lock(imagesMutex);
            q.m_images.push_back(image);
            ++received;
        }
        if (q.m_imageArrived) {
            q.m_imageArrived(image);
        }
        reportProgress();
    }

    void takeCounts(const RetrieveResponse &response) {
        lastStatus = response.m_status;
        completed = response.m_numberOfCompletedSubops;
        failed = response.m_numberOfFailedSubops;
        warning = response.m_numberOfWarningSubops;
        if (isPending(response.m_status)) {
            const int total =
                int(response.m_numberOfRemainingSubops) + int(response.m_numberOfCompletedSubops) +
                int(response.m_numberOfFailedSubops) + int(response.m_numberOfWarningSubops);
            if (total > 0) {
                expected = total;
            }
        }
        reportProgress();
    }

    void reportProgress() {
        std::lock_guard<std::recursive_mutex> serial(callbackMutex);
        if (q.m_progress) {
            int got = 0;
            {
                std::lock_guard<std::mutex> lock(imagesMutex);
                got = received;
            }
            q.m_progress(got, expected > 0 ? expected : q.m_expectedFallback);
        }
    }

    // Sends C-CANCEL once, from the operation's own thread (the only one that may use the
    // association), and arms the watchdog that cuts the connection if the peer does not end
    // the operation soon.
    void cancelIfAsked(T_ASC_PresentationContextID presID) {
        if (q.m_cancelRequested && !cancelSent && presID != 0) {
            cancelSent = true;
            q.m_cancelled = true;
            sendCANCELRequest(presID);
        }
    }

    // Called by DicomQuery::cancel() on another thread.
    void requestCancel() {
        std::lock_guard<std::mutex> lock(watchMutex);
        if (watchdog.joinable()) {
            return;
        }
        watchdog = std::thread([this] {
            std::unique_lock<std::mutex> lock(watchMutex);
            // A living peer answers the C-CANCEL (sent at the next message) well within this;
            // a frozen one is cut off so the operation returns what it has.
            if (!watchDone.wait_for(lock, std::chrono::milliseconds(1000),
                                    [this] { return finished; })) {
                q.m_cancelled = true;
                cut();
            }
        });
    }

    void stopWatchdog() {
        {
            std::lock_guard<std::mutex> lock(watchMutex);
            finished = true;
        }
        watchDone.notify_all();
        if (watchdog.joinable()) {
            watchdog.join();
        }
    }

    FindResult toResult(DcmDataset &dataset) {
        FindResult result;
        const bridge::TextDecoder decoder(bridge::characterSetOf(dataset));
        for (unsigned long i = 0; i < dataset.card(); ++i) {
            DcmElement *element = dataset.getElement(i);
            if (!element || element->ident() == EVR_SQ) {
                continue;
            }
            const DcmTag &tag = element->getTag();
            if (tag.getGTag() == 0x0008 && tag.getETag() == 0x0005) {
                continue; // the character set is applied, not passed on
            }
            OFString value;
            element->getOFStringArray(value);
            QString text;
            if (bridge::isTextVr(element->getTag().getEVR())) {
                text = decoder.decode(value.c_str(), value.length(), "\\");
            } else {
                text = QString::fromLatin1(value.c_str());
            }
            while (text.endsWith(QLatin1Char(' ')) || text.endsWith(QChar(0))) {
                text.chop(1);
            }
            result.set(tag.getGTag(), tag.getETag(), text);
        }
        return result;
    }

    DicomQuery &q;
    std::vector<FindResult> results;
    Uint16 lastStatus = 0xFFFF;
    bool cancelSent = false;
    T_ASC_PresentationContextID operationPresID = 0;
    int expected = 0;
    int completed = 0;
    int failed = 0;
    int warning = 0;
    qint64 maxBytes = 2ll * 1024 * 1024 * 1024;
    QString refused;

    std::mutex imagesMutex;
    std::recursive_mutex callbackMutex;
    int received = 0;

    std::mutex watchMutex;
    std::condition_variable watchDone;
    std::thread watchdog;
    bool finished = false;
};

DicomQuery::DicomQuery() = default;
DicomQuery::~DicomQuery() = default;

void DicomQuery::setKey(quint16 group, quint16 element, const QString &value) {
    m_keys[tagKey(group, element)] = value;
}

QString DicomQuery::key(quint16 group, quint16 element) const {
    const auto it = m_keys.find(tagKey(group, element));
    return it == m_keys.end() ? QString() : it->second;
}

bool DicomQuery::hasKey(quint16 group, quint16 element) const {
    return m_keys.count(tagKey(group, element)) != 0;
}

void DicomQuery::removeKey(quint16 group, quint16 element) {
    m_keys.erase(tagKey(group, element));
}

namespace {

void addQueryContext(net::Scu &scu, const char *abstractSyntax) {
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    scu.addPresentationContext(abstractSyntax, syntaxes);
}

DcmDataset findIdentifier(const std::map<quint32, QString> &keys, int level) {
    DcmDataset identifier;
    identifier.putAndInsertString(DCM_QueryRetrieveLevel, levelName(level));
    bool nonAscii = false;
    for (const auto &[key, value] : keys) {
        putKey(identifier, key, value);
        for (QChar c : value) {
            nonAscii = nonAscii || c.unicode() > 127;
        }
    }
    for (const ReturnKey &rk : returnKeys) {
        if (rk.level <= level && !identifier.tagExists(rk.tag)) {
            identifier.insertEmptyElement(rk.tag);
        }
    }
    if (nonAscii) {
        identifier.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");
    }
    return identifier;
}

// Retrieves carry only the unique keys down to the level.
DcmDataset retrieveIdentifier(const std::map<quint32, QString> &keys, int level) {
    DcmDataset identifier;
    identifier.putAndInsertString(DCM_QueryRetrieveLevel, levelName(level));
    const DcmTagKey unique[] = {DCM_PatientID, DCM_StudyInstanceUID, DCM_SeriesInstanceUID,
                                DCM_SOPInstanceUID};
    for (int l = 0; l <= level; ++l) {
        const auto it = keys.find(tagKey(unique[l].getGroup(), unique[l].getElement()));
        const QString value = it == keys.end() ? QString() : it->second;
        // Study root has no patient level; an empty key above the level says nothing.
        if (!value.isEmpty() || l == level) {
            identifier.putAndInsertString(unique[l], value.toUtf8().constData());
        }
    }
    return identifier;
}

} // namespace

std::vector<FindResult> DicomQuery::find() {
    ensureToolkit();
    Session session(*this);
    const char *model = patientRoot(m_root) ? UID_FINDPatientRootQueryRetrieveInformationModel
                                            : UID_FINDStudyRootQueryRetrieveInformationModel;
    addQueryContext(session, model);
    session.open();
    const T_ASC_PresentationContextID presID = session.findPresentationContextID(model, "");
    if (presID == 0) {
        throw ToolkitError(errc::NoContext,
                           QStringLiteral("%1 does not accept C-FIND in the %2 root")
                               .arg(session.peer(), patientRoot(m_root) ? "patient" : "study")
                               .toStdString());
    }
    session.operationPresID = presID;
    DcmDataset identifier = findIdentifier(m_keys, levelIndex(m_level));
    const OFCondition cond = session.sendFINDRequest(presID, &identifier, nullptr);
    if (cond.bad()) {
        if (m_cancelled) {
            session.close(true);
            return std::move(session.results);
        }
        session.close(true);
        session.failExchange(cond, QStringLiteral("the query"));
    }
    session.close(false);
    if (isFailure(session.lastStatus)) {
        throw ToolkitError(errc::PeerFailure,
                           QStringLiteral("%1 refused the query with status %2 (%3)")
                               .arg(session.peer(), net::hexStatus(session.lastStatus),
                                    QString::fromLatin1(DU_cfindStatusString(session.lastStatus)))
                               .toStdString());
    }
    return std::move(session.results);
}

std::vector<std::shared_ptr<Image>> DicomQuery::get() {
    ensureToolkit();
    m_images.clear();
    Session session(*this);
    const char *model = patientRoot(m_root) ? UID_GETPatientRootQueryRetrieveInformationModel
                                            : UID_GETStudyRootQueryRetrieveInformationModel;
    // The C-GET context first: DcmSCU drops contexts past 128 without failing.
    addQueryContext(session, model);
    net::addRetrieveStorageContexts(session);
    const QString refusal =
        QStringLiteral("%1 accepts no C-GET request (it offers no C-GET presentation context)");
    try {
        session.open();
    } catch (const ToolkitError &error) {
        if (error.number() == errc::NoContext) {
            throw ToolkitError(errc::NoGetContext, refusal.arg(session.peer()).toStdString());
        }
        throw;
    }
    const T_ASC_PresentationContextID presID = session.findPresentationContextID(model, "");
    if (presID == 0) {
        session.close(false);
        throw ToolkitError(errc::NoGetContext, refusal.arg(session.peer()).toStdString());
    }
    session.operationPresID = presID;
    DcmDataset identifier = retrieveIdentifier(m_keys, levelIndex(m_level));
    const OFCondition cond = session.sendCGETRequest(presID, &identifier, nullptr);
    // sendCGETRequest reports a good condition for a failed or cancelled retrieve: the status
    // of the last response says how it ended.
    if (!m_cancelled && !session.refused.isEmpty()) {
        // DCMTK ends the C-GET after an image we refuse; the images before it stay.
        session.close(true);
        throw ToolkitError(errc::RefusedDataSet,
                           QStringLiteral("%1 (the C-GET ended after %2 images)")
                               .arg(session.refused)
                               .arg(m_images.size())
                               .toStdString());
    }
    if (cond.bad() && !m_cancelled) {
        session.close(true);
        session.failExchange(cond, QStringLiteral("C-GET after %1 images").arg(m_images.size()));
    }
    if (!m_cancelled && isPending(session.lastStatus)) {
        session.close(true);
        throw ToolkitError(
            errc::NetworkDropped,
            QStringLiteral("%1 ended the C-GET without a final answer after %2 images")
                .arg(session.peer())
                .arg(m_images.size())
                .toStdString());
    }
    session.close(cond.bad() || m_cancelled);
    if (!m_cancelled && isFailure(session.lastStatus)) {
        throw ToolkitError(errc::PeerFailure,
                           QStringLiteral("%1 ended the C-GET with status %2 (%3): %4 images "
                                          "received, %5 failed")
                               .arg(session.peer(), net::hexStatus(session.lastStatus),
                                    QString::fromLatin1(DU_cgetStatusString(session.lastStatus)))
                               .arg(m_images.size())
                               .arg(session.failed)
                               .toStdString());
    }
    return m_images;
}

namespace {

// Runs a C-MOVE on an open session; returns the final status.
void runMove(DicomQuery::Session &session, const char *model, const QString &destination,
             const std::map<quint32, QString> &keys, int level, bool cancelled) {
    const T_ASC_PresentationContextID presID = session.findPresentationContextID(model, "");
    if (presID == 0) {
        session.close(false);
        throw ToolkitError(
            errc::NoContext,
            QStringLiteral("%1 does not accept C-MOVE requests").arg(session.peer()).toStdString());
    }
    session.operationPresID = presID;
    DcmDataset identifier = retrieveIdentifier(keys, level);
    const OFCondition cond = session.sendMOVERequest(
        presID, destination.trimmed().toStdString().c_str(), &identifier, nullptr);
    if (cond.bad() && !cancelled) {
        session.close(true);
        session.failExchange(cond, QStringLiteral("C-MOVE to %1").arg(destination));
    }
    session.close(cond.bad());
}

} // namespace

std::vector<std::shared_ptr<Image>> DicomQuery::moveSync() {
    ensureToolkit();
    m_images.clear();
    Session session(*this);
    // Our own receiver on the receive port for the length of the move.
    net::StorageServer::Handlers handlers;
    handlers.received = [&session](ReceivedImage &&received) { session.arrived(received.image); };
    net::StorageServer server(std::move(handlers), m_timeouts, session.maxBytes);
    QString error;
    if (!server.start(m_receivePort, &error)) {
        throw ToolkitError(errc::ListenerPort,
                           QStringLiteral("Cannot receive the images of a C-MOVE from %1: %2")
                               .arg(session.peer(), error)
                               .toStdString());
    }
    const char *model = patientRoot(m_root) ? UID_MOVEPatientRootQueryRetrieveInformationModel
                                            : UID_MOVEStudyRootQueryRetrieveInformationModel;
    addQueryContext(session, model);
    try {
        session.open();
        runMove(session, model, m_moveDestination, m_keys, levelIndex(m_level), m_cancelled);
    } catch (...) {
        server.stop();
        server.cutAll();
        server.waitIdle();
        throw;
    }
    // Orthanc closes its own association after the final response; wait for the last image.
    server.stop();
    if (m_cancelled) {
        server.cutAll();
    }
    server.waitIdle();
    if (!m_cancelled && isFailure(session.lastStatus)) {
        throw ToolkitError(errc::PeerFailure,
                           QStringLiteral("%1 ended the C-MOVE to %2 with status %3 (%4): %5 "
                                          "images received, %6 failed")
                               .arg(session.peer(), m_moveDestination,
                                    net::hexStatus(session.lastStatus),
                                    QString::fromLatin1(DU_cmoveStatusString(session.lastStatus)))
                               .arg(m_images.size())
                               .arg(session.failed)
                               .toStdString());
    }
    return m_images;
}

MoveOutcome DicomQuery::moveAsync() {
    ensureToolkit();
    Session session(*this);
    const char *model = patientRoot(m_root) ? UID_MOVEPatientRootQueryRetrieveInformationModel
                                            : UID_MOVEStudyRootQueryRetrieveInformationModel;
    addQueryContext(session, model);
    session.open();
    runMove(session, model, m_moveDestination, m_keys, levelIndex(m_level), m_cancelled);
    if (!m_cancelled && isFailure(session.lastStatus)) {
        throw ToolkitError(errc::PeerFailure,
                           QStringLiteral("%1 ended the C-MOVE to %2 with status %3 (%4)")
                               .arg(session.peer(), m_moveDestination,
                                    net::hexStatus(session.lastStatus),
                                    QString::fromLatin1(DU_cmoveStatusString(session.lastStatus)))
                               .toStdString());
    }
    MoveOutcome outcome;
    outcome.completed = session.completed;
    outcome.failed = session.failed;
    outcome.warning = session.warning;
    outcome.cancelled = m_cancelled;
    return outcome;
}

void DicomQuery::cancel() {
    m_cancelRequested = true;
    std::lock_guard<std::mutex> lock(m_sessionMutex);
    if (m_session) {
        m_session->requestCancel();
    }
}

} // namespace ravlen::toolkit
