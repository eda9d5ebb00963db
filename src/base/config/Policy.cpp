#include "config/Policy.h"

#include "config/IniFile.h"
#include "config/SettingValues.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QMutex>
#include <QUrl>

#include <algorithm>
#include <functional>

#ifndef VELMAR_POLICY_FILE
#define VELMAR_POLICY_FILE "/etc/velmar-erp/policy.ini"
#endif

QString gPolicyFile = QStringLiteral(VELMAR_POLICY_FILE);

namespace {

using TCheck = std::function<bool(const QString&)>;

bool IsFlag(const QString& value)
{
    return value == QLatin1String("0") || value == QLatin1String("1");
}

bool IsNumber(const QString& value, int low, int high)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c.isDigit(); }) && number >= low
           && number <= high;
}

bool IsHost(const QString& value)
{
    const QUrl url(QStringLiteral("http://") + value);
    return !value.isEmpty() && url.isValid() && !url.host().isEmpty() && url.path().isEmpty() && url.userInfo().isEmpty()
           && !url.hasQuery() && !url.hasFragment();
}

bool IsFingerprint(const QString& value)
{
    return !NormalizedFingerprint(value).isEmpty();
}

bool IsReadableFile(const QString& value)
{
    const QFileInfo info(value);
    return info.isAbsolute() && info.isFile() && info.isReadable();
}

struct TKnownKey
{
    const char* Section;
    const char* Key; // nullptr: every key of the section, checked alike
    TCheck Check;
};

const QList<TKnownKey>& KnownKeys()
{
    static const QList<TKnownKey> keys = {
        {"SYSTEM", "ServiceHost", IsHost},
        {"SYSTEM", "AUTOSTART", IsFlag},
        {"SECURITY", "RemoteDebuggingPort", [](const QString& v) { return IsNumber(v, 0, 65535); }},
        {"SECURITY", "IgnoreCertificateErrors", IsFlag},
        {"SECURITY", "CaBundle", IsReadableFile},
        {"SECURITY", "ServiceCertificate", IsFingerprint},
        {"PROXY", "Mode",
         [](const QString& v) {
             return QStringList{"system", "direct", "manual", "pac"}.contains(v.toLower());
         }},
        {"PROXY", "Server", IsSwitchValue},
        {"PROXY", "PacUrl", [](const QString& v) { return IsSwitchValue(v) && !QUrl(v).scheme().isEmpty(); }},
        {"PROXY", "Bypass", IsSwitchValue},
        {"SIGN_IN", "NegotiateHosts", IsSwitchValue},
        {"CLIENT_CERTIFICATES", nullptr,
         [](const QString& v) {
             // A host's certificate, or the PKCS#12 files.
             const QStringList files = v.split(QLatin1Char(';'), Qt::SkipEmptyParts);
             return IsFingerprint(v) || std::all_of(files.cbegin(), files.cend(), [](const QString& f) {
                        return IsReadableFile(f.trimmed());
                    });
         }},
        {"PERMISSIONS", nullptr, IsFlag},
        {"UPDATE", "Managed", IsFlag},
        {"LOG", "Enabled", IsFlag},
        {"LOG", "ConsoleErrors", IsFlag},
        {"LOG", "MaxSizeKb", [](const QString& v) { return IsNumber(v, 16, 1024 * 1024); }},
    };
    return keys;
}

// Sections that are one setting: taken whole or not at all.
bool IsWholeSection(const QString& section)
{
    return section.compare(QLatin1String("PROXY"), Qt::CaseInsensitive) == 0;
}

const TKnownKey* Known(const QString& section, const QString& key)
{
    for (const TKnownKey& known : KnownKeys()) {
        if (section.compare(QLatin1String(known.Section), Qt::CaseInsensitive) != 0)
            continue;
        if (!known.Key || key.compare(QLatin1String(known.Key), Qt::CaseInsensitive) == 0)
            return &known;
    }
    return nullptr;
}

} // namespace

