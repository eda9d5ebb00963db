#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the updater does between the shell's hand-over and the restart,
// without a window: read the hand-over, fetch the published package and its
// signature, check both, and have the system install the package.

// The hand-over document the shell gives as its one Base64 word.
struct THandOver
{
    QString ExeName;
    QString FileName;
};

// The document of a hand-over word; nullopt when the word is not Base64 of
// an object with ExeName (a plain file name) and FileName.
std::optional<THandOver> ReadHandOver(const QString& word);

// The package the service publishes: its version and its path on the
// service host, with the path of its detached signature beside it.
struct TPublishedPackage
{
    QString Version;
    QString Path;
    QString SignaturePath() const { return Path + QStringLiteral(".sig"); }
};

// The package a manifest body names: its Package member when that is a
// plain path of a .deb file on the service host, else
// /ver/velmar-erp_<Version>_<architecture>.deb. nullopt when the body gives
// no version fit for a file name, or a Package member that is no such path.
std::optional<TPublishedPackage> PublishedPackage(const QString& manifestBody, const QString& architecture);

// The name the package must carry to replace this client.
inline constexpr char PackageName[] = "velmar-erp";

// Exit codes of the installing helper, beside pkexec's own 126 (the user
// dismissed the authentication) and 127 (not authorized, or pkexec failed).
namespace InstallerExit {
inline constexpr int Usage = 64;
inline constexpr int BadSignature = 65;
inline constexpr int NotThisPackage = 66;
inline constexpr int NotNewer = 67;
inline constexpr int InstallFailed = 68;
} // namespace InstallerExit

struct TUpdateContext
{
    QString ServiceHost;
    QString ClientVersion;
    QString Architecture; // Debian's name: amd64, arm64...
    QString Keyring;      // the publisher's public key
    // The installing command: the program and the arguments before the
    // package and signature paths (pkexec and the helper).
    QStringList Installer;
    QString WorkFolder; // private, for the downloads
    // Fetches one address; raises EAppError on any failure.
    std::function<QByteArray(const QString& url)> Fetch;
    // The step now under way, for the window.
    std::function<void(const QString& step)> Progress;
};

struct TUpdateOutcome
{
    bool Installed = false;
    // The published version is this client's own: nothing to do.
    bool Current = false;
    QString Version;
    // Why nothing was installed, in the user's words.
    QString Message;
};

// The whole update: manifest, package, signature, checks, installation.
// Blocks; run it away from the window's thread.
TUpdateOutcome RunUpdate(const TUpdateContext& context);

// Checks a detached signature against the keyring with gpgv; an empty
// result means good, otherwise the reason for the log.
QString VerifySignature(const QString& keyring, const QString& file, const QString& signature,
                        const QString& scratchFolder);

// Package and Version of a .deb file; empty texts when it is no package.
struct TPackageFacts
{
    QString Name;
    QString Version;
};
TPackageFacts ReadPackageFacts(const QString& deb);

// Debian's name of this machine's architecture, as package files carry it.
QString DebianArchitecture();

// Debian's ordering of versions (dpkg --compare-versions a gt b).
bool IsNewerVersion(const QString& candidate, const QString& installed);
