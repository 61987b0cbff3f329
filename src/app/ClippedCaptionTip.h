#pragma once

#include <QObject>

// Check boxes, options, frames and one-line labels may be drawn narrower than a long caption;
// pointing at one then shows the whole caption, unless it has a tip of its own.
class ClippedCaptionTip : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void watch(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
