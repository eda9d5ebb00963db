#include "page/KeyRouting.h"

#include <array>

namespace {

enum class TOwner {
    Shell,    // taken before the page
    PageFirst, // acted on when the page leaves it
    FindBar,  // only in the find bar
};

struct TBinding
{
    int Key;
    Qt::KeyboardModifiers Modifiers;
    TKeyCommand Command;
    int Tab;
    TOwner Owner;
    bool Repeats; // a held-down key acts again on each repeat
};

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers Alt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

using C = TKeyCommand;
using O = TOwner;

// Closing, reloading and the like never repeat: holding Ctrl+W must not
// empty the strip, holding F11 must not flicker.
const std::array kBindings = {
    TBinding{Qt::Key_W, Ctrl, C::CloseTab, 0, O::Shell, false},
    TBinding{Qt::Key_T, CtrlShift, C::ReopenClosedTab, 0, O::Shell, false},
    TBinding{Qt::Key_Tab, Ctrl, C::NextTab, 0, O::Shell, true},
    TBinding{Qt::Key_Backtab, Ctrl, C::PreviousTab, 0, O::Shell, true},
    TBinding{Qt::Key_Tab, CtrlShift, C::PreviousTab, 0, O::Shell, true},
    TBinding{Qt::Key_PageDown, Ctrl, C::NextTab, 0, O::Shell, true},
    TBinding{Qt::Key_PageUp, Ctrl, C::PreviousTab, 0, O::Shell, true},
    TBinding{Qt::Key_1, Ctrl, C::SelectTab, 1, O::Shell, false},
    TBinding{Qt::Key_2, Ctrl, C::SelectTab, 2, O::Shell, false},
    TBinding{Qt::Key_3, Ctrl, C::SelectTab, 3, O::Shell, false},
    TBinding{Qt::Key_4, Ctrl, C::SelectTab, 4, O::Shell, false},
    TBinding{Qt::Key_5, Ctrl, C::SelectTab, 5, O::Shell, false},
    TBinding{Qt::Key_6, Ctrl, C::SelectTab, 6, O::Shell, false},
    TBinding{Qt::Key_7, Ctrl, C::SelectTab, 7, O::Shell, false},
    TBinding{Qt::Key_8, Ctrl, C::SelectTab, 8, O::Shell, false},
    TBinding{Qt::Key_9, Ctrl, C::LastTab, 0, O::Shell, false},

    TBinding{Qt::Key_Return, None, C::FindNext, 0, O::FindBar, true},
    TBinding{Qt::Key_Return, Shift, C::FindPrevious, 0, O::FindBar, true},
    TBinding{Qt::Key_Escape, None, C::CloseFind, 0, O::FindBar, false},

    TBinding{Qt::Key_F5, None, C::Reload, 0, O::PageFirst, false},
    TBinding{Qt::Key_R, Ctrl, C::Reload, 0, O::PageFirst, false},
    TBinding{Qt::Key_F5, Shift, C::ReloadBypassingCache, 0, O::PageFirst, false},
    TBinding{Qt::Key_R, CtrlShift, C::ReloadBypassingCache, 0, O::PageFirst, false},
    TBinding{Qt::Key_Escape, None, C::StopLoad, 0, O::PageFirst, false},
    TBinding{Qt::Key_Left, Alt, C::GoBack, 0, O::PageFirst, false},
    TBinding{Qt::Key_Right, Alt, C::GoForward, 0, O::PageFirst, false},
    TBinding{Qt::Key_F11, None, C::ToggleFullScreen, 0, O::PageFirst, false},
    TBinding{Qt::Key_P, Ctrl, C::Print, 0, O::PageFirst, false},
    TBinding{Qt::Key_J, Ctrl, C::ShowDownloads, 0, O::PageFirst, false},
    TBinding{Qt::Key_Comma, Ctrl, C::ShowOptions, 0, O::PageFirst, false},
    TBinding{Qt::Key_F, Ctrl, C::OpenFind, 0, O::PageFirst, false},
    TBinding{Qt::Key_F3, None, C::FindNext, 0, O::PageFirst, true},
    TBinding{Qt::Key_F3, Shift, C::FindPrevious, 0, O::PageFirst, true},
    TBinding{Qt::Key_Plus, Ctrl, C::ZoomIn, 0, O::PageFirst, true},
    TBinding{Qt::Key_Equal, Ctrl, C::ZoomIn, 0, O::PageFirst, true},
    TBinding{Qt::Key_Minus, Ctrl, C::ZoomOut, 0, O::PageFirst, true},
    TBinding{Qt::Key_Underscore, Ctrl, C::ZoomOut, 0, O::PageFirst, true},
    TBinding{Qt::Key_0, Ctrl, C::ZoomReset, 0, O::PageFirst, false},
};

// The same key however it was typed: on the keypad, and for keys that need
// Shift on common layouts ('+', '_'), with or without it.
TKeyPress Normalized(TKeyPress key)
{
    key.Modifiers &= Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (key.Key == Qt::Key_Enter)
        key.Key = Qt::Key_Return;
    if (key.Key == Qt::Key_Plus || key.Key == Qt::Key_Underscore || key.Key == Qt::Key_Backtab)
        key.Modifiers &= ~Qt::ShiftModifier;
    return key;
}

bool Applies(TOwner owner, TKeySource source)
{
    switch (source) {
    case TKeySource::PageBefore: return owner == O::Shell;
    case TKeySource::PageUnhandled:
    case TKeySource::Shell: return owner != O::FindBar;
    case TKeySource::FindBar: return true;
    }
    return false;
}

} // namespace

TKeyRoute KeyRouting::Route(const TKeyPress& pressed, TKeySource source, const TKeyState& state)
{
    if (state.Closing || state.ModalOpen)
        return {};
    const TKeyPress key = Normalized(pressed);
    // The find bar's own keys come first, so Esc there closes the bar.
    for (const TOwner pass : {O::FindBar, O::Shell, O::PageFirst}) {
        for (const TBinding& binding : kBindings) {
            if (binding.Owner != pass || binding.Key != key.Key || binding.Modifiers != key.Modifiers
                || !Applies(binding.Owner, source))
                continue;
            TKeyRoute route;
            route.Taken = true;
            if (!key.AutoRepeat || binding.Repeats) {
                route.Command = binding.Command;
                route.Tab = binding.Tab;
            }
            return route;
        }
    }
    return {};
}
