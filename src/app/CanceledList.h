#pragma once

#include <QListWidget>

// The list of cancelled windows; its lines can be dragged out as plain text (onto a domain list,
// or into another program).
class CanceledList : public QListWidget {
    Q_OBJECT
public:
    explicit CanceledList(QWidget* parent = nullptr);

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
};
