#include "service/Fingerprint.h"

#include "platform/MachineInfo.h"
#include "util/TextEncoding.h"


void ExtractMacAddresses(QStringList& lines)
{
    QStringList found;
    for (const QString& original : std::as_const(lines)) {
        if (!original.contains(QLatin1String("Physical Address")) && !original.contains(QStringLiteral("物理地址.")))
            continue;
        QString line = original;
        qsizetype p = line.indexOf(QLatin1Char(':'));
        if (p < 0) {
            line = TrimControl(line.replace(QStringLiteral(". "), QStringLiteral(".")));
            p = line.indexOf(QLatin1Char(' '));
            if (p < 0)
                p = -1; // no space: the whole line is the value
        }
        QString value = TrimControl(line.mid(p + 1));
        if (value.isEmpty())
            continue;
        value.replace(QLatin1Char('-'), QLatin1Char(':'));
        const bool known = std::any_of(found.cbegin(), found.cend(), [&value](const QString& address) {
            return address.compare(value, Qt::CaseInsensitive) == 0;
        });
        if (!known)
            found << value;
    }
    lines = found;
}

QString FirstArpAddress(const QStringList& lines)
{
    if (lines.size() < 4)
        return {};
    const QString line = TrimControl(lines.at(3));
    const qsizetype first = line.indexOf(QLatin1Char(' '));
    if (first < 0)
        return {};
    const QString rest = TrimControl(line.mid(first + 1));
    const qsizetype second = rest.indexOf(QLatin1Char(' '));
    if (second < 0)
        return {};
    return TrimControl(rest.left(second));
}

QString LocalIpAddresses(const QStringList& addresses)
{
    return addresses.isEmpty() ? QStringLiteral(" ") : addresses.join(QStringLiteral(", "));
}

TMachineFingerprint ReadMachineFingerprint()
{
    TMachineFingerprint fingerprint;
    // The adapters go through the same reading as the tool output, so both
    // give the same text form and the same duplicate rule.
    QStringList lines;
    for (const QString& address : MachineInfo::AdapterAddresses())
        lines << QStringLiteral("Physical Address: ") + address;
    ExtractMacAddresses(lines);
    fingerprint.MacAddress = lines.join(QLatin1Char(';'));
    fingerprint.RT = MachineInfo::FirstNeighbourAddress();
    fingerprint.IpIn = LocalIpAddresses(MachineInfo::HostIpv4Addresses());
    fingerprint.ComputerName = MachineInfo::ComputerName();
    return fingerprint;
}
