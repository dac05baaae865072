// send-raw: a C-STORE whose data set is sent byte for byte from a file, never parsed on our
// side. The tests use it to hand a listener data sets that would crash a parser (a sender that
// loads the file first would crash before sending).
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dimse.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
    if (argc != 7) {
        std::fprintf(stderr, "Usage: send-raw HOST PORT CALLED_AE SOP_CLASS SOP_INSTANCE FILE\n"
                             "FILE holds a data set in implicit VR little endian, no meta header.\n"
                             "Prints the C-STORE response status as 0xNNNN.\n");
        return 1;
    }
    const std::string peer = std::string(argv[1]) + ":" + argv[2];
    T_ASC_Network *net = nullptr;
    if (ASC_initializeNetwork(NET_REQUESTOR, 0, 10, &net).bad()) {
        std::fprintf(stderr, "send-raw: no network\n");
        return 2;
    }
    T_ASC_Parameters *params = nullptr;
    ASC_createAssociationParameters(&params, ASC_DEFAULTMAXPDU);
    ASC_setAPTitles(params, "SENDRAW", argv[3], nullptr);
    ASC_setPresentationAddresses(params, "localhost", peer.c_str());
    const char *syntaxes[] = {UID_LittleEndianImplicitTransferSyntax};
    ASC_addPresentationContext(params, 1, argv[4], syntaxes, 1);
    T_ASC_Association *assoc = nullptr;
    if (ASC_requestAssociation(net, params, &assoc).bad() ||
        ASC_countAcceptedPresentationContexts(params) == 0) {
        std::fprintf(stderr, "send-raw: association refused\n");
        return 2;
    }
    T_DIMSE_Message msg;
    std::memset(&msg, 0, sizeof(msg));
    msg.CommandField = DIMSE_C_STORE_RQ;
    T_DIMSE_C_StoreRQ &req = msg.msg.CStoreRQ;
    req.MessageID = assoc->nextMsgID++;
    std::snprintf(req.AffectedSOPClassUID, sizeof(req.AffectedSOPClassUID), "%s", argv[4]);
    std::snprintf(req.AffectedSOPInstanceUID, sizeof(req.AffectedSOPInstanceUID), "%s", argv[5]);
    req.DataSetType = DIMSE_DATASET_PRESENT;
    req.Priority = DIMSE_PRIORITY_MEDIUM;
    OFCondition cond = DIMSE_sendMessageUsingFileData(assoc, 1, &msg, nullptr, argv[6], nullptr,
                                                      nullptr);
    if (cond.bad()) {
        std::fprintf(stderr, "send-raw: sending failed: %s\n", cond.text());
        ASC_abortAssociation(assoc);
        return 2;
    }
    T_DIMSE_Message rsp;
    T_ASC_PresentationContextID presId = 0;
    cond = DIMSE_receiveCommand(assoc, DIMSE_NONBLOCKING, 30, &presId, &rsp, nullptr);
    if (cond.bad() || rsp.CommandField != DIMSE_C_STORE_RSP) {
        std::fprintf(stderr, "send-raw: no response: %s\n", cond.text());
        ASC_abortAssociation(assoc);
        return 2;
    }
    std::printf("0x%04X\n", unsigned(rsp.msg.CStoreRSP.DimseStatus));
    ASC_releaseAssociation(assoc);
    ASC_destroyAssociation(&assoc);
    ASC_dropNetwork(&net);
    return 0;
}
