#include "toolkit/netops.h"

#include "core/errors.h"
#include "toolkit/imagedata.h"
#include "toolkit/netinternal.h"
#include "toolkit/startup.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmnet/diutil.h>

namespace ravlen::toolkit {

namespace {

int fromError(const ToolkitError &error, QString *detail) {
    if (detail) {
        *detail = QString::fromStdString(error.what());
    }
    return error.number();
}

void addSyntaxes(net::Scu &scu, const char *sopClass, const std::vector<std::string> &syntaxes) {
    OFList<OFString> list;
    for (const std::string &ts : syntaxes) {
        list.push_back(ts.c_str());
    }
    scu.addPresentationContext(sopClass, list);
}

} // namespace

int verifyEcho(const QString &host, int port, const QString &callingAE, const QString &calledAE,
               const NetworkTimeouts &timeouts, QString *detail) {
    try {
        ensureToolkit();
        net::Scu scu(host, port, callingAE, calledAE, timeouts);
        addSyntaxes(scu, UID_VerificationSOPClass, net::uncompressedSyntaxes());
        scu.open();
        const OFCondition cond = scu.sendECHORequest(0);
        if (cond.bad()) {
            scu.close(true);
            scu.failExchange(cond, QStringLiteral("the verification echo"));
        }
        scu.close(false);
        if (detail) {
            *detail = QStringLiteral("%1 answered the verification echo").arg(scu.peer());
        }
        return StatusSuccess;
    } catch (const ToolkitError &error) {
        return fromError(error, detail);
    }
}

int sendImage(const Image &image, const QString &host, int port, const QString &callingAE,
              const QString &calledAE, const NetworkTimeouts &timeouts, QString *detail) {
    try {
        ensureToolkit();
        if (!image.data().file) {
            throw ToolkitError(errc::NothingToSend, "There is no image to send");
        }
        std::unique_ptr<DcmFileFormat> file = image.data().copyFile();
        DcmDataset *dataset = file->getDataset();
        OFString sopClass;
        dataset->findAndGetOFString(DCM_SOPClassUID, sopClass);
        if (sopClass.empty()) {
            throw ToolkitError(errc::NothingToSend,
                               "The image has no SOP Class UID and cannot be sent");
        }
        const E_TransferSyntax original = dataset->getOriginalXfer();
        const DcmXfer originalXfer(original);
        net::Scu scu(host, port, callingAE, calledAE, timeouts);
        if (originalXfer.isEncapsulated()) {
            addSyntaxes(scu, sopClass.c_str(), {originalXfer.getXferID()});
        }
        addSyntaxes(scu, sopClass.c_str(), net::uncompressedSyntaxes());
        try {
            scu.open();
        } catch (const ToolkitError &error) {
            if (error.number() != errc::NoContext) {
                throw;
            }
            throw ToolkitError(errc::NoContext,
                               QStringLiteral("%1 does not accept images of SOP class %2")
                                   .arg(scu.peer(), QString::fromLatin1(sopClass.c_str()))
                                   .toStdString());
        }
        const T_ASC_PresentationContextID presID =
            scu.findAnyPresentationContextID(sopClass, originalXfer.getXferID());
        const DcmXfer accepted(scu.acceptedSyntax(presID).c_str());
        if (presID == 0 || (accepted.getXfer() != original &&
                            dataset->chooseRepresentation(accepted.getXfer(), nullptr).bad())) {
            scu.close(false);
            throw ToolkitError(
                errc::NoContext,
                QStringLiteral("%1 accepts no transfer syntax the image can be sent in")
                    .arg(scu.peer())
                    .toStdString());
        }
        Uint16 status = 0;
        const OFCondition cond = scu.sendSTORERequest(presID, "", dataset, status);
        if (cond.bad()) {
            scu.close(true);
            scu.failExchange(cond, QStringLiteral("the C-STORE"));
        }
        scu.close(false);
        if (detail) {
            *detail = status == 0 ? QStringLiteral("%1 stored the image").arg(scu.peer())
                                  : QStringLiteral("%1 answered the C-STORE with status %2 (%3)")
                                        .arg(scu.peer(), net::hexStatus(status),
                                             QString::fromLatin1(DU_cstoreStatusString(status)));
        }
        return status;
    } catch (const ToolkitError &error) {
        return fromError(error, detail);
    }
}

QString statusText(int status, const QString &host, int port) {
    const QString where =
        host.isEmpty() ? QString() : QStringLiteral(" (%1:%2)").arg(host).arg(port);
    switch (status) {
    case StatusSuccess:
        return QStringLiteral("success");
    case errc::BadArgument:
        return QStringLiteral("the port is not a TCP port") + where;
    case errc::NetworkRefused:
        return QStringLiteral("the peer refused the connection or the association") + where;
    case errc::NetworkTimeout:
        return QStringLiteral("the peer did not answer in time") + where;
    case errc::NetworkDropped:
        return QStringLiteral("the peer dropped the association") + where;
    case errc::NoContext:
        return QStringLiteral("the peer does not accept this kind of object") + where;
    case errc::UnknownHost:
        return QStringLiteral("unknown host") + where;
    case errc::NothingToSend:
        return QStringLiteral("there is no image to send");
    default:
        break;
    }
    if (status > 0 && status <= 0xFFFF && (status < 1000 || status >= 0xA000)) {
        return QStringLiteral("peer status %1 (%2)")
                   .arg(net::hexStatus(unsigned(status)),
                        QString::fromLatin1(DU_cstoreStatusString(Uint16(status)))) +
               where;
    }
    return QStringLiteral("failure %1").arg(status) + where;
}

} // namespace ravlen::toolkit
