#pragma once

namespace ravlen::toolkit {

// Time-outs of one network operation, in seconds; none is unlimited (values below 1 count as 1).
struct NetworkTimeouts {
    int connectSeconds = 10;     // TCP connection to the peer
    int associationSeconds = 30; // association request, acknowledgement and release
    // Each DIMSE message of the peer (a response, or the next C-STORE of a retrieve); every
    // pending response starts it again.
    int dimseSeconds = 60;
};

} // namespace ravlen::toolkit