TPolicy::TPolicy(const QString& path)
    : FPath(path)
{
    FExists = QFileInfo(path).isFile();
    if (!FExists)
        return;
    const TIniFile ini(path);
    // Sections in file order, each once.
    QStringList sections;
    for (const TKnownKey& known : KnownKeys())
        if (!sections.contains(QLatin1String(known.Section)))
            sections << QLatin1String(known.Section);
    for (const QString& section : sections) {
        QList<TPolicyEntry> taken;
        bool broken = false;
        for (const auto& [key, raw] : ini.ReadSection(section)) {
            const QString value = raw.trimmed();
            const TKnownKey* known = Known(section, key);
            if (!known) {
                FRejected << QStringLiteral("%1/%2: unknown key; ignored").arg(section, key);
                continue;
            }
            if (!known->Check(value)) {
                FRejected << QStringLiteral("%1/%2: \"%3\" is not valid; ignored").arg(section, key, value.left(80));
                broken = true;
                continue;
            }
            taken.append({section, known->Key ? QLatin1String(known->Key) : key, value});
        }
        // The proxy is one setting: a broken part, or a mode without what it
        // needs, leaves the user's proxy in place.
        if (IsWholeSection(section) && !taken.isEmpty()) {
            const auto valueOf = [&taken](const char* key) {
                for (const TPolicyEntry& entry : taken)
                    if (entry.Key == QLatin1String(key))
                        return entry.Value;
                return QString();
            };
            const QString mode = valueOf("Mode").toLower();
            if (mode.isEmpty() || (mode == QLatin1String("manual") && valueOf("Server").isEmpty())
                || (mode == QLatin1String("pac") && valueOf("PacUrl").isEmpty()))
                broken = true;
            if (broken) {
                FRejected << QStringLiteral("PROXY: incomplete or not valid; the whole section is ignored");
                continue;
            }
        }
        FEntries.append(taken);
    }
}

std::shared_ptr<const TPolicy> TPolicy::Current()
{
    static QMutex mutex;
    static std::shared_ptr<const TPolicy> current;
    static QString path;
    static QDateTime modified;
    static qint64 size = -1;
    const QMutexLocker lock(&mutex);
    const QFileInfo info(gPolicyFile);
    const QDateTime nowModified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 nowSize = info.exists() ? info.size() : -1;
    if (current && path == gPolicyFile && modified == nowModified && size == nowSize)
        return current;
    // The first reading is reported by the start, once its log is open.
    const bool changed = current != nullptr;
    path = gPolicyFile;
    modified = nowModified;
    size = nowSize;
    current = std::make_shared<const TPolicy>(path);
    if (changed)
        current->Report();
    return current;
}

void TPolicy::Report() const
{
    if (!FExists)
        return;
    for (const TPolicyEntry& entry : FEntries)
        qInfo().noquote() << QStringLiteral("Policy %1: %2/%3 fixed").arg(FPath, entry.Section, entry.Key);
    for (const QString& rejected : FRejected)
        qWarning().noquote() << QStringLiteral("Policy %1: %2").arg(FPath, rejected);
}

std::optional<QString> TPolicy::Value(const QString& section, const QString& key) const
{
    for (const TPolicyEntry& entry : FEntries)
        if (entry.Section.compare(section, Qt::CaseInsensitive) == 0 && entry.Key.compare(key, Qt::CaseInsensitive) == 0)
            return entry.Value;
    return std::nullopt;
}

bool TPolicy::LocksSection(const QString& section) const
{
    return std::any_of(FEntries.cbegin(), FEntries.cend(), [&section](const TPolicyEntry& entry) {
        return entry.Section.compare(section, Qt::CaseInsensitive) == 0;
    });
}

bool TPolicy::TakesWhole(const QString& section) const
{
    return IsWholeSection(section) && LocksSection(section);
}

QList<QPair<QString, QString>> TPolicy::Section(const QString& section) const
{
    QList<QPair<QString, QString>> values;
    for (const TPolicyEntry& entry : FEntries)
        if (entry.Section.compare(section, Qt::CaseInsensitive) == 0)
            values.append({entry.Key, entry.Value});
    return values;
}
