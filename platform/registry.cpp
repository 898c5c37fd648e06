// The registry stand-in over QSettings in INI format; Qt stays inside this file.
#include "platform/registry.h"

#include "platform/user_dirs.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QUtf8StringView>
#include <QVariant>

struct CVQRegistry::Impl {
    explicit Impl(const std::string& path)
        : settings(QString::fromStdString(path), QSettings::IniFormat) {}
    QSettings settings;
};

namespace {

QString Key(std::string_view section, std::string_view name) {
    QString key = QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size()));
    key += u'/';
    key += QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return key;
}

} // namespace

CVQRegistry::CVQRegistry() : CVQRegistry(DefaultPath()) {}

CVQRegistry::CVQRegistry(const std::string& filePath)
    : m_filePath(filePath), m_impl(std::make_unique<Impl>(filePath)) {}

CVQRegistry::~CVQRegistry() = default;

std::string CVQRegistry::DefaultPath() {
    return vq::ConfigHome() + "/Kestrova/Velloquin.conf";
}

bool CVQRegistry::HasValue(std::string_view section, std::string_view name) const {
    return m_impl->settings.contains(Key(section, name));
}

int CVQRegistry::ReadInt(std::string_view section, std::string_view name, int fallback) const {
    const QVariant value = m_impl->settings.value(Key(section, name));
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? number : fallback;
}

std::string CVQRegistry::ReadString(std::string_view section, std::string_view name,
                                    std::string_view fallback) const {
    const QVariant value = m_impl->settings.value(Key(section, name));
    if (!value.isValid())
        return std::string(fallback);
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray().toStdString();
    // A hand-edited value with unquoted commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',').toStdString();
    return value.toString().toStdString();
}

std::vector<std::string> CVQRegistry::ValueNames(std::string_view section) const {
    QSettings& settings = m_impl->settings;
    settings.beginGroup(QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())));
    const QStringList keys = settings.childKeys();
    settings.endGroup();
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(keys.size()));
    for (const QString& key : keys)
        names.push_back(key.toStdString());
    return names;
}

void CVQRegistry::WriteInt(std::string_view section, std::string_view name, int value) {
    m_impl->settings.setValue(Key(section, name), value);
}

void CVQRegistry::WriteString(std::string_view section, std::string_view name,
                              std::string_view value) {
    const auto size = static_cast<qsizetype>(value.size());
    if (QUtf8StringView(value.data(), size).isValidUtf8())
        m_impl->settings.setValue(Key(section, name), QString::fromUtf8(value.data(), size));
    else
        m_impl->settings.setValue(Key(section, name), QByteArray(value.data(), size));
}

void CVQRegistry::Remove(std::string_view section, std::string_view name) {
    m_impl->settings.remove(Key(section, name));
}

bool CVQRegistry::Flush() {
    m_impl->settings.sync();
    return m_impl->settings.status() == QSettings::NoError;
}
