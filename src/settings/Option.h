#pragma once

#include "common/CaptureAction.h"
#include "settings/Options.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

class QSettings;

namespace zorv
{

class OptionTable;

// What kind of value an option holds: decides how it is read, written and edited.
enum class OptionKind { boolean, integer, real, text, choice, optionalText, shortcuts };

// Where an option's value lives.
enum class OptionStorage {
    settingsFile, // QSettings under the option's key
    keyring,      // the desktop's secret store; never the settings file
};

// The values an editing control offers. Loading enforces only the text length
// (a value longer than that is cut): numbers are kept as stored.
struct OptionLimits {
    double minimum = 0;
    double maximum = 0; // minimum == maximum: no range
    double step = 0;    // 0: any value in the range
    int maxLength = 0;  // texts; 0: no limit
};

// One option, as the table sees it: enough to load, store, reset and edit it
// without knowing its C++ type. Values cross this interface as QVariants:
// Booleans, integers, doubles and texts as themselves, choices as their raw
// value, an absent optional text as an invalid QVariant.
class OptionBase
{
  public:
    OptionBase(const OptionBase &) = delete;
    OptionBase &operator=(const OptionBase &) = delete;
    virtual ~OptionBase() = default;

    const QString &key() const { return m_key; }
    OptionKind kind() const { return m_kind; }
    OptionStorage storage() const { return m_storage; }
    const OptionLimits &limits() const { return m_limits; }
    // Raw values of a choice, in the order a picker shows them.
    virtual QStringList choices() const { return {}; }

    virtual QVariant variant() const = 0;
    virtual QVariant defaultVariant() const = 0;
    // False when the value does not fit the option (wrong type, unknown choice).
    virtual bool setVariant(const QVariant &value) = 0;

    // Reads the stored value; a missing or malformed one leaves the value as it is.
    virtual void load(const QSettings &store) = 0;
    // Back to the default without storing anything (before a fresh load).
    virtual void resetQuietly() = 0;
    // The stored form; an invalid QVariant removes the key.
    virtual QVariant stored() const = 0;

  protected:
    OptionBase(OptionTable &table, const char *key, OptionKind kind, OptionLimits limits,
               OptionStorage storage);
    void changed();

  private:
    OptionTable &m_table;
    QString m_key;
    OptionKind m_kind;
    OptionLimits m_limits;
    OptionStorage m_storage;
};

// Every option of an object, in declaration order. The object's Option members
// enter it as they are constructed.
class OptionTable
{
  public:
    const QList<OptionBase *> &options() const { return m_options; }
    OptionBase *option(const QString &key) const;

  protected:
    ~OptionTable() = default;
    // An option's value changed through set() or setVariant().
    virtual void optionChanged(OptionBase &option) = 0;

