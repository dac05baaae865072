#include "toolkit/startup.h"

#include "core/errors.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dctag.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/dcmjpls/djencode.h>
#include <dcmtk/oflog/oflog.h>

#include <cstdlib>
#include <mutex>

namespace ravlen::toolkit {

namespace {

// DCMTK turns Nagle's algorithm off only when TCP_NODELAY is set; with it on, every C-STORE of
// a retrieve waits for a delayed acknowledgement and a study takes thirty times longer. Set
// while the library loads, before any thread of ours or of the host can read the environment.
const bool tcpNoDelaySet = [] { return ::setenv("TCP_NODELAY", "1", 1) == 0; }();

void registerCodecs() {
    // DCMTK's own start-up log lines would otherwise reach the terminal of every program that
    // merely opens a file; the log settings switch it on when the user asks.
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);

    DJDecoderRegistration::registerCodecs();
    // Lossy encodings keep the instance UID the caller chose: generated studies must be
    // reproducible, and the export path decides itself whether an image gets a new identity.
    // Lossy encodings keep the stored values' meaning: DCMTK's default shifts them to the
    // range actually used without saying so in the data set.
    DJEncoderRegistration::registerCodecs(
        ECC_lossyYCbCr, EUC_never, OFFalse, 0, 0, 0, OFTrue, ESS_422, OFTrue, OFFalse, 0, 0, 0.0,
        0.0, 0, 0, 0, 0, OFFalse /* use pixel values */, OFTrue /* use the modality rescale */);
    DJLSDecoderRegistration::registerCodecs();
    // Raw mode codes the stored bits as they are (as dcmcjpls does by default).
    DJLSEncoderRegistration::registerCodecs(0, 0, 0, 0, OFFalse, 0, OFTrue, EJLSUC_never);
    DcmRLEDecoderRegistration::registerCodecs();
    DcmRLEEncoderRegistration::registerCodecs();
}

bool dictionaryUsable() {
    if (!dcmDataDict.isDictionaryLoaded()) {
        return false;
    }
    const DcmTag name(DCM_PatientName);
    return name.getEVR() == EVR_PN;
}

} // namespace

void ensureToolkit() {
    static std::once_flag once;
    static bool dictionaryOk = false;
    std::call_once(once, [] {
        (void)tcpNoDelaySet;
        registerCodecs();
        dictionaryOk = dictionaryUsable();
    });
    if (!dictionaryOk) {
        throw ToolkitError(errc::Dictionary,
                           "The DICOM data dictionary is not loaded (check DCMDICTPATH): "
                           "(0010,0010) does not resolve to VR PN");
    }
}

} // namespace ravlen::toolkit
