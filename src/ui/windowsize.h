#pragma once

#include "settings.h"

#include <QSize>

class QWidget;

/// The window frame of the design (8 px borders, a 30 px caption). Sizes in the settings and the
/// minimum sizes are outer sizes in the design's terms: the window's own size plus this frame.
/// The real frame belongs to the window manager and is not known before the window is shown, so
/// a fixed allowance is what lets a size go out and come back exactly.
inline constexpr QSize kDesignFrame{16, 38};

QSize OuterSize(const QWidget& window);
/// The smallest outer size the window can be given.
void SetMinimumOuterSize(QWidget& window, QSize outer);

/// Moves a window so that it stands centred over another one, never above or left of the
/// desktop's top-left corner; its window state (maximized) is kept.
void PlaceOver(QWidget& window, const QWidget& over);

/// Keeps a window's remembered normal size and its size settings: applied once at creation,
/// kept on every resize while the window is neither maximized nor minimized, written at close.
class WindowSizeKeeper {
public:
    WindowSizeKeeper(QWidget& window, Setting width, Setting height, Setting maximized);

    /// Reads width, height and the maximized flag in this order, each on its own, applying each
    /// as it is read; a value that cannot be read is noted in the round. A size larger than the
    /// window's screen is cut to its available area.
    void Load(const SettingsStore& store, SettingsReadRound& round);
    /// Writes the remembered width and height and whether the window is maximized now.
    void Save(SettingsStore& store) const;

    /// Call from the window's resize event.
    void WindowResized();

    int normalWidth() const { return m_normalWidth; }
    int normalHeight() const { return m_normalHeight; }
    bool isMaximized() const;

private:
    /// Makes the remembered size and the window no larger than the available area (outer
    /// sizes; the minimum size still holds).
    void FitInto(QSize available);

    QWidget& m_window;
    Setting m_width, m_height, m_maximized;
    int m_normalWidth = 0;
    int m_normalHeight = 0;
};
