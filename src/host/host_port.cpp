#include <cctype>

#include "host/connection.h"

namespace cedar {

bool parseHostPort(const std::string& text, HostPort& out, std::string& error) {
    out = {};
    std::string host = text;
    std::string port;
    if (!text.empty() && text[0] == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) {
            error = "Missing \"]\" after the IPv6 address in \"" + text + "\"";
            return false;
        }
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') {
                error = "Unexpected text after the IPv6 address in \"" + text + "\"";
                return false;
            }
            port = rest.substr(1);
            if (port.empty()) {
                error = "Missing port number in \"" + text + "\"";
                return false;
            }
        }
    } else if (const auto colon = text.find(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            error = "Missing port number in \"" + text + "\"";
            return false;
        }
    }
    if (host.empty()) {
        error = "Missing host name in \"" + text + "\"";
        return false;
    }
    if (!port.empty()) {
        long value = 0;
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || value > 65535) {
                error = "Port must be a number from 1 to 65535: \"" + port + "\"";
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) {
            error = "Port must be a number from 1 to 65535: \"" + port + "\"";
            return false;
        }
        out.port = static_cast<std::uint16_t>(value);
    }
    out.host = host;
    return true;
}

}  // namespace cedar
