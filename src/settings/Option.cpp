#include "settings/Option.h"

#include <QSettings>
#include <cmath>

namespace zorv
{

namespace
{
// QSettings hands back text after a restart (and lists for unquoted commas);
// only a single scalar can be an option's value.
bool isScalar(const QVariant &value)
{
    const int type = value.typeId();
    return value.isValid() && type != QMetaType::QStringList && type != QMetaType::QVariantList &&
           type != QMetaType::QVariantMap && value.canConvert<QString>();
}

} // namespace

OptionBase::OptionBase(OptionTable &table, const char *key, OptionKind kind, OptionLimits limits,
                       OptionStorage storage)
    : m_table(table), m_key(QString::fromLatin1(key)), m_kind(kind), m_limits(limits),
      m_storage(storage)
{
    table.m_options.append(this);
}

void OptionBase::changed()
{
    m_table.optionChanged(*this);
}

OptionBase *OptionTable::option(const QString &key) const
{
    for (OptionBase *option : m_options) {
        if (option->key() == key)
            return option;
    }
    return nullptr;
}

QString boundedText(const QString &text, int maxLength)
{
    if (maxLength <= 0 || text.size() <= maxLength)
        return text;
    QString cut = text.left(maxLength);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

QVariant readStored(const QSettings &store, const QString &key)
{
    return store.value(key);
}

std::optional<bool> OptionCodec<bool>::parse(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    if (!isScalar(stored))
        return std::nullopt;
    const QString text = stored.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<int> OptionCodec<int>::parse(const QVariant &stored)
{
    if (!isScalar(stored) || stored.typeId() == QMetaType::Bool)
        return std::nullopt;
    bool ok = false;
    const int number = stored.toString().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

std::optional<double> OptionCodec<double>::parse(const QVariant &stored)
{
    if (!isScalar(stored) || stored.typeId() == QMetaType::Bool)
        return std::nullopt;
    bool ok = false;
    const double number = stored.toString().toDouble(&ok);
    return ok && std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

std::optional<QString> OptionCodec<QString>::parse(const QVariant &stored)
{
    if (!isScalar(stored) || stored.typeId() == QMetaType::QByteArray)
        return std::nullopt;
    return stored.toString();
}

std::optional<std::optional<QString>>
OptionCodec<std::optional<QString>>::parse(const QVariant &stored)
{
    if (!stored.isValid())
        return std::optional<QString>();
    if (const auto text = OptionCodec<QString>::parse(stored))
        return std::optional<QString>(*text);
    return std::nullopt;
}

std::optional<HotKeyMap> OptionCodec<HotKeyMap>::parse(const QVariant &stored)
{
    if (!stored.isValid() || !stored.canConvert<QByteArray>())
        return std::nullopt;
    return decodeHotKeys(stored.toByteArray());
}

QVariant OptionCodec<HotKeyMap>::store(const HotKeyMap &value)
{
    return encodeHotKeys(value);
}

} // namespace zorv
