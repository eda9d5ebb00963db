#pragma once

#include "tabs/TabTypes.h"

#include <QEvent>

// The main window's private messages. Other threads and processes reach the
// main thread only through these, posted to the main window.
inline constexpr int WM_USER = 0x0400;
inline constexpr int WM_SHELL_ACTIVATE = WM_USER + 1003;  // a second start: show the window
inline constexpr int WM_SHELL_POPUP_TAB = WM_USER + 1012; // turn a popup into a tab
inline constexpr int WM_SHELL_CLOSE_TAB = WM_USER + 1015; // close the tab whose id is WParam
inline constexpr int WM_SHELL_LOGIN = WM_USER + 1016;     // open the login address

class TShellEvent : public QEvent
{
public:
    explicit TShellEvent(int message, qintptr wParam = 0)
        : QEvent(static_cast<QEvent::Type>(message)), FWParam(wParam)
    {
    }
    int Message() const { return static_cast<int>(type()); }
    qintptr WParam() const { return FWParam; }

private:
    qintptr FWParam;
};

// WM_SHELL_POPUP_TAB carries the popup; the event owns it and the receiver copies it.
class TPopupTabEvent : public TShellEvent
{
public:
    explicit TPopupTabEvent(const TPopupInfo& info)
        : TShellEvent(WM_SHELL_POPUP_TAB), Info(info)
    {
    }
    const TPopupInfo Info;
};

class QObject;

// Posts message to receiver's queue; safe from any thread.
void PostShellMessage(QObject* receiver, int message, qintptr wParam = 0);
