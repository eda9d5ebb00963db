#pragma once

#include "service/Fingerprint.h"

// "http://" + service host + "/?ComputerName=..&MacAddress=..&RT=..&IpOut=..&IpIn=..",
// each value UTF-8 encoded and query-escaped; the template itself is not.
QString FormatLoginAddress(const QString& serviceHost, const TMachineFingerprint& fingerprint);
