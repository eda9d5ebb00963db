#pragma once

#include "config/IniFile.h"

#include <QRect>
#include <QStringList>

#include <memory>
#include <optional>

class TPolicy;

// What the program keeps in config.ini, with the defaults of each key.
struct TUserOptions
{
    bool AutoStart = true;
    bool SoundHint = true;
    bool PopupHint = true;
};

// Section "SECURITY": what the engine exposes and which certificates it
// trusts. Each setting opens something up, so each is off unless written.
struct TSecurityOptions
{
    // "RemoteDebuggingPort": 0 to 65535 (0 none); missing or not a port:
    // the build's own choice.
    std::optional<int> RemoteDebuggingPort;
    // "IgnoreCertificateErrors" = 1: every certificate is accepted, for
    // every host. Unsafe; for a service that cannot be given a valid one.
    bool IgnoreCertificateErrors = false;
    // "CaBundle": a PEM file of certificate authorities trusted besides the
    // system's, for example an office's own.
    QString CaBundle;
    // "ServiceCertificate": the SHA-256 fingerprint (hex, colons allowed) of
    // the one certificate trusted for the service host, for a service with a
    // certificate of its own making. Kept as lower-case hex without colons.
    QString ServiceCertificate;
};

// Sections "PROXY" and "SIGN_IN": how pages reach the network. The
// defaults change nothing: the desktop's own proxy settings.
struct TNetworkOptions
{
    enum class TProxyMode { System, Direct, Manual, Pac };
    // "PROXY"/"Mode": system (default), direct, manual or pac.
    TProxyMode ProxyMode = TProxyMode::System;
    // "Server": host:port, or per scheme as "http=host:port;https=host:port".
    QString ProxyServer;
    // "PacUrl": the address of a proxy auto-config file.
    QString PacUrl;
    // "Bypass": hosts that never go through the proxy, separated by ";" or ",".
    QString ProxyBypass;
    // "SIGN_IN"/"NegotiateHosts": hosts that may sign in by themselves with
    // the desktop's Kerberos ticket (for example "*.corp.example").
    QString NegotiateHosts;
};

// Section "CLIENT_CERTIFICATES": certificates the client can show servers
// that ask for one.
struct TClientCertificateOptions
{
    // "Pkcs12": PKCS#12 files (certificate and key), separated by ";".
    QStringList Files;
    // Any other key is a host (or host:port) whose value is the SHA-256
    // fingerprint of the certificate sent to it without asking.
    QList<QPair<QString, QString>> Hosts;
};

// Section "UPDATE" (set by an administrator's policy).
struct TUpdateOptions
{
    // "Managed" = 1: IT brings new versions (apt); the client never asks.
    bool Managed = false;
};

// Section "LOG": the support log. Off unless written.
struct TLogOptions
{
    bool Enabled = false;       // "Enabled" = 1
    bool ConsoleErrors = false; // "ConsoleErrors" = 1: pages' console errors too
    int MaxSizeKb = 1024;       // "MaxSizeKb": the size at which the log starts a new file
};

// The main window's outer rectangle and state (0 normal, 1 minimised, 2 maximised).
struct TWindowPlacement
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int State = 2;
};

// The program's config.ini, in the data folder: the one place its path is made.
QString ConfigFilePath();

// The owner of config.ini: every section the program keeps is read and
// written here, so that the file's names and rules live in one place.
class TConfigFile
{
public:
    explicit TConfigFile(const QString& path = ConfigFilePath());

    const QString& FileName() const { return FIni.FileName(); }

    qint64 ReadHandle() const;
    void WriteHandle(qint64 handle) const;

    TUserOptions ReadOptions() const;
    // Writes "AUTOSTART", "SOUNDHINT", "POPUPHINT" in that order.
    void WriteOptions(const TUserOptions& options) const;

    // Right and bottom default to the size of the work area.
    TWindowPlacement ReadPlacement(const QSize& workArea) const;
    // Writes "LEFT", "TOP", "RIGHT", "BOTTOM", "STATE" in that order.
    void WritePlacement(const TWindowPlacement& placement) const;

    // A key's text: the administrator's policy when it fixes the key, else
    // config.ini's, else defaultValue.
    QString Read(const QString& section, const QString& key, const QString& defaultValue) const;
    // Whether the policy fixes key (or, with no key, any key of section):
    // the user cannot change it.
    bool Locked(const QString& section, const QString& key = QString()) const;
    const TPolicy& Policy() const;

    TUpdateOptions ReadUpdate() const;
    TLogOptions ReadLog() const;

    // A flag is on exactly when its text is "1".
    bool ReadFlag(const QString& section, const QString& key) const;

    // "SYSTEM"/"ServiceHost" as written (not checked), or empty.
    QString ReadServiceHost() const;

    // Invalid values are reported on the debug channel and left out.
    TSecurityOptions ReadSecurity() const;
    // Likewise: a mode without what it needs falls back to the desktop's proxy.
    TNetworkOptions ReadNetwork() const;
    TClientCertificateOptions ReadClientCertificates() const;
    // Raises EAppError when the policy fixes the proxy.
    void WriteNetwork(const TNetworkOptions& options) const;

    // The certificate a user chose to trust for host (lower-case SHA-256
    // hex), section "CERTIFICATE_EXCEPTIONS"; empty when none.
    QString ReadCertificateException(const QString& host) const;
    void WriteCertificateException(const QString& host, const QString& fingerprint) const;
    // Every host with the certificate trusted for it, in file order; lines
    // that hold no fingerprint are left out.
    QList<QPair<QString, QString>> ReadCertificateExceptions() const;
    void DeleteCertificateException(const QString& host) const;

    // A page feature's remembered answer, section "PERMISSIONS": "1" allowed,
    // "0" denied, anything else not answered yet.
    std::optional<bool> ReadPermission(const QString& key) const;
    void WritePermission(const QString& key, bool allowed) const;
    // Every remembered answer, key and whether it allows, in file order;
    // lines with any other value are left out.
    QList<QPair<QString, bool>> ReadPermissions() const;
    void DeletePermission(const QString& key) const;

    // Sign-ins whose password the user keeps in the desktop's secret store,
    // section "SAVED_SIGN_INS": key and user name (never the password).
    std::optional<QString> ReadSavedSignIn(const QString& key) const;
    QList<QPair<QString, QString>> ReadSavedSignIns() const;
    void WriteSavedSignIn(const QString& key, const QString& user) const;
    void DeleteSavedSignIn(const QString& key) const;

    // A host's zoom level in percent, section "ZOOM"; defaultPercent when
    // missing or not a number (the range is the caller's to check).
    int ReadZoom(const QString& host, int defaultPercent) const;
    void WriteZoom(const QString& host, int percent) const;

private:
    // The policy's keys of section, then the user's that it does not fix.
    QList<QPair<QString, QString>> ReadMergedSection(const QString& section) const;

    TIniFile FIni;
    std::shared_ptr<const TPolicy> FPolicy;
};
