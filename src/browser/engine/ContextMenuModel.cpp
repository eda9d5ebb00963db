#include "engine/ContextMenuModel.h"

int TContextMenuModel::IndexOfRole(TRole role) const
{
    for (int i = 0; i < Count(); ++i)
        if (At(i).Role == role)
            return i;
    return -1;
}

bool TContextMenuModel::RemoveAt(int index)
{
    if (index < 0 || index >= Count())
        return false;
    FItems.erase(FItems.begin() + index);
    return true;
}

void TContextMenuModel::AddItem(int commandId, const QString& label, TRole role)
{
    FItems.push_back({commandId, label, false, role});
}

void TContextMenuModel::AddSeparator()
{
    FItems.push_back({0, QString(), true, TRole::None});
}
