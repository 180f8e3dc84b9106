#pragma once

#include <QStringView>
#include <optional>

namespace zelvane {

// Where the remote-control servers listen unless told otherwise.
inline constexpr quint16 kZelvaneDefaultOSCInPort = 9160;
inline constexpr quint16 kZelvaneDefaultHTTPPort = 17960;

inline constexpr const char* kOSCInPortVariable = "ZELVANE_OSC_IN_PORT";
inline constexpr const char* kAPIPortVariable = "ZELVANE_API_PORT";

// A port written as a plain decimal number from 0 to 65535: an optional
// leading "+" or "-" (the minus only with the value 0), ASCII digits and
// nothing else, no surrounding spaces. None for any other text.
std::optional<quint16> parsePortText(QStringView text);

// The port a server asks for: the explicit one when given, else the
// environment variable when it is set, not empty and a port as above, else
// the fallback. Port 0 lets the system choose.
quint16 choosePort(std::optional<quint16> explicitPort, const char* environmentVariable, quint16 fallback);

// choosePort() with ZELVANE_OSC_IN_PORT and 9160.
quint16 chooseOSCInPort(std::optional<quint16> explicitPort = std::nullopt);
// choosePort() with ZELVANE_API_PORT and 17960.
quint16 chooseHTTPPort(std::optional<quint16> explicitPort = std::nullopt);

}  // namespace zelvane
