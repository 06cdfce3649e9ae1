#pragma once

#include <utility>
#include <variant>

namespace zorv
{

// A value, or the error that prevented it.
template <typename T, typename Error> class Expected
{
  public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(Error error) : m_value(std::move(error)) {}
    bool hasValue() const { return std::holds_alternative<T>(m_value); }
    explicit operator bool() const { return hasValue(); }
    const T &value() const { return std::get<T>(m_value); }
    T &value() { return std::get<T>(m_value); }
    const Error &error() const { return std::get<Error>(m_value); }

  private:
    std::variant<T, Error> m_value;
};

} // namespace zorv