  private:
    friend class OptionBase;
    QList<OptionBase *> m_options;
};

// How values of one type are read from and written to the store.
template <typename T> struct OptionCodec;

template <> struct OptionCodec<bool> {
    static constexpr OptionKind kind = OptionKind::boolean;
    static std::optional<bool> parse(const QVariant &stored);
    static QVariant store(bool value) { return value; }
};
template <> struct OptionCodec<int> {
    static constexpr OptionKind kind = OptionKind::integer;
    static std::optional<int> parse(const QVariant &stored);
    static QVariant store(int value) { return value; }
};
template <> struct OptionCodec<double> {
    static constexpr OptionKind kind = OptionKind::real;
    static std::optional<double> parse(const QVariant &stored);
    static QVariant store(double value) { return value; }
};
template <> struct OptionCodec<QString> {
    static constexpr OptionKind kind = OptionKind::text;
    static std::optional<QString> parse(const QVariant &stored);
    static QVariant store(const QString &value) { return value; }
};
template <> struct OptionCodec<std::optional<QString>> {
    static constexpr OptionKind kind = OptionKind::optionalText;
    static std::optional<std::optional<QString>> parse(const QVariant &stored);
    static QVariant store(const std::optional<QString> &value)
    {
        return value ? QVariant(*value) : QVariant();
    }
};
template <> struct OptionCodec<HotKeyMap> {
    static constexpr OptionKind kind = OptionKind::shortcuts;
    static std::optional<HotKeyMap> parse(const QVariant &stored);
    static QVariant store(const HotKeyMap &value);
};
// Choices are stored as their raw value; any other text is malformed.
template <typename E, const QList<E> &(*cases)(), QString (*rawOf)(E)> struct ChoiceCodec {
    static constexpr OptionKind kind = OptionKind::choice;
    static std::optional<E> parse(const QVariant &stored)
    {
        const auto text = OptionCodec<QString>::parse(stored);
        for (E value : cases()) {
            if (text && rawOf(value) == *text)
                return value;
        }
        return std::nullopt;
    }
    static QVariant store(E value) { return rawOf(value); }
    static QStringList choices()
    {
        QStringList list;
        for (E value : cases())
            list.append(rawOf(value));
        return list;
    }
};
template <>
struct OptionCodec<ImageFormat>
    : ChoiceCodec<ImageFormat, &imageFormat::all, &imageFormat::rawValue> {
};
template <>
struct OptionCodec<RecordingCodec>
    : ChoiceCodec<RecordingCodec, &recordingCodec::all, &recordingCodec::rawValue> {
};
template <>
struct OptionCodec<QuickAccessCorner>
    : ChoiceCodec<QuickAccessCorner, &quickAccessCorner::all, &quickAccessCorner::rawValue> {
};

// A typed option: declared once, as a member of its table, with its key,
// default and limits. Read it by calling it; write it with set().
template <typename T> class Option final : public OptionBase
{
  public:
    using Codec = OptionCodec<T>;

    Option(OptionTable &table, const char *key, T fallback, OptionLimits limits = {},
           OptionStorage storage = OptionStorage::settingsFile)
        : OptionBase(table, key, Codec::kind, limits, storage), m_default(fallback),
          m_value(std::move(fallback))
    {
    }

    const T &operator()() const { return m_value; }
    const T &defaultValue() const { return m_default; }
    // Stores the value and tells the table, also when it is unchanged (the
    // store is rewritten).
    void set(T value)
    {
        m_value = std::move(value);
        changed();
    }
    // A default known only at run time (the save folder); before loading.
    void setDefault(T value)
    {
        m_default = value;
        m_value = std::move(value);
    }
    // Replaces the value without telling anyone (a value arriving from the keyring).
    void assignQuietly(T value) { m_value = std::move(value); }

    QStringList choices() const override
    {
        if constexpr (Codec::kind == OptionKind::choice)
            return Codec::choices();
        return {};
    }
    QVariant variant() const override { return Codec::store(m_value); }
    QVariant defaultVariant() const override { return Codec::store(m_default); }
    bool setVariant(const QVariant &value) override
    {
        std::optional<T> parsed = Codec::parse(value);
        if (!parsed)
            return false;
        set(std::move(*parsed));
        return true;
    }
    void load(const QSettings &store) override;
    void resetQuietly() override { m_value = m_default; }
    QVariant stored() const override { return Codec::store(m_value); }

  private:
    T m_default;
    T m_value;
};

// Cuts a loaded text to the option's limit, so that no stored value can make
// the program work on megabytes of text.
QString boundedText(const QString &text, int maxLength);
QVariant readStored(const QSettings &store, const QString &key);

template <typename T> void Option<T>::load(const QSettings &store)
{
    std::optional<T> parsed = Codec::parse(readStored(store, key()));
    if (!parsed)
        return;
    if constexpr (std::is_same_v<T, QString>)
        *parsed = boundedText(*parsed, limits().maxLength);
    m_value = std::move(*parsed);
}

} // namespace zorv
