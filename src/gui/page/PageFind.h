#pragma once

#include "engine/Chromium.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class TFindBar;
class TPageControl;
class TTabRegistry;
struct TBrowserTab;
struct TShutdownFlags;

// Find in page: the find bar under the tab strip and, per tab, the text,
// whether the bar is open there and the last result. The bar follows the
// active tab; the engine does the finding.
class TPageFind : public QObject
{
    Q_OBJECT

public:
    TPageFind(TTabRegistry& registry, TPageControl& pages, const TShutdownFlags& flags, QObject* parent = nullptr);

    void Open();
    // The next (previous) match; opens the bar where it is closed.
    void Step(bool backward);
    void Close();

    // The bar, made the first time it is wanted: most days it never is, and
    // its widgets would cost the start several milliseconds.
    TFindBar& Bar();
    bool BarShown() const;

Q_SIGNALS:
    // A key the bar's text box left, for the window's keys.
    void KeyPressed(const TKeyPress& key);

private:
    struct TState
    {
        QString Text;
        bool Open = false;
        int Active = 0; // active match, from 1
        int Count = 0;
    };

    void ViewCreated(TChromium* view);
    void FindResult(TChromium* view, int active, int count);
    void TextEdited(const QString& text);
    void FollowActiveTab();
    // The state of the tab the bar acts on, or nullptr without one.
    TState* KeyState(TBrowserTab** tab = nullptr);

    TTabRegistry& FRegistry;
    TPageControl& FPages;
    const TShutdownFlags& FFlags;
    QPointer<TFindBar> FBar;
    QHash<int, TState> FStates; // by tab id
};
