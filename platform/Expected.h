#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace kestrel {

// Why something did not work: a text for the debug log (and, where a caller
// chooses so, for the user), and the platform's error number when there is
// one. The one way failures travel inside both deliverables.
struct Error
{
    QString message;
    int number = 0;
};

// A value or the Error that stopped it, in the manner of std::expected.
// Nodiscard: a caller that drops one has lost either the value or the reason
// it is missing; one that means to ignore a failure says so with (void).
template <typename T> class [[nodiscard]] Expected
{
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(Error error) : m_value(std::move(error)) {}

    bool hasValue() const { return m_value.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T& value() { return std::get<0>(m_value); }
    const T& value() const { return std::get<0>(m_value); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(m_value); }

private:
    std::variant<T, Error> m_value;
};

// Success or the Error that stopped it.
template <> class [[nodiscard]] Expected<void>
{
public:
    Expected() = default;
    Expected(Error error) : m_error(std::move(error)) {}

    bool hasValue() const { return !m_error.has_value(); }
    explicit operator bool() const { return hasValue(); }
    const Error& error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

using Status = Expected<void>;

} // namespace kestrel
