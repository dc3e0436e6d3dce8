// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace clipwren {

// Why something could not be done, in the words the caller shows or logs.
struct Failure {
    QString reason;
};

// What a call that can fail for a reason returns: its value, or the reason there is none.
// error() is empty on success, so that it can be shown without asking first.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure.reason)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    T& value() { return std::get<0>(m_state); }
    const T& value() const { return std::get<0>(m_state); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    QString error() const {
        const QString* reason = std::get_if<1>(&m_state);
        return reason ? *reason : QString();
    }

private:
    std::variant<T, QString> m_state;
};

// Done, or the reason it was not.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_error(std::move(failure.reason)) {}

    explicit operator bool() const { return !m_error; }
    QString error() const { return m_error.value_or(QString()); }

private:
    std::optional<QString> m_error;
};

}  // namespace clipwren
