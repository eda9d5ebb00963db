#pragma once

#include <QString>

#include <vector>

// The entries of a page's context menu, as the shell may edit them before
// the menu shows. Entries the engine put there keep a role, so the shell can
// find one by what it does rather than by where it stands.
class TContextMenuModel
{
public:
    // Entries the shell adds use ids from here on; the engine's own stay below.
    static constexpr int MenuIdUserFirst = 26500;

    enum class TRole { None, Back, Forward, Reload, Copy, Cut, Paste, SelectAll, ViewSource, Other };

    struct TItem
    {
        int CommandId = 0; // 0 for separators
        QString Label;
        bool Separator = false;
        TRole Role = TRole::None;
    };

    int Count() const { return static_cast<int>(FItems.size()); }
    const TItem& At(int index) const { return FItems.at(static_cast<size_t>(index)); }
    const std::vector<TItem>& Items() const { return FItems; }

    // Index of the first entry with role, or -1.
    int IndexOfRole(TRole role) const;

    void Clear() { FItems.clear(); }
    bool RemoveAt(int index);
    void AddItem(int commandId, const QString& label, TRole role = TRole::None);
    void AddSeparator();

private:
    std::vector<TItem> FItems;
};
