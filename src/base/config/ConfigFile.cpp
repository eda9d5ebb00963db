#include "config/ConfigFile.h"

#include "config/Policy.h"
#include "config/SettingValues.h"

#include "config/IniText.h"
#include "core/Global.h"
#include "util/AppError.h"

#include <QDebug>
#include <QUrl>

#include <algorithm>

namespace {
const QString kSystem = QStringLiteral("SYSTEM");
const QString kWin = QStringLiteral("WIN");

QString FlagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

QString ConfigFilePath()
{
    return DataFile(QStringLiteral("config.ini"));
}

TConfigFile::TConfigFile(const QString& path)
    : FIni(path), FPolicy(TPolicy::Current())
{
}

QString TConfigFile::Read(const QString& section, const QString& key, const QString& defaultValue) const
{
    if (const std::optional<QString> fixed = FPolicy->Value(section, key))
        return *fixed;
    // A group the administrator fixed is taken from the policy alone.
    if (FPolicy->TakesWhole(section))
        return defaultValue;
    return FIni.ReadString(section, key, defaultValue);
}

QList<QPair<QString, QString>> TConfigFile::ReadMergedSection(const QString& section) const
{
    QList<QPair<QString, QString>> values = FPolicy->Section(section);
    for (const auto& [key, value] : FIni.ReadSection(section))
        if (!FPolicy->Locks(section, key))
            values.append({key, value});
    return values;
}

bool TConfigFile::Locked(const QString& section, const QString& key) const
{
    return key.isEmpty() ? FPolicy->LocksSection(section) : FPolicy->Locks(section, key);
}

const TPolicy& TConfigFile::Policy() const
{
    return *FPolicy;
}

TUpdateOptions TConfigFile::ReadUpdate() const
{
    TUpdateOptions options;
    options.Managed = Read(QStringLiteral("UPDATE"), QStringLiteral("Managed"), QString()).trimmed() == QLatin1String("1");
    return options;
}

TLogOptions TConfigFile::ReadLog() const
{
    const QString section = QStringLiteral("LOG");
    TLogOptions options;
    options.Enabled = Read(section, QStringLiteral("Enabled"), QString()).trimmed() == QLatin1String("1");
    options.ConsoleErrors = Read(section, QStringLiteral("ConsoleErrors"), QString()).trimmed() == QLatin1String("1");
    bool ok = false;
    const int size = Read(section, QStringLiteral("MaxSizeKb"), QString()).trimmed().toInt(&ok);
    if (ok && size >= 16)
        options.MaxSizeKb = size;
    return options;
}

qint64 TConfigFile::ReadHandle() const
{
    return FIni.ReadInteger(kSystem, QStringLiteral("HANDLE"), 0);
}

void TConfigFile::WriteHandle(qint64 handle) const
{
    // Native window ids fit in 32 bits; write them as the integer they are.
    FIni.WriteString(kSystem, QStringLiteral("HANDLE"), QString::number(handle));
}

bool TConfigFile::ReadFlag(const QString& section, const QString& key) const
{
    return Read(section, key, QStringLiteral("1")) == QLatin1String("1");
}

TUserOptions TConfigFile::ReadOptions() const
{
    TUserOptions options;
    options.AutoStart = ReadFlag(kSystem, QStringLiteral("AUTOSTART"));
    options.SoundHint = ReadFlag(kSystem, QStringLiteral("SOUNDHINT"));
    options.PopupHint = ReadFlag(kSystem, QStringLiteral("POPUPHINT"));
    return options;
}

void TConfigFile::WriteOptions(const TUserOptions& options) const
{
    FIni.WriteString(kSystem, QStringLiteral("AUTOSTART"), FlagText(options.AutoStart));
    FIni.WriteString(kSystem, QStringLiteral("SOUNDHINT"), FlagText(options.SoundHint));
    FIni.WriteString(kSystem, QStringLiteral("POPUPHINT"), FlagText(options.PopupHint));
}

TWindowPlacement TConfigFile::ReadPlacement(const QSize& workArea) const
{
    TWindowPlacement placement;
    placement.Left = FIni.ReadInteger(kWin, QStringLiteral("LEFT"), 0);
    placement.Top = FIni.ReadInteger(kWin, QStringLiteral("TOP"), 0);
    placement.Right = FIni.ReadInteger(kWin, QStringLiteral("RIGHT"), workArea.width());
    placement.Bottom = FIni.ReadInteger(kWin, QStringLiteral("BOTTOM"), workArea.height());
    placement.State = FIni.ReadInteger(kWin, QStringLiteral("STATE"), 2);
    return placement;
}

void TConfigFile::WritePlacement(const TWindowPlacement& placement) const
{
    FIni.WriteInteger(kWin, QStringLiteral("LEFT"), placement.Left);
    FIni.WriteInteger(kWin, QStringLiteral("TOP"), placement.Top);
    FIni.WriteInteger(kWin, QStringLiteral("RIGHT"), placement.Right);
    FIni.WriteInteger(kWin, QStringLiteral("BOTTOM"), placement.Bottom);
    FIni.WriteInteger(kWin, QStringLiteral("STATE"), placement.State);
}

QString TConfigFile::ReadServiceHost() const
{
    return Read(kSystem, QStringLiteral("ServiceHost"), QString());
}

TSecurityOptions TConfigFile::ReadSecurity() const
{
    const QString section = QStringLiteral("SECURITY");
    TSecurityOptions options;
    const QString port = Read(section, QStringLiteral("RemoteDebuggingPort"), QString()).trimmed();
    if (!port.isEmpty()) {
        bool isNumber = false;
        const int value = port.toInt(&isNumber);
        const bool digitsOnly = std::all_of(port.cbegin(), port.cend(), [](QChar c) { return c.isDigit(); });
        if (isNumber && digitsOnly && value >= 0 && value <= 65535)
            options.RemoteDebuggingPort = value;
        else
            qDebug().noquote() << QStringLiteral("config.ini: RemoteDebuggingPort \"%1\" is not a port; ignored").arg(port);
    }
    options.CaBundle = Read(section, QStringLiteral("CaBundle"), QString()).trimmed();
    const QString pin = Read(section, QStringLiteral("ServiceCertificate"), QString());
    options.ServiceCertificate = NormalizedFingerprint(pin);
    if (!pin.trimmed().isEmpty() && options.ServiceCertificate.isEmpty())
        qDebug().noquote() << QStringLiteral("config.ini: ServiceCertificate is not a SHA-256 fingerprint; ignored");
    // Unlike the program's own flags, missing means off.
    options.IgnoreCertificateErrors =
        Read(section, QStringLiteral("IgnoreCertificateErrors"), QString()).trimmed() == QLatin1String("1");
    return options;
}

namespace {

QString SwitchValue(const TConfigFile& config, const QString& section, const QString& key)
{
    QString value = config.Read(section, key, QString()).trimmed();
    value.remove(QLatin1Char(' '));
    if (!IsSwitchValue(value)) {
        qDebug().noquote() << QStringLiteral("config.ini: %1/%2 holds characters it cannot have; ignored").arg(section, key);
        return {};
    }
    return value;
}

const QString kProxy = QStringLiteral("PROXY");
const QString kSignIn = QStringLiteral("SIGN_IN");

} // namespace

TNetworkOptions TConfigFile::ReadNetwork() const
{
    using M = TNetworkOptions::TProxyMode;
    TNetworkOptions options;
    options.ProxyServer = SwitchValue(*this, kProxy, QStringLiteral("Server"));
    options.PacUrl = SwitchValue(*this, kProxy, QStringLiteral("PacUrl"));
    options.ProxyBypass = SwitchValue(*this, kProxy, QStringLiteral("Bypass")).replace(QLatin1Char(','), QLatin1Char(';'));
    options.NegotiateHosts = SwitchValue(*this, kSignIn, QStringLiteral("NegotiateHosts")).replace(QLatin1Char(';'), QLatin1Char(','));
    const QString mode = Read(kProxy, QStringLiteral("Mode"), QString()).trimmed().toLower();
    if (mode == QLatin1String("direct"))
        options.ProxyMode = M::Direct;
    else if (mode == QLatin1String("manual") && !options.ProxyServer.isEmpty())
        options.ProxyMode = M::Manual;
    else if (mode == QLatin1String("pac") && QUrl(options.PacUrl).isValid() && !QUrl(options.PacUrl).scheme().isEmpty())
        options.ProxyMode = M::Pac;
    else if (!mode.isEmpty() && mode != QLatin1String("system"))
        qDebug().noquote() << QStringLiteral("config.ini: PROXY/Mode \"%1\" is not usable here; the desktop's proxy is used").arg(mode);
    return options;
}

void TConfigFile::WriteNetwork(const TNetworkOptions& options) const
{
    if (Locked(kProxy))
        throw EAppError(QStringLiteral("代理服务器设置由系统管理员锁定，不能更改。"));
    using M = TNetworkOptions::TProxyMode;
    const QString mode = options.ProxyMode == M::Direct   ? QStringLiteral("direct")
                         : options.ProxyMode == M::Manual ? QStringLiteral("manual")
                         : options.ProxyMode == M::Pac    ? QStringLiteral("pac")
                                                          : QStringLiteral("system");
    FIni.WriteString(kProxy, QStringLiteral("Mode"), mode);
    FIni.WriteString(kProxy, QStringLiteral("Server"), options.ProxyServer);
    FIni.WriteString(kProxy, QStringLiteral("PacUrl"), options.PacUrl);
    FIni.WriteString(kProxy, QStringLiteral("Bypass"), options.ProxyBypass);
}

TClientCertificateOptions TConfigFile::ReadClientCertificates() const
{
    TClientCertificateOptions options;
    for (const auto& [key, value] : ReadMergedSection(QStringLiteral("CLIENT_CERTIFICATES"))) {
        if (key.compare(QLatin1String("Pkcs12"), Qt::CaseInsensitive) == 0) {
            for (const QString& file : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                options.Files << file.trimmed();
            continue;
        }
        const QString fingerprint = NormalizedFingerprint(value);
        if (fingerprint.isEmpty())
            qDebug().noquote() << QStringLiteral("config.ini: CLIENT_CERTIFICATES/%1 is not a SHA-256 fingerprint; ignored").arg(key);
        else
            options.Hosts.append({key.toLower(), fingerprint});
    }
    return options;
}

QString TConfigFile::ReadCertificateException(const QString& host) const
{
    return NormalizedFingerprint(
        FIni.ReadString(QStringLiteral("CERTIFICATE_EXCEPTIONS"), host.toLower(), QString()));
}

void TConfigFile::WriteCertificateException(const QString& host, const QString& fingerprint) const
{
    FIni.WriteString(QStringLiteral("CERTIFICATE_EXCEPTIONS"), host.toLower(), fingerprint);
}

namespace {

std::optional<bool> PermissionAnswer(const QString& text)
{
    const QString stored = text.trimmed();
    if (stored == QLatin1String("1"))
        return true;
    if (stored == QLatin1String("0"))
        return false;
    return std::nullopt;
}

} // namespace

QList<QPair<QString, QString>> TConfigFile::ReadCertificateExceptions() const
{
    QList<QPair<QString, QString>> exceptions;
    for (const auto& [host, value] : FIni.ReadSection(QStringLiteral("CERTIFICATE_EXCEPTIONS"))) {
        const QString fingerprint = NormalizedFingerprint(value);
        if (!fingerprint.isEmpty())
            exceptions.append({host.toLower(), fingerprint});
    }
    return exceptions;
}

void TConfigFile::DeleteCertificateException(const QString& host) const
{
    FIni.DeleteKey(QStringLiteral("CERTIFICATE_EXCEPTIONS"), host.toLower());
}

std::optional<bool> TConfigFile::ReadPermission(const QString& key) const
{
    return PermissionAnswer(Read(QStringLiteral("PERMISSIONS"), key, QString()));
}

QList<QPair<QString, bool>> TConfigFile::ReadPermissions() const
{
    QList<QPair<QString, bool>> answers;
    for (const auto& [key, value] : ReadMergedSection(QStringLiteral("PERMISSIONS")))
        if (const std::optional<bool> allowed = PermissionAnswer(value))
            answers.append({key, *allowed});
    return answers;
}

void TConfigFile::DeletePermission(const QString& key) const
{
    FIni.DeleteKey(QStringLiteral("PERMISSIONS"), key);
}

void TConfigFile::WritePermission(const QString& key, bool allowed) const
{
    FIni.WriteString(QStringLiteral("PERMISSIONS"), key, FlagText(allowed));
}

std::optional<QString> TConfigFile::ReadSavedSignIn(const QString& key) const
{
    for (const auto& [saved, user] : FIni.ReadSection(QStringLiteral("SAVED_SIGN_INS")))
        if (saved.compare(key, Qt::CaseInsensitive) == 0)
            return user;
    return std::nullopt;
}

QList<QPair<QString, QString>> TConfigFile::ReadSavedSignIns() const
{
    return FIni.ReadSection(QStringLiteral("SAVED_SIGN_INS"));
}

void TConfigFile::WriteSavedSignIn(const QString& key, const QString& user) const
{
    // One line each: a name cannot carry a line break into the file.
    QString line = user;
    line.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    FIni.WriteString(QStringLiteral("SAVED_SIGN_INS"), key, line);
}

void TConfigFile::DeleteSavedSignIn(const QString& key) const
{
    FIni.DeleteKey(QStringLiteral("SAVED_SIGN_INS"), key);
}

int TConfigFile::ReadZoom(const QString& host, int defaultPercent) const
{
    const QString text = FIni.ReadString(QStringLiteral("ZOOM"), host, QString()).trimmed();
    return IniText::ParseInteger(text, defaultPercent);
}

void TConfigFile::WriteZoom(const QString& host, int percent) const
{
    FIni.WriteInteger(QStringLiteral("ZOOM"), host, percent);
}
