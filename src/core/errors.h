#pragma once

#include <stdexcept>
#include <string>

namespace ravlen {

// Error numbers, one table for the whole component. Statuses that operations return by
// design (send, echo) use DIMSE statuses instead and are never thrown.
namespace errc {
inline constexpr int NotDicom = 1001;       // the input is not a DICOM data set
inline constexpr int Damaged = 1002;        // the data set is truncated or inconsistent
inline constexpr int Unsupported = 1003;    // transfer syntax or pixel layout we cannot decode
inline constexpr int TooLarge = 1004;       // declared sizes beyond the data or the memory cap
inline constexpr int TooDeep = 1005;        // sequences nested beyond the allowed depth
inline constexpr int FileAccess = 1006;     // the file cannot be opened, read or written
inline constexpr int NoPixelData = 1007;    // an operation needs pixels the data set lacks
inline constexpr int BadArgument = 1008;    // a value out of range (frame, size, window)
inline constexpr int Dictionary = 1009;     // DCMTK's data dictionary is not loaded
inline constexpr int Cancelled = 1010;      // the user cancelled a long operation
inline constexpr int HelperProgram = 1011;  // a helper program is missing, stalled or ran too long
inline constexpr int Database = 1201;       // a database statement failed
inline constexpr int NoConnection = 1202;   // no database connection to run a statement on
inline constexpr int Settings = 1301;       // the settings store or INI file failed
inline constexpr int NetworkRefused = 1401; // association rejected or peer unreachable
inline constexpr int NetworkTimeout = 1402; // the peer did not answer within the time-out
inline constexpr int NetworkDropped = 1403; // the association ended in the middle of an operation
inline constexpr int NoContext = 1404;      // the peer accepts no presentation context we need
inline constexpr int PeerFailure = 1405;    // the peer answered an operation with a failure status
inline constexpr int ListenerPort = 1406;   // a port to receive on cannot be opened
inline constexpr int UnknownHost = 1407;    // the peer's host name does not resolve
inline constexpr int NoGetContext = 1409;   // the peer accepts no C-GET presentation context
inline constexpr int RefusedDataSet = 1410; // a received data set failed the checks before parsing
inline constexpr int NothingToSend = 1411;  // the image to send has no data set
} // namespace errc

// An error of the component, carrying its number and a text that says what was being done
// and with what (file, peer, statement).
class ToolkitError : public std::runtime_error {
public:
    ToolkitError(int number, const std::string &text)
        : std::runtime_error(text), m_number(number) {}
    int number() const noexcept { return m_number; }

private:
    int m_number;
};

} // namespace ravlen
