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
    kResultCommError = -30,       // reserved: shown as a communication error
    kResultOverflow = -31,        // the payload is longer than the space offered
};

// Results the user sees as "Communication error." rather than as a module
// that does not respond.
inline bool IsCommunicationError(int result) {
    return result == kResultOverflow || result == kResultCommError || result == kResultShortHeader;
}
inline bool IsNotResponding(int result) {
    return result == kResultBadSync || result == kResultTimeout;
}
