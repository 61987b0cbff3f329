#include "app/CanceledList.h"

#include <QMimeData>

CanceledList::CanceledList(QWidget* parent)
    : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
}

QStringList CanceledList::mimeTypes() const {
    return {QStringLiteral("text/plain")};
}

QMimeData* CanceledList::mimeData(const QList<QListWidgetItem*>& items) const {
    QStringList lines;
    for (const QListWidgetItem* item : items)
        lines << item->text();
    auto* data = new QMimeData; // ownership passes to the drag
    data->setText(lines.join(QLatin1Char('\n')));
    return data;
}
