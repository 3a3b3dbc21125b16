// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/DriveLetterStore.h"

#include "framework/Registry.h"

#include <QtCore/QByteArray>
#include <QtCore/QSettings>

QString DriveLetterKey(const std::string& mountPoint) {
    const QByteArray bytes(mountPoint.data(), static_cast<qsizetype>(mountPoint.size()));
    return QString::fromLatin1(bytes.toPercentEncoding());
}

std::map<std::string, char> CDriveLetterStore::Load() {
    std::map<std::string, char> letters;
    auto key = RegOpenAppKey();
    if (!key)
        return letters;
    key->beginGroup(QString::fromUtf8(kRegDriveLetters));
    for (const QString& name : key->childKeys()) {
        const QByteArray mountPoint = QByteArray::fromPercentEncoding(name.toLatin1());
        const QString value = key->value(name).toString();
        // Anything but a single letter becomes '\0', which DropInvalidLetters removes.
        const char letter = value.size() == 1 && value[0].unicode() < 0x80
                                ? static_cast<char>(value[0].unicode())
                                : '\0';
        letters[mountPoint.toStdString()] = letter;
    }
    key->endGroup();
    DropInvalidLetters(letters);
    return letters;
}

void CDriveLetterStore::Save(const std::map<std::string, char>& letters) {
    if (m_mode == Mode::ReadOnly)
        return;
    auto key = RegOpenAppKey();
    if (!key)
        return;
    const QString group = QString::fromUtf8(kRegDriveLetters);
    key->remove(group);
    key->beginGroup(group);
    for (const auto& [mountPoint, letter] : letters)
        key->setValue(DriveLetterKey(mountPoint), QString(QChar::fromLatin1(letter)));
    key->endGroup();
    key->sync();
}
