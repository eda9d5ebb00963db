#include "util/EnvironmentOverride.h"

#include <QtGlobal>

void TEnvironmentOverride::Set(const QByteArray& name, const QByteArray& value)
{
    bool known = false;
    for (const TSaved& saved : FSaved)
        known = known || saved.Name == name;
    if (!known)
        FSaved.append({name, qEnvironmentVariableIsSet(name.constData())
                                 ? std::optional<QByteArray>(qgetenv(name.constData()))
                                 : std::nullopt});
    qputenv(name.constData(), value);
}

void TEnvironmentOverride::Restore()
{
    for (const TSaved& saved : FSaved) {
        if (saved.Value)
            qputenv(saved.Name.constData(), *saved.Value);
        else
            qunsetenv(saved.Name.constData());
    }
    FSaved.clear();
}
