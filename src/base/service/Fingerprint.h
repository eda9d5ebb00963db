#pragma once

#include <QString>
#include <QStringList>

// Reading machine identity out of the Windows tools' output. Pure functions,
// so any platform can test them against recorded output.

// Replaces lines by the adapter addresses found on the "Physical Address" /
// "物理地址." lines, hyphens turned into colons, each address once (letter
// case ignored), in order of first appearance.
void ExtractMacAddresses(QStringList& lines);

// The physical address of the first entry of an "arp -a" listing: the
// second field of the fourth line, when a third field follows it; else empty.
QString FirstArpAddress(const QStringList& lines);

// The five values the login address carries, in query order.
struct TMachineFingerprint
{
    QString ComputerName;
    QString MacAddress; // adapter addresses, colon form, joined by ";"
    QString RT;         // first ARP entry's address, hyphen form
    QString IpOut;      // always empty
    QString IpIn;       // IPv4 addresses joined by ", "; a single space when unknown
};

// The IPv4 list as the query carries it: a single space when there is none.
QString LocalIpAddresses(const QStringList& addresses);

// The fingerprint of this machine, from the platform's own sources.
TMachineFingerprint ReadMachineFingerprint();
