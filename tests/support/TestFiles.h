#pragma once

#include <QByteArray>
#include <QString>

// Whole files as bytes, for tests that look at exactly what is on disk.
QByteArray readBytes(const QString& path); // "<unreadable>" when it cannot be read
void writeBytes(const QString& path,
                const QByteArray& bytes); // makes the folder; fails the test if it cannot
