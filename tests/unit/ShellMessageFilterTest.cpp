#include "platform/ShellMessage.h"
#include "shell/ShellMessages.h"

#include <QEvent>

#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

constexpr quint32 kAtom = 345;

// A client message exactly as ShellMessage::Post sends it.
xcb_client_message_event_t Posted(int message)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof(event));
    event.response_type = XCB_CLIENT_MESSAGE | 0x80;
    event.format = 32;
    event.window = 0x2a00007;
    event.type = kAtom;
    event.data.data32[0] = static_cast<uint32_t>(message);
    return event;
}

std::optional<ShellMessage::TReceived> Read(const xcb_client_message_event_t& event)
{
    return ShellMessage::ReadClientMessage(&event, sizeof(event), kAtom, WM_SHELL_ACTIVATE);
}

TEST(ShellMessageFilter, TheActivationAsPostedPasses)
{
    const auto received = Read(Posted(WM_SHELL_ACTIVATE));
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->Window, 0x2a00007);
    EXPECT_EQ(received->Message, WM_SHELL_ACTIVATE);
}

TEST(ShellMessageFilter, EveryOtherMessageNumberIsIgnored)
{
    // The shell's other messages carry data that no other process can give;
    // Qt's own event numbers would be built from garbage.
    for (const int message : {WM_SHELL_POPUP_TAB, WM_SHELL_CLOSE_TAB, WM_SHELL_LOGIN, WM_SHELL_ACTIVATE + 1,
                              WM_SHELL_ACTIVATE | 0x10000, 0, -1, int(QEvent::Paint), int(QEvent::MouseButtonPress),
                              int(QEvent::Close), int(QEvent::User), int(QEvent::MaxUser)})
        EXPECT_FALSE(Read(Posted(message)).has_value()) << message;
}

TEST(ShellMessageFilter, OnlyTheExactFormOfTheActivationPasses)
{
    const struct
    {
        const char* Name;
        void (*Change)(xcb_client_message_event_t&);
    } cases[] = {
        {"format 8", [](xcb_client_message_event_t& e) { e.format = 8; }},
        {"format 16", [](xcb_client_message_event_t& e) { e.format = 16; }},
        {"format 0", [](xcb_client_message_event_t& e) { e.format = 0; }},
        {"another type", [](xcb_client_message_event_t& e) { e.type = kAtom + 1; }},
        {"no type", [](xcb_client_message_event_t& e) { e.type = XCB_ATOM_NONE; }},
        {"not sent by a client", [](xcb_client_message_event_t& e) { e.response_type = XCB_CLIENT_MESSAGE; }},
        {"another event", [](xcb_client_message_event_t& e) { e.response_type = XCB_EXPOSE | 0x80; }},
        {"a key press", [](xcb_client_message_event_t& e) { e.response_type = XCB_KEY_PRESS | 0x80; }},
        {"no window", [](xcb_client_message_event_t& e) { e.window = XCB_WINDOW_NONE; }},
        {"more data", [](xcb_client_message_event_t& e) { e.data.data32[1] = 1; }},
        {"data at the end", [](xcb_client_message_event_t& e) { e.data.data32[4] = 0x80000000u; }},
    };
    for (const auto& c : cases) {
        xcb_client_message_event_t event = Posted(WM_SHELL_ACTIVATE);
        c.Change(event);
        EXPECT_FALSE(Read(event).has_value()) << c.Name;
    }
}

TEST(ShellMessageFilter, ShortOrMissingEventsAndAnUnknownAtomAreIgnored)
{
    const xcb_client_message_event_t event = Posted(WM_SHELL_ACTIVATE);
    EXPECT_FALSE(ShellMessage::ReadClientMessage(nullptr, sizeof(event), kAtom, WM_SHELL_ACTIVATE).has_value());
    EXPECT_FALSE(ShellMessage::ReadClientMessage(&event, sizeof(event) - 1, kAtom, WM_SHELL_ACTIVATE).has_value());
    EXPECT_FALSE(ShellMessage::ReadClientMessage(&event, 0, kAtom, WM_SHELL_ACTIVATE).has_value());
    // The atom could not be looked up: nothing can be recognised.
    xcb_client_message_event_t untyped = event;
    untyped.type = XCB_ATOM_NONE;
    EXPECT_FALSE(
        ShellMessage::ReadClientMessage(&untyped, sizeof(untyped), XCB_ATOM_NONE, WM_SHELL_ACTIVATE).has_value());
    // A longer buffer (the connection's events carry a full sequence after
    // the 32 bytes) is read the same.
    std::vector<char> longer(sizeof(event) + 4, '\x7f');
    std::memcpy(longer.data(), &event, sizeof(event));
    EXPECT_TRUE(ShellMessage::ReadClientMessage(longer.data(), longer.size(), kAtom, WM_SHELL_ACTIVATE).has_value());
}

} // namespace
