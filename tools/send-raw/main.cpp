// send-raw: a C-STORE whose data set is sent byte for byte from a file, never parsed on our
// side. The tests use it to hand a listener data sets that would crash a parser (a sender that
// loads the file first would crash before sending).
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dimse.h>
#include <dcmtk/dcmnet/dul.h>

#include <algorithm>
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
    // The command set by hand (implicit VR little endian), then the file's bytes as data PDVs:
    // DCMTK's own senders load the data set first, which is what must not happen here.
    std::string command;
    auto element = [&command](unsigned short elem, const std::string &value) {
        const unsigned length = unsigned(value.size());
        const unsigned char header[8] = {0,
                                         0,
                                         (unsigned char)(elem & 0xFF),
                                         (unsigned char)(elem >> 8),
                                         (unsigned char)(length & 0xFF),
                                         (unsigned char)(length >> 8),
                                         0,
                                         0};
        command.append(reinterpret_cast<const char *>(header), 8);
        command.append(value);
    };
    auto uid = [](std::string value) {
        if (value.size() % 2) {
            value.push_back('\0');
        }
        return value;
    };
    auto us = [](unsigned short v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
    std::string body;
    {
        std::string saved;
        command.swap(saved);
        element(0x0002, uid(argv[4]));
        element(0x0100, us(0x0001)); // C-STORE-RQ
        element(0x0110, us(1));
        element(0x0700, us(0));
        element(0x0800, us(0x0000)); // a data set follows
        element(0x1000, uid(argv[5]));
        body.swap(command);
    }
    const unsigned groupLength = unsigned(body.size());
    command.clear();
    element(0x0000, std::string{char(groupLength & 0xFF), char((groupLength >> 8) & 0xFF),
                                char((groupLength >> 16) & 0xFF), char(groupLength >> 24)});
    command += body;

    FILE *in = std::fopen(argv[6], "rb");
    if (!in) {
        std::fprintf(stderr, "send-raw: cannot read %s\n", argv[6]);
        return 2;
    }
    std::string data;
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), in)) > 0) {
        data.append(buffer, got);
    }
    std::fclose(in);

    auto write = [&](const std::string &bytes, DUL_DATAPDV type) {
        const size_t chunk = 16000;
        for (size_t offset = 0; offset < bytes.size() || offset == 0; offset += chunk) {
            DUL_PDV pdv;
            pdv.fragmentLength = (unsigned long)std::min(chunk, bytes.size() - offset);
            pdv.presentationContextID = 1;
            pdv.pdvType = type;
            pdv.lastPDV = offset + chunk >= bytes.size() ? OFTrue : OFFalse;
            pdv.data = const_cast<char *>(bytes.data() + offset);
            DUL_PDVLIST list;
            std::memset(&list, 0, sizeof(list));
            list.count = 1;
            list.pdv = &pdv;
            if (DUL_WritePDVs(&assoc->DULassociation, &list).bad()) {
                return false;
            }
            if (pdv.lastPDV) {
                break;
            }
        }
        return true;
    };
    if (!write(command, DUL_COMMANDPDV) || !write(data, DUL_DATASETPDV)) {
        std::fprintf(stderr, "send-raw: sending failed\n");
        ASC_abortAssociation(assoc);
        return 2;
    }
    OFCondition cond;
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
