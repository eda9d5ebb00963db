#pragma once

#include <QString>
#include <QStringList>

// Where this platform keeps the machine's identity. Each gives an empty
// result when its source is not there; none of them fails.
namespace MachineInfo {

// The computer's name.
QString ComputerName();

// Hardware addresses of the network adapters (loopback and all-zero ones
// left out), as the system lists them, bytes in upper-case hex joined by "-".
QStringList AdapterAddresses();

// Hardware address of the first complete entry of the neighbour (ARP)
// table, bytes in lower-case hex joined by "-"; empty when there is none.
QString FirstNeighbourAddress();

// The IPv4 addresses the host's own name resolves to, in order, without
// repeats; empty when the name does not resolve.
QStringList HostIpv4Addresses();

} // namespace MachineInfo
