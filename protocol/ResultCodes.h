#pragma once

// Result of every device operation. 0 means the exchange completed; the
// module's own verdict travels separately as its one-byte response code.
enum KytoResult : int {
    kResultOk = 0,
    kResultNoLink = -1,           // the protocol object has no link
    kResultMissingArgument = -2,  // a required output argument was not supplied
    kResultUnsupported = -3,      // the connected model does not know the command
    kResultTimeout = -20,         // no complete header or payload within the time limit
    kResultShortHeader = -21,     // the response header was shorter than 6 bytes
    kResultBadSync = -22,         // the first response byte was not 0xFE
    kResultBadLength = -25,       // the payload length is invalid or impossible
    // The answer arrived whole but cannot be what the command returns: a fixed
    // answer of the wrong length, an album size beyond what arrived, a Save
    // Album answer without an album.
    kResultCommError = -30,
    kResultOverflow = -31,  // the payload is longer than the space offered
    // The exchange was ended by CDeviceMngr::Cancel() (the window closed, the
    // user cancelled a transfer, the port vanished), or refused because the
    // device manager is cancelled. Not a fault of the module or the line: the
    // windows show no error box for it, the command line says "cancelled".
    kResultCancelled = -40,
};

// Results the user sees as "Communication error." rather than as a module
// that does not respond.
inline bool IsCommunicationError(int result) {
    return result == kResultOverflow || result == kResultCommError || result == kResultShortHeader;
}
inline bool IsNotResponding(int result) {
    return result == kResultBadSync || result == kResultTimeout;
}
// Neither of the two: the user (or the program) ended the exchange.
inline bool IsCancelled(int result) {
    return result == kResultCancelled;
}
