#include "toolkit/netinternal.h"

#include "core/errors.h"

#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/dul.h>

#include <QDir>
#include <QFile>

#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace ravlen::toolkit::net {

DcmTransportConnection *TrackingTransport::createConnection(DcmNativeSocketType openSocket,
                                                            OFBool /*useSecureLayer*/) {
    // Always plain TCP: the layer is installed only to learn the socket.
    m_socket = int(openSocket);
    return new DcmTCPConnection(openSocket);
}

void TrackingTransport::shutdownConnection() {
    const int socket = m_socket.load();
    if (socket >= 0) {
        ::shutdown(socket, SHUT_RDWR);
    }
}

QString peerName(const QString &calledAE, const QString &host, int port) {
    return QStringLiteral("%1 at %2:%3").arg(calledAE.trimmed(), host).arg(port);
}

void checkPeer(const QString &host, int port, const QString &calledAE) {
    if (port < 1 || port > 65535) {
        throw ToolkitError(errc::BadArgument, QStringLiteral("%1: the port %2 is not a TCP port")
                                                  .arg(peerName(calledAE, host, port))
                                                  .arg(port)
                                                  .toStdString());
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int rc = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        throw ToolkitError(errc::UnknownHost, QStringLiteral("%1: the host \"%2\" is unknown (%3)")
                                                  .arg(peerName(calledAE, host, port), host,
                                                       QString::fromLocal8Bit(::gai_strerror(rc)))
                                                  .toStdString());
    }
    ::freeaddrinfo(found);
}

NetworkTimeouts clamped(const NetworkTimeouts &t) {
    NetworkTimeouts c = t;
    c.connectSeconds = std::max(1, c.connectSeconds);
    c.associationSeconds = std::max(1, c.associationSeconds);
    c.dimseSeconds = std::max(1, c.dimseSeconds);
    return c;
}

namespace {

bool isTimeout(const OFCondition &cond) {
    if (cond == DIMSE_NODATAAVAILABLE || cond == DUL_READTIMEOUT) {
        return true;
    }
    const QString text = QString::fromLatin1(cond.text()).toLower();
    return text.contains(QLatin1String("timeout")) || text.contains(QLatin1String("timed out"));
}

} // namespace

Scu::Scu(const QString &host, int port, const QString &callingAE, const QString &calledAE,
         const NetworkTimeouts &timeouts)
    : m_host(host), m_port(port), m_peer(peerName(calledAE, host, port)),
      m_timeouts(clamped(timeouts)) {
    setAETitle(callingAE.trimmed().toStdString().c_str());
    setPeerAETitle(calledAE.trimmed().toStdString().c_str());
    setPeerHostName(host.toStdString().c_str());
    setPeerPort(Uint16(port > 0 && port < 65536 ? port : 0));
    setConnectionTimeout(m_timeouts.connectSeconds);
    setACSETimeout(Uint32(m_timeouts.associationSeconds));
    setDIMSETimeout(Uint32(m_timeouts.dimseSeconds));
    setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    setMaxReceivePDULength(ASC_MAXIMUMPDUSIZE);
}

Scu::~Scu() {
    close(true);
    freeNetwork();
}

void Scu::open() {
    checkPeer(m_host, m_port, getPeerAETitle().c_str());
    // The connect time-out is process-wide in DCMTK; every association sets its own.
    dcmConnectionTimeout.set(m_timeouts.connectSeconds);
    OFCondition cond = initNetwork();
    if (cond.good()) {
        cond = useSecureConnection(&m_transport);
    }
    if (cond.bad()) {
        throw ToolkitError(errc::NetworkRefused,
                           QStringLiteral("%1: the network cannot be set up: %2")
                               .arg(m_peer, QString::fromLatin1(cond.text()))
                               .toStdString());
    }
    cond = negotiateAssociation();
    if (cond.good()) {
        return;
    }
    const QString text = QString::fromLatin1(cond.text());
    if (cond == NET_EC_NoAcceptablePresentationContexts) {
        throw ToolkitError(errc::NoContext,
                           QStringLiteral("%1 accepts none of the presentation contexts proposed")
                               .arg(m_peer)
                               .toStdString());
    }
    if (isTimeout(cond)) {
        throw ToolkitError(errc::NetworkTimeout,
                           QStringLiteral("%1 did not answer the association request within %2 s")
                               .arg(m_peer)
                               .arg(m_timeouts.connectSeconds + m_timeouts.associationSeconds)
                               .toStdString());
    }
    if (text.contains(QLatin1String("refused"), Qt::CaseInsensitive)) {
        throw ToolkitError(
            errc::NetworkRefused,
            QStringLiteral("%1 refused the connection (nothing listens on that port)")
                .arg(m_peer)
                .toStdString());
    }
    if (cond == DUL_ASSOCIATIONREJECTED ||
        text.contains(QLatin1String("reject"), Qt::CaseInsensitive)) {
        throw ToolkitError(errc::NetworkRefused,
                           QStringLiteral("%1 rejected the association (check the AE titles): %2")
                               .arg(m_peer, text)
                               .toStdString());
    }
    throw ToolkitError(
        errc::NetworkRefused,
        QStringLiteral("%1: the association failed: %2").arg(m_peer, text).toStdString());
}

