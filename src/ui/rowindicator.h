#pragma once

#include <QHeaderView>

/// The row indicator of a result grid: a vertical header as wide as the current-row marker's
/// section. A plain header measures up to 200 of its rows' titles whenever one changes, which the
/// marker does at every move of the current row; this one measures the marker once per font and
/// style.
class RowIndicator : public QHeaderView {
public:
    explicit RowIndicator(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    mutable QSize m_markerSize; ///< empty until measured
};
