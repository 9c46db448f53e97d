#include "pagecontrol.h"

FixedWidthTabBar::FixedWidthTabBar(int tabWidth, QWidget* parent)
    : QTabBar(parent), m_tabWidth(tabWidth) {
    setExpanding(false);
    setUsesScrollButtons(true);
}

QSize FixedWidthTabBar::tabSizeHint(int index) const {
    return {m_tabWidth, QTabBar::tabSizeHint(index).height()};
}

QSize FixedWidthTabBar::minimumTabSizeHint(int index) const {
    return tabSizeHint(index);
}

PageControl::PageControl(int tabWidth, bool flat, QWidget* parent) : QTabWidget(parent) {
    setTabBar(new FixedWidthTabBar(tabWidth, this));
    setDocumentMode(flat);
}
