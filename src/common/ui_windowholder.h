#pragma once
// A window that exists once: made on first reference, kept until it drops
// itself (it emits its Dropped signal and is then deleted later) or its
// holder unloads it, and deleted with its holder.
#include <QObject>
#include <QPointer>

namespace ui {

template <class Window, void (Window::*Dropped)()>
class WindowHolder
{
public:
    WindowHolder() = default;
    ~WindowHolder() { delete m_window.data(); }
    WindowHolder(const WindowHolder &) = delete;
    WindowHolder &operator=(const WindowHolder &) = delete;

    // The window, made by `make` when there is none.
    template <class Make>
    Window &get(Make make)
    {
        if (!m_window) {
            Window *created = make();
            m_window = created;
            QObject::connect(created, Dropped, created, [this, created] {
                if (m_window == created)
                    m_window = nullptr;
            });
        }
        return *m_window;
    }
    bool loaded() const { return !m_window.isNull(); }
    void unload()
    {
        if (m_window) {
            m_window->hide();
            m_window->deleteLater();
            m_window = nullptr;
        }
    }

private:
    QPointer<Window> m_window;
};

} // namespace ui
