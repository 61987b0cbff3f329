#pragma once

#include <QObject>

// A check box, option or frame may be drawn narrower than a long caption; pointing at it then
// shows the whole caption, unless the control has a tip of its own.
class ClippedCaptionTip : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void watch(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
