#pragma once

#include "lists/DomainListModel.h"

#include <QFile>
#include <QString>
#include <utility>

// Writes both list files into the folder as full as the program keeps them; false when one
// cannot be written.
inline bool writeFullLists(const QString& folder) {
    for (const auto& [file, prefix] :
         {std::pair{"deny_domains.txt", "denied-"}, {"accept_domains.txt", "accepted-"}}) {
        QFile list(folder + QLatin1Char('/') + QString::fromLatin1(file));
        if (!list.open(QIODevice::WriteOnly))
            return false;
        for (int i = 0; i < DomainListModel::Capacity; ++i)
            list.write(QByteArray(prefix) + QByteArray::number(i) + ".example\r\n");
    }
    return true;
}
