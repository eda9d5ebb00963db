#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The machine-wide settings an administrator fixes for every user of the
// machine: a file in config.ini's format (by default
// /etc/velmar-erp/policy.ini). A key set there wins over the user's
// config.ini, and the user cannot change it. A value that is not valid is
// left out with a log line; a group that belongs together (the proxy) is
// taken whole or not at all.

// Where the policy file is read from: the build's own path unless a test
// names another one.
extern QString gPolicyFile;

struct TPolicyEntry
{
    QString Section;
    QString Key;
    QString Value;
};

class TPolicy
{
public:
    // Reads and checks path; a missing file is an empty policy.
    explicit TPolicy(const QString& path);

    // The policy of gPolicyFile, read again only when the file changed.
    static std::shared_ptr<const TPolicy> Current();

    const QString& Path() const { return FPath; }
    bool Exists() const { return FExists; }
    bool IsEmpty() const { return FEntries.isEmpty(); }

    // The value fixed for key, when the policy fixes it.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    bool Locks(const QString& section, const QString& key) const { return Value(section, key).has_value(); }
    // Any key of section fixed (for a group the user edits as a whole).
    bool LocksSection(const QString& section) const;
    // A section that is one setting (the proxy) and that the policy fixes:
    // none of the user's keys in it count, not even those the policy leaves out.
    bool TakesWhole(const QString& section) const;
    // The valid entries, in file order.
    const QList<TPolicyEntry>& Entries() const { return FEntries; }
    QList<QPair<QString, QString>> Section(const QString& section) const;
    // What was left out, and why (one line each).
    const QStringList& Rejected() const { return FRejected; }
    // Writes what is fixed and what was left out to the log.
    void Report() const;

private:
    QString FPath;
    bool FExists = false;
    QList<TPolicyEntry> FEntries;
    QStringList FRejected;
};
