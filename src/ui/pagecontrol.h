#pragma once

#include <QTabBar>
#include <QTabWidget>

/// A tab bar whose tabs all have one fixed width.
class FixedWidthTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit FixedWidthTabBar(int tabWidth, QWidget* parent = nullptr);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;

private:
    int m_tabWidth;
};

/// A page control: tab pages with tabs of one fixed width; `flat` gives the button-like tabs of
/// an inner page control.
class PageControl : public QTabWidget {
    Q_OBJECT
public:
    PageControl(int tabWidth, bool flat, QWidget* parent = nullptr);
};
