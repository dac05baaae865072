#pragma once

#include "toolkit/image.h"
#include "toolkit/nettypes.h"

#include <QString>

namespace ravlen::toolkit {

// Statuses of verifyEcho() and sendImage(): one table.
//   0                 success
//   1 .. 999          DIMSE statuses of the peer's answer other than success: warnings
//                     (0x0001, 0x0107, 0x0116) and failures (0x0110 ... 0x0124, 0x0210 ...)
//   1001 .. 1499      our own failures, from the errc:: table of core/errors.h, mainly
//                     1008 (port out of range), 1411 (image without a data set),
//                     1401 (refused or unreachable), 1402 (no answer within the time-out),
//                     1403 (association dropped), 1404 (peer accepts neither the SOP class nor
//                     a transfer syntax we can send), 1407 (unknown host)
//   40960 .. 65535    DIMSE statuses 0xA000 ... 0xFFFF (out of resources, SOP class not
//                     supported, cannot understand, warnings 0xB000 ...)
// DIMSE statuses and our numbers never overlap, so the number alone says which it is.
inline constexpr int StatusSuccess = 0;

// C-ECHO to the peer. Never throws for anything the network or the peer does. Safe to call
// from any thread; blocks for at most connect + association + DIMSE time-outs.
// `detail`, when given, receives one line saying what happened, naming the peer.
int verifyEcho(const QString &host, int port, const QString &callingAE, const QString &calledAE,
               const NetworkTimeouts &timeouts = {}, QString *detail = nullptr);

// C-STORE of one image to a storage node, in the image's own transfer syntax, or (for an
// uncompressed image) in any uncompressed one the peer takes. Never throws for anything the
// network or the peer does. Safe from any thread as long as nobody changes the image's data
// set meanwhile.
int sendImage(const Image &image, const QString &host, int port, const QString &callingAE,
              const QString &calledAE, const NetworkTimeouts &timeouts = {},
              QString *detail = nullptr);

// A status in words for one line of output ("success", "connection refused by host:port",
// "peer status 0xA700 (out of resources)", ...). `host` and `port` name the peer; empty and 0
// leave it out.
QString statusText(int status, const QString &host = QString(), int port = 0);

} // namespace ravlen::toolkit
