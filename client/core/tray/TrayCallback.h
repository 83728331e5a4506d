#pragma once

namespace kestrel {

// The notification-area callback: each event of the icon arrives as a code,
// the mouse message measured in twips (15 per pixel), its low byte times
// 256. Only two codes mean something to the client.
class TrayCallback
{
public:
    enum class Action
    {
        ShowMenu,     // the pop-up menu, unless it is visible already
        RecreateIcon, // remove and add the icon again: a lost or stale one comes back
        Ignore        // clicks and double clicks do nothing
    };

    // Mouse messages of the notification area.
    static constexpr int MouseMove = 0x200;
    static constexpr int LeftButtonDown = 0x201;
    static constexpr int LeftButtonDoubleClick = 0x203;
    static constexpr int RightButtonDown = 0x204;
    static constexpr int MiddleButtonDown = 0x207;

    static constexpr int codeOf(int mouseMessage) { return ((mouseMessage * 15) & 255) * 256; }

    static constexpr int HoverCode = 0;           // the mouse over the icon
    static constexpr int RightButtonCode = 15360; // the right button pressed on it

    static constexpr Action actionOf(int code)
    {
        if (code == HoverCode)
            return Action::ShowMenu;
        if (code == RightButtonCode)
            return Action::RecreateIcon;
        return Action::Ignore;
    }
};

static_assert(TrayCallback::codeOf(TrayCallback::MouseMove) == TrayCallback::HoverCode);
static_assert(TrayCallback::codeOf(TrayCallback::RightButtonDown) == TrayCallback::RightButtonCode);

} // namespace kestrel
