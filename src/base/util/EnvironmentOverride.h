#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// Environment entries this process sets for itself (the engine reads its
// start options from the environment), remembered with what the user had,
// so that programs started later get the user's own environment back.
class TEnvironmentOverride
{
public:
    // Sets name to value; the first call for a name remembers its value before.
    void Set(const QByteArray& name, const QByteArray& value);
    // Puts every name back as it was before its first Set: its old value, or
    // unset. Later Sets start afresh.
    void Restore();

private:
    struct TSaved
    {
        QByteArray Name;
        std::optional<QByteArray> Value;
    };
    QList<TSaved> FSaved;
};
