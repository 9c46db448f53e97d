#include "windowsize.h"

#include <QWidget>

QSize OuterSize(const QWidget& window) {
    return window.size() + kDesignFrame;
}

void SetMinimumOuterSize(QWidget& window, QSize outer) {
    window.setMinimumSize(outer - kDesignFrame);
}

WindowSizeKeeper::WindowSizeKeeper(QWidget& window, Setting width, Setting height,
                                   Setting maximized)
    : m_window(window), m_width(width), m_height(height), m_maximized(maximized) {
    m_normalWidth = OuterSize(window).width();
    m_normalHeight = OuterSize(window).height();
}

void WindowSizeKeeper::Load(const SettingsStore& store) {
    const int width = store.ReadInteger(m_width);
    if (width > 0) {
        m_normalWidth = width;
        m_window.resize(width - kDesignFrame.width(), m_window.height());
    } else {
        m_normalWidth = OuterSize(m_window).width();
    }
    const int height = store.ReadInteger(m_height);
    if (height > 0) {
        m_normalHeight = height;
        m_window.resize(m_window.width(), height - kDesignFrame.height());
    } else {
        m_normalHeight = OuterSize(m_window).height();
    }
    if (store.ReadBool(m_maximized))
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
}

bool WindowSizeKeeper::isMaximized() const {
    // A minimized window counts as not maximized, even when it was maximized before.
    return m_window.isMaximized() && !m_window.isMinimized();
}

void WindowSizeKeeper::Save(SettingsStore& store) const {
    store.WriteInteger(m_width, m_normalWidth);
    store.WriteInteger(m_height, m_normalHeight);
    store.WriteBool(m_maximized, isMaximized());
}

void WindowSizeKeeper::WindowResized() {
    if (m_window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    m_normalWidth = OuterSize(m_window).width();
    m_normalHeight = OuterSize(m_window).height();
}
