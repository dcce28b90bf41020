#include "DatagramIo.h"

#include <QByteArray>
#include <QNetworkDatagram>

#include <cerrno>
#include <system_error>

namespace brellan {

namespace {

// Why the system refused a datagram. Qt reports most send failures only as
// "Unable to send a message"; the C library's errno, still set right after
// the failed call, names the reason ("Network is unreachable", ...).
std::string refusal(const QUdpSocket& socket, int error)
{
    const std::string qtText = socket.errorString().toStdString();
    if (error == 0)
        return qtText;
    const std::string systemText = std::generic_category().message(error);
    return systemText == qtText ? qtText : systemText + " (" + qtText + ")";
}

} // namespace

std::optional<std::string> sendDatagram(QUdpSocket& socket, std::span<const std::uint8_t> datagram,
                                        const QHostAddress& address, std::uint16_t port,
                                        std::optional<int> interfaceIndex)
{
    QNetworkDatagram out(QByteArray(reinterpret_cast<const char*>(datagram.data()),
                                    static_cast<qsizetype>(datagram.size())),
                         address, port);
    if (interfaceIndex)
        out.setInterfaceIndex(static_cast<uint>(*interfaceIndex));
    errno = 0;
    if (socket.writeDatagram(out) >= 0)
        return std::nullopt;
    return refusal(socket, errno);
}

std::optional<std::uint32_t> ipv4Source(const QHostAddress& sender)
{
    bool ok = false;
    const std::uint32_t address = sender.toIPv4Address(&ok);
    return ok ? std::optional<std::uint32_t>(address) : std::nullopt;
}

} // namespace brellan
