#include "service/LoginAddress.h"

#include "util/TextEncoding.h"

namespace {

QString QueryValue(const QString& value)
{
    return QString::fromLatin1(EncodeQueryValue(Utf8Encode(value)));
}

} // namespace

QString FormatLoginAddress(const QString& serviceHost, const TMachineFingerprint& fingerprint)
{
    return QStringLiteral("http://%1/?ComputerName=%2&MacAddress=%3&RT=%4&IpOut=%5&IpIn=%6")
        .arg(serviceHost, QueryValue(fingerprint.ComputerName), QueryValue(fingerprint.MacAddress),
             QueryValue(fingerprint.RT), QueryValue(fingerprint.IpOut), QueryValue(fingerprint.IpIn));
}
