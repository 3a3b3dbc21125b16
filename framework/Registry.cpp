// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/Registry.h"

#include "platform/DataFile.h"

#include <QtCore/QFile>
#include <QtCore/QSettings>

QString OptionsFileQtPath() {
    // Qt reads a settings file as soon as the object is made, and would wait for ever on a
    // FIFO: the path is found first from an object for a name no program uses. That way
    // QSettings::setPath and Qt's own reading of XDG_CONFIG_HOME still decide the folder.
    const QString probeName = QStringLiteral("fernwick-folder-probe");
    const QString probe =
        QSettings(QSettings::IniFormat, QSettings::UserScope, probeName).fileName();
    // Do not change these names: they name the file the options are stored in.
    return probe.left(probe.size() - probeName.size() - 4) +
           QStringLiteral("Quenby Works/Fernwick.ini");
}

std::unique_ptr<QSettings> RegOpenAppKey() {
    const QString path = OptionsFileQtPath();
    const std::string nativePath = QFile::encodeName(path).toStdString();
    DataFile file;
    const FsError e = ExamineDataFile(nativePath, file);
    if (IsNotAFile(e) || IsTooLarge(e)) {
        ReportDataFileProblem(DescribeDataFileProblem(nativePath, file, e) +
                              "; it was left alone and the options take their defaults.");
        return nullptr;
    }
    auto key = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (key->status() == QSettings::AccessError)
        return nullptr;
    return key;
}

bool RegWriteDword(const char* name, std::uint32_t value) {
    auto key = RegOpenAppKey();
    if (!key)
        return false;
    key->setValue(QString::fromUtf8(name), static_cast<qulonglong>(value));
    key->sync();
    return true;
}

bool RegReadDword(const char* name, std::uint32_t& value, std::uint32_t defaultValue) {
    auto key = RegOpenAppKey();
    if (!key) {
        value = defaultValue;
        return false;
    }
    const QVariant stored = key->value(QString::fromUtf8(name));
    key.reset();
    bool ok = false;
    const qulonglong v = stored.isValid() ? stored.toString().trimmed().toULongLong(&ok, 10) : 0;
    if (ok && v <= 0xFFFFFFFFull) {
        value = static_cast<std::uint32_t>(v);
        return true;
    }
    value = defaultValue;
    RegWriteDword(name, defaultValue);
    return false;
}
