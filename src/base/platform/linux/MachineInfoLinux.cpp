#include "platform/MachineInfo.h"

#include <QFile>

#include <arpa/inet.h>
#include <climits>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace MachineInfo {

QString ComputerName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof(name) - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

QStringList AdapterAddresses()
{
    QStringList result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return result;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        QStringList bytes;
        bool allZero = true;
        for (int i = 0; i < link->sll_halen && i < 8; ++i) {
            bytes << QStringLiteral("%1").arg(link->sll_addr[i], 2, 16, QLatin1Char('0')).toUpper();
            allZero = allZero && link->sll_addr[i] == 0;
        }
        if (!bytes.isEmpty() && !allZero)
            result << bytes.join(QLatin1Char('-'));
    }
    ::freeifaddrs(list);
    return result;
}

QString FirstNeighbourAddress()
{
    QFile table(QStringLiteral("/proc/net/arp"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    table.readLine(); // column headings
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        // IP address, HW type, flags, HW address, mask, device; flags 0 is incomplete.
        if (fields.size() < 4 || fields[2] == "0x0")
            continue;
        const QString address = QString::fromLatin1(fields[3]).toLower();
        if (address.count(QLatin1Char('0')) + address.count(QLatin1Char(':')) == address.size())
            continue;
        return QString(address).replace(QLatin1Char(':'), QLatin1Char('-'));
    }
    return {};
}

QStringList HostIpv4Addresses()
{
    QStringList result;
    const QString name = ComputerName();
    if (name.isEmpty())
        return result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.toLocal8Bit().constData(), nullptr, &hints, &found) != 0)
        return result;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text))) {
            const QString dotted = QString::fromLatin1(text);
            if (!result.contains(dotted))
                result << dotted;
        }
    }
    ::freeaddrinfo(found);
    return result;
}

} // namespace MachineInfo
