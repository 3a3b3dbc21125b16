#include "app/Registry.h"

#include <QtCore/QSettings>

std::unique_ptr<QSettings> RegOpenAppKey() {
    // Do not change these names: they name the file the options are stored in.
    auto key = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Quenby Works"),
                                           QStringLiteral("Fernwick"));
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