void Scu::close(bool abort) {
    if (isConnected()) {
        if (abort) {
            // DCMTK waits for the peer to close after an A-ABORT, up to the association
            // time-out; a frozen peer never does, so the connection is cut first.
            cut();
            abortAssociation();
        } else {
            releaseAssociation();
        }
    }
    m_transport.forget();
}

void Scu::cut() {
    m_transport.shutdownConnection();
}

void Scu::failExchange(const OFCondition &cond, const QString &what) const {
    if (isTimeout(cond)) {
        throw ToolkitError(errc::NetworkTimeout,
                           QStringLiteral("%1 stopped answering during %2 (no message for %3 s)")
                               .arg(m_peer, what)
                               .arg(m_timeouts.dimseSeconds)
                               .toStdString());
    }
    throw ToolkitError(errc::NetworkDropped,
                       QStringLiteral("%1 dropped the association during %2: %3")
                           .arg(m_peer, what, QString::fromLatin1(cond.text()))
                           .toStdString());
}

const std::vector<std::string> &uncompressedSyntaxes() {
    static const std::vector<std::string> list = {UID_LittleEndianExplicitTransferSyntax,
                                                  UID_LittleEndianImplicitTransferSyntax,
                                                  UID_BigEndianExplicitTransferSyntax};
    return list;
}

const std::vector<std::string> &compressedSyntaxes() {
    static const std::vector<std::string> list = {
        UID_JPEGProcess14SV1TransferSyntax,     UID_JPEGProcess1TransferSyntax,
        UID_JPEGProcess2_4TransferSyntax,       UID_JPEGProcess14TransferSyntax,
        UID_JPEGLSLosslessTransferSyntax,       UID_JPEGLSLossyTransferSyntax,
        UID_JPEG2000LosslessOnlyTransferSyntax, UID_JPEG2000TransferSyntax,
        UID_RLELosslessTransferSyntax,          UID_DeflatedExplicitVRLittleEndianTransferSyntax};
    return list;
}

const std::vector<std::string> &retrieveImageClasses() {
    static const std::vector<std::string> list = {
        UID_CTImageStorage,
        UID_MRImageStorage,
        UID_ComputedRadiographyImageStorage,
        UID_DigitalXRayImageStorageForPresentation,
        UID_DigitalMammographyXRayImageStorageForPresentation,
        UID_UltrasoundImageStorage,
        UID_UltrasoundMultiframeImageStorage,
        UID_NuclearMedicineImageStorage,
        UID_PositronEmissionTomographyImageStorage,
        UID_XRayAngiographicImageStorage,
        UID_XRayRadiofluoroscopicImageStorage,
        UID_SecondaryCaptureImageStorage,
    };
    return list;
}

