#include "windowsize.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

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

void WindowSizeKeeper::Load(const SettingsStore& store, SettingsReadRound& round) {
    m_normalWidth = OuterSize(m_window).width();
    m_normalHeight = OuterSize(m_window).height();
    round.Read(m_width, [&] {
        if (const int width = store.ReadInteger(m_width); width > 0) {
            m_normalWidth = width;
            m_window.resize(width - kDesignFrame.width(), m_window.height());
        }
    });
    round.Read(m_height, [&] {
        if (const int height = store.ReadInteger(m_height); height > 0) {
            m_normalHeight = height;
            m_window.resize(m_window.width(), height - kDesignFrame.height());
        }
    });
    // A size larger than the screen (a hand-made one, or one from a larger screen) is cut to the
    // screen's available area; this is done before the window is maximized, so that restoring it
    // gives the cut size.
    if (const QScreen* screen = m_window.screen())
        FitInto(screen->availableGeometry().size());
    round.Read(m_maximized, [&] {
        if (store.ReadBool(m_maximized))
            m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
    });
}

void WindowSizeKeeper::FitInto(QSize available) {
    m_normalWidth = std::min(m_normalWidth, available.width());
    m_normalHeight = std::min(m_normalHeight, available.height());
    const QSize outer = OuterSize(m_window);
    if (outer.boundedTo(available) != outer)
        m_window.resize(outer.boundedTo(available) - kDesignFrame);
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

void PlaceOver(QWidget& window, const QWidget& over) {
    const QRect frame = over.frameGeometry();
    QPoint topLeft = frame.center() - QPoint(window.width() / 2, window.height() / 2);
    if (const QScreen* screen = over.screen()) {
        const QPoint desktop = screen->availableVirtualGeometry().topLeft();
        topLeft.setX(qMax(topLeft.x(), desktop.x()));
        topLeft.setY(qMax(topLeft.y(), desktop.y()));
    }
    const Qt::WindowStates state = window.windowState(); // moving a hidden window forgets it
    window.move(topLeft);
    window.setWindowState(state);
}
