// CObj: the window-less button base. A button lives inside its owner window, knows its
// rectangle in the owner's client coordinates, draws itself into the owner's back buffer,
// reacts to the mouse events the owner forwards and notifies the owner with a synchronous
// send.
#pragma once

#include <cstdint>

#include "platform/window.h"
#include "ui/Graphics.h"

enum ButtonState : std::int32_t { StateNormal, StateHover, StatePressed, StateDisabled };

class CObj {
public:
    CObj() = default;
    // Virtual, so an owner may also delete a button through a CObj pointer.
    virtual ~CObj() = default;
    CObj(const CObj&) = delete;
    CObj& operator=(const CObj&) = delete;

    // Points are the mouse position in the owner's client coordinates. True asks the owner
    // to repaint.
    virtual bool OnMouseMove(int x, int y);
    virtual bool OnLButtonDown(int x, int y);
    // The owner calls this on the first button whose rectangle holds the point.
    virtual void OnLButtonUp(int x, int y);
    virtual void Draw(Graphics& graphics) = 0;

    // x <= px < x + width and y <= py < y + height.
    bool HitTest(int x, int y) const;

    platform::Window* m_owner = nullptr;  // not owned; receives the notifications; may be null
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_visible = false;  // a hidden button neither draws nor reacts
    ButtonState m_state = StateNormal;

protected:
    // Sends `message` (wParam 0, lParam 0) to the owner and waits for its handler. The owner
    // may change or hide this button meanwhile, so callers touch no member afterwards.
    void Notify(unsigned message) const;
    // The common release of a clickable button: a pressed button turns normal and notifies,
    // any other enabled one turns hover.
    void ReleaseAndNotify(unsigned message);
};