const std::vector<std::string> &retrieveOtherClasses() {
    static const std::vector<std::string> list = {
        UID_EnhancedCTImageStorage,
        UID_EnhancedMRImageStorage,
        UID_DigitalXRayImageStorageForProcessing,
        UID_DigitalMammographyXRayImageStorageForProcessing,
        UID_EnhancedXAImageStorage,
        UID_EnhancedXRFImageStorage,
        UID_EnhancedPETImageStorage,
        UID_BreastTomosynthesisImageStorage,
        UID_MultiframeGrayscaleByteSecondaryCaptureImageStorage,
        UID_MultiframeGrayscaleWordSecondaryCaptureImageStorage,
        UID_MultiframeTrueColorSecondaryCaptureImageStorage,
        UID_MultiframeSingleBitSecondaryCaptureImageStorage,
        UID_VLPhotographicImageStorage,
        UID_VLEndoscopicImageStorage,
        UID_OphthalmicPhotography8BitImageStorage,
        UID_RTImageStorage,
        UID_RTDoseStorage,
        UID_RTStructureSetStorage,
        UID_RTPlanStorage,
        UID_RTIonPlanStorage,
        UID_RTBeamsTreatmentRecordStorage,
        UID_BasicTextSRStorage,
        UID_EnhancedSRStorage,
        UID_ComprehensiveSRStorage,
        UID_KeyObjectSelectionDocumentStorage,
        UID_XRayRadiationDoseSRStorage,
        UID_GrayscaleSoftcopyPresentationStateStorage,
        UID_EncapsulatedPDFStorage,
        UID_SegmentationStorage,
        UID_SpatialRegistrationStorage,
        UID_RawDataStorage,
        UID_MRSpectroscopyStorage,
    };
    return list;
}

void addRetrieveStorageContexts(DcmSCU &scu) {
    OFList<OFString> uncompressed;
    for (const std::string &ts : uncompressedSyntaxes()) {
        uncompressed.push_back(ts.c_str());
    }
    // Families of compressed syntaxes, one context each: a peer picks one syntax per context
    // and, where it cannot transcode (JPEG 2000 in Orthanc), would otherwise fail the image.
    const std::vector<std::vector<std::string>> families = {
        {UID_JPEGProcess14SV1TransferSyntax, UID_JPEGProcess14TransferSyntax},
        {UID_JPEGProcess1TransferSyntax, UID_JPEGProcess2_4TransferSyntax},
        {UID_JPEGLSLosslessTransferSyntax, UID_JPEGLSLossyTransferSyntax},
        {UID_JPEG2000LosslessOnlyTransferSyntax},
        {UID_JPEG2000TransferSyntax},
        {UID_RLELosslessTransferSyntax}};
    for (const std::string &sopClass : retrieveImageClasses()) {
        scu.addPresentationContext(sopClass.c_str(), uncompressed, ASC_SC_ROLE_SCP);
        for (const auto &family : families) {
            OFList<OFString> syntaxes;
            for (const std::string &ts : family) {
                syntaxes.push_back(ts.c_str());
            }
            scu.addPresentationContext(sopClass.c_str(), syntaxes, ASC_SC_ROLE_SCP);
        }
    }
    for (const std::string &sopClass : retrieveOtherClasses()) {
        scu.addPresentationContext(sopClass.c_str(), uncompressed, ASC_SC_ROLE_SCP);
    }
}

QString receiveFolder() {
    static std::once_flag once;
    static QString folder;
    std::call_once(once, [] {
        QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/ravlen-rx.XXXXXX";
        if (char *made = ::mkdtemp(pattern.data())) {
            folder = QString::fromLocal8Bit(made);
            // Files leave it as soon as they are read; the empty folder goes with the process.
            std::atexit([] { ::rmdir(folder.toLocal8Bit().constData()); });
        } else {
            folder = QDir::tempPath();
        }
    });
    return folder;
}

QString freshReceiveName() {
    static std::atomic<unsigned long long> counter{0};
    return QStringLiteral("%1/rx-%2-%3.part").arg(receiveFolder()).arg(::getpid()).arg(++counter);
}

std::shared_ptr<Image> imageFromReceivedFile(const QString &path, qint64 maxBytes,
                                             const QString &sourceName) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QFile::remove(path);
        throw ToolkitError(
            errc::FileAccess,
            QStringLiteral("%1: the received data cannot be read").arg(sourceName).toStdString());
    }
    if (file.size() > maxBytes) {
        file.close();
        QFile::remove(path);
        throw ToolkitError(errc::RefusedDataSet,
                           QStringLiteral("%1: the data set of %2 bytes exceeds the limit of %3")
                               .arg(sourceName)
                               .arg(file.size())
                               .arg(maxBytes)
                               .toStdString());
    }
    const QByteArray bytes = file.readAll();
    file.close();
    QFile::remove(path);
    try {
        // fromBytes pre-scans before DCMTK parses anything.
        return Image::fromBytes(bytes, sourceName);
    } catch (const ToolkitError &error) {
        throw ToolkitError(errc::RefusedDataSet, error.what());
    }
}

QString hexStatus(unsigned status) {
    return QStringLiteral("0x%1")
        .arg(status, 4, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

} // namespace ravlen::toolkit::net
